// The small interfaces through which the portable logic reaches the operating
// system. Production code gets the real implementations from systemPlatform();
// unit tests hand in fakes. Each implementation lives in a *_win.cpp or
// *_posix.cpp file beside the portable code it serves.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/text.h"

namespace corvid {

class ProfileStore;   // config/profile_store.h
class UserInterface;  // start/user_interface.h
class RuntimeRegistry;  // runtime/runtime_registry.h
class RuntimePrompt;  // runtime/runtime_prompt.h

// A platform window handle, or nullptr for none.
using WindowHandle = void*;

struct ModulePath {
    bool ok = false;
    WideString path;
    std::uint32_t error = 0;  // the system error code when !ok
};

// The module path from a call that writes it into a buffer of `capacity`
// characters and returns how many it wrote (0 on failure, with `error`). A
// length that fills the buffer is a path cut short, which names another file:
// it counts as a path that could not be obtained, with `error`, or with
// `cutError` when the system reported none.
inline ModulePath modulePathFromBuffer(WideView written, std::size_t capacity, std::uint32_t error,
                                       std::uint32_t cutError) {
    if (written.empty()) return {false, {}, error};
    if (written.size() >= capacity) return {false, {}, error != 0 ? error : cutError};
    return {true, WideString(written), 0};
}

class Process {
public:
    virtual ~Process() = default;
    // Full path of the launcher's executable, asked with room for 260 characters.
    virtual ModulePath modulePath() = 0;
    virtual bool isNtPlatform() = 0;
    virtual bool setCurrentDirectory(const WideString& folder) = 0;
    // The thread's last system error code, captured right after a failing call.
    virtual std::uint32_t lastError() = 0;
};

// One entry of a folder listing: its name, not its path.
struct FolderEntry {
    WideString name;
    bool isFolder = false;
};

class FileSystem {
public:
    virtual ~FileSystem() = default;
    // True when a find-first search for exactly this name finds an entry
    // (folders count; wildcard characters act as wildcards on Windows).
    virtual bool findFirst(const WideString& path) = 0;
    virtual bool createDirectory(const WideString& path) = 0;
    // The first bytes of a regular file, at most `limit` of them; nullopt when
    // it cannot be opened or read. A file longer than the limit is cut, so a
    // caller that needs the whole file asks for one byte more than it accepts.
    virtual std::optional<std::string> readFile(const WideString& path, std::size_t limit) = 0;
    // The entries of a folder, without "." and ".."; nullopt when the path is
    // not a folder or cannot be read. A trailing separator is allowed.
    virtual std::optional<std::vector<FolderEntry>> listFolder(const WideString& folder) = 0;
};

class Environment {
public:
    virtual ~Environment() = default;
    virtual std::optional<WideString> get(const WideString& name) = 0;
    virtual bool set(const WideString& name, const WideString& value) = 0;
    // %NAME% expansion with the system's rules; nullopt when expansion fails.
    virtual std::optional<WideString> expand(const WideString& text) = 0;
};

// A loaded shared library. Libraries are never unloaded.
using LibraryHandle = void*;
// The address of an exported function; the caller casts it to its real type.
using LibrarySymbol = void (*)();

struct LoadedLibrary {
    LibraryHandle handle = nullptr;  // nullptr on failure
    std::uint32_t error = 0;         // the system error code on failure
    WideString detail;               // the loader's own words, for the trace
};

struct ResolvedSymbol {
    LibrarySymbol address = nullptr;  // nullptr on failure
    std::uint32_t error = 0;
    WideString detail;
};

class Libraries {
public:
    virtual ~Libraries() = default;
    // Loads the library at a full path; its dependencies are found by the
    // system's default search.
    virtual LoadedLibrary load(const WideString& path) = 0;
    virtual ResolvedSymbol resolve(LibraryHandle library, const char* name) = 0;
};

using ThreadBody = std::uint32_t (*)(void* argument);

class Threads {
public:
    virtual ~Threads() = default;
    // Runs body(argument) on a new thread whose stack is stackSize bytes (0:
    // the executable's default) and waits for it without a time limit.
    // Returns the thread's exit code, or nullopt when it could not be created.
    virtual std::optional<std::uint32_t> runAndWait(std::uint64_t stackSize, ThreadBody body, void* argument) = 0;
};

struct MemoryStatus {
    std::uint64_t totalPhysical = 0;     // bytes of physical memory
    std::uint64_t availableVirtual = 0;  // bytes of address space this process can still map
};

class Memory {
public:
    virtual ~Memory() = default;
    virtual MemoryStatus status() = 0;
};

struct Platform {
    Process& process;
    FileSystem& files;
    Environment& environment;
    ProfileStore& profiles;
    UserInterface& ui;
    RuntimeRegistry& runtimes;
    Libraries& libraries;
    Threads& threads;
    Memory& memory;
    RuntimePrompt& runtimePrompt;
};

// The real operating system, assembled from the platform files' parts.
Platform& systemPlatform();
Process& systemProcess();
FileSystem& systemFileSystem();
Environment& systemEnvironment();
Libraries& systemLibraries();
Threads& systemThreads();
Memory& systemMemory();

// The path separator of folder paths handed between subsystems: a backslash
// on Windows, a slash on Linux.
#ifdef _WIN32
inline constexpr char16_t kPathSeparator = u'\\';
#else
inline constexpr char16_t kPathSeparator = u'/';
#endif

}  // namespace corvid
