// The small interfaces through which the portable logic reaches the operating
// system. Production code gets the real implementations from systemPlatform();
// unit tests hand in fakes. Each implementation lives in a *_win.cpp or
// *_posix.cpp file beside the portable code it serves.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <memory>
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

// What the system hands a process as its arguments: Windows gives the raw
// command line, Linux the arguments already split (argv[1..]).
struct ProcessArguments {
    WideString commandLine;
    std::optional<WideList> split;
};

class Process {
public:
    virtual ~Process() = default;
    // Full path of the launcher's executable, asked with room for 260 characters.
    virtual ModulePath modulePath() = 0;
    virtual bool isNtPlatform() = 0;
    virtual bool setCurrentDirectory(const WideString& folder) = 0;
    // The path resolved against the current directory, as the system's
    // full-path rules do; the path unchanged when that fails.
    virtual WideString absolutePath(const WideString& path) = 0;
    // Names the process for the taskbar, which then groups and pins its
    // windows under this name; false where the system has no such name.
    virtual bool setAppUserModelId(const WideString& id) = 0;
    // The thread's last system error code, captured right after a failing call.
    virtual std::uint32_t lastError() = 0;

    // Other processes: the start-up cache tells live starts from dead ones and
    // builds its archives in a detached copy of the launcher.
    virtual std::uint32_t processId() = 0;
    // True when a process with this id runs (or cannot be asked about).
    virtual bool processAlive(std::uint32_t id) = 0;
    // Keeps the environment as it is now for the processes started from here
    // on, so that a restart or a build gets what this start got rather than
    // what the start has made of it since. Without it they get the
    // environment of the moment they are started.
    virtual void keepEnvironmentForChildren() = 0;
    // Starts the executable at `path` without arguments, with `name=value`
    // added to the kept environment: detached from this process's console and
    // standard streams, without a window, at low priority, not waited for,
    // holding none of this process's files or sockets. False when it could
    // not be started.
    virtual bool startDetached(const WideString& path, const WideString& name, const WideString& value) = 0;
    // Starts the executable at `path` again with `arguments` (the command line
    // as given on Windows, the split arguments on Linux) and `name=value` added
    // to the kept environment, at normal priority, not waited for. It shares
    // this process's standard streams on Linux and nothing else of its files
    // or sockets. False when it could not be started.
    virtual bool startAgain(const WideString& path, const ProcessArguments& arguments, const WideString& name,
                            const WideString& value) = 0;
    // Waits at most `milliseconds` for the process with this id to end; true
    // once it has ended (or no such process exists).
    virtual bool waitForEnd(std::uint32_t id, std::uint32_t milliseconds) = 0;
};

struct FileFacts {
    bool isFolder = false;
    std::uint64_t size = 0;
    // Modification time in the platform's finest unit (nanoseconds since 1970
    // on Linux, 100 ns ticks since 1601 on Windows); only compared and ordered.
    std::int64_t modified = 0;
};

// A file that no other user can name, open or plant, for text the JVM writes
// and the launcher reads back: unnamed on Linux; on Windows created
// exclusively under a random name in the user's temporary folder and deleted
// when its last handle closes. Closed, and so gone, when destroyed.
class ScratchFile {
public:
    virtual ~ScratchFile() = default;
    // A new descriptor (Linux) or handle (Windows) of the file for a Java
    // FileDescriptor, which then owns it; nullopt on failure.
    virtual std::optional<std::int64_t> javaDescriptor() = 0;
    // The first bytes written to it, at most `limit` of them.
    virtual std::optional<std::string> read(std::size_t limit) = 0;
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

    // Facts, small writes and housekeeping, as the start-up cache needs them.
    // Facts of a file or folder; nullopt when it does not exist or cannot be asked.
    virtual std::optional<FileFacts> facts(const WideString& path) = 0;
    // The path with every link and relative step resolved; nullopt on failure.
    virtual std::optional<WideString> realPath(const WideString& path) = 0;
    // The process's current directory, without a trailing separator.
    virtual std::optional<WideString> currentDirectory() = 0;
    // Creates or truncates the file and writes the bytes; false on any failure
    // (a partly written file is removed).
    virtual bool writeFile(const WideString& path, const std::string& bytes) = 0;
    // A new scratch file; nullptr when none can be made.
    virtual std::unique_ptr<ScratchFile> createScratchFile() = 0;
    // Renames, replacing an existing target.
    virtual bool rename(const WideString& from, const WideString& to) = 0;
    virtual bool remove(const WideString& path) = 0;
    // The names (not paths) of the entries in a folder; nullopt when it cannot be read.
    virtual std::optional<std::vector<WideString>> list(const WideString& folder) = 0;
    // Bytes the current user may still write in the folder's volume.
    virtual std::optional<std::uint64_t> freeSpace(const WideString& folder) = 0;
    // The current time in the unit of FileFacts::modified, and one second in it.
    virtual std::int64_t now() = 0;
    virtual std::int64_t second() = 0;
};

class Environment {
public:
    virtual ~Environment() = default;
    virtual std::optional<WideString> get(const WideString& name) = 0;
    virtual bool set(const WideString& name, const WideString& value) = 0;
    // Removes the variable; true when it is gone.
    virtual bool remove(const WideString& name) = 0;
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

// Text handed to the JVM travels in the thread's ANSI code page on Windows; a
// path that the code page cannot hold reaches the JVM by its short name.
class ShortPaths {
public:
    virtual ~ShortPaths() = default;
    // The file system's short form of an existing path (each component that
    // has a short name given by it); nullopt when the system gives none.
    virtual std::optional<WideString> shortPath(const WideString& path) = 0;
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
    ShortPaths& shortPaths;
};

// The real operating system, assembled from the platform files' parts.
Platform& systemPlatform();
Process& systemProcess();
FileSystem& systemFileSystem();
Environment& systemEnvironment();
Libraries& systemLibraries();
Threads& systemThreads();
Memory& systemMemory();
ShortPaths& systemShortPaths();

// Makes running out of memory, and an exception that nothing catches, end
// the process at once with exit code -1, showing nothing (the C runtime
// would show its own error box). The entry points call it first.
void installFatalErrorHandlers();
// Ends the process at once with exit code -1, needing no memory, window or lock.
[[noreturn]] void endAtOnce();

// A clock that only moves forward, in microseconds from an arbitrary start.
std::uint64_t monotonicMicroseconds();

// Formats as C99's vsnprintf does (the full length is returned even when the
// buffer is too small; negative on a bad format), by the rules of the C
// runtime that the JVM's own code is built against: on Windows the universal
// C runtime's, whose long double is a double as in the JVM's arguments.
int formatLikeJvm(char* buffer, std::size_t size, const char* format, va_list arguments);


// The path separator of folder paths handed between subsystems: a backslash
// on Windows, a slash on Linux.
#ifdef _WIN32
inline constexpr char16_t kPathSeparator = u'\\';
#else
inline constexpr char16_t kPathSeparator = u'/';
#endif
// Every character that separates a path's parts: Windows takes the slash too.
#ifdef _WIN32
inline constexpr WideView kPathSeparators = u"\\/";
#else
inline constexpr WideView kPathSeparators = u"/";
#endif
inline constexpr bool isPathSeparator(char16_t c) { return kPathSeparators.find(c) != WideView::npos; }
// The separator of search-path lists (Path, java.library.path, the class
// path). Linux users write ':', as java.library.path and PATH use it there.
#ifdef _WIN32
inline constexpr char16_t kSearchPathSeparator = u';';
#else
inline constexpr char16_t kSearchPathSeparator = u':';
#endif

}  // namespace corvid
