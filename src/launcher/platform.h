// The small interfaces through which the portable logic reaches the operating
// system. Production code gets the real implementations from systemPlatform();
// unit tests hand in fakes. Each implementation lives in a *_win.cpp or
// *_posix.cpp file beside the portable code it serves.
#pragma once

#include <cstdint>
#include <optional>

#include "launcher/text.h"

namespace corvid {

class ProfileStore;   // config/profile_store.h
class UserInterface;  // launcher/user_interface.h
class RuntimeRegistry;  // runtime/runtime_registry.h

// A platform window handle, or nullptr for none.
using WindowHandle = void*;

struct ModulePath {
    bool ok = false;
    WideString path;
    std::uint32_t error = 0;  // the system error code when !ok
};

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

class FileSystem {
public:
    virtual ~FileSystem() = default;
    // True when a find-first search for exactly this name finds an entry
    // (folders count; wildcard characters act as wildcards on Windows).
    virtual bool findFirst(const WideString& path) = 0;
    virtual bool createDirectory(const WideString& path) = 0;
};

class Environment {
public:
    virtual ~Environment() = default;
    virtual std::optional<WideString> get(const WideString& name) = 0;
    virtual bool set(const WideString& name, const WideString& value) = 0;
    // %NAME% expansion with the system's rules; nullopt when expansion fails.
    virtual std::optional<WideString> expand(const WideString& text) = 0;
};

struct Platform {
    Process& process;
    FileSystem& files;
    Environment& environment;
    ProfileStore& profiles;
    UserInterface& ui;
    RuntimeRegistry& runtimes;
};

// The real operating system, assembled from the platform files' parts.
Platform& systemPlatform();
Process& systemProcess();
FileSystem& systemFileSystem();
Environment& systemEnvironment();

// The path separator of folder paths handed between subsystems: a backslash
// on Windows, a slash on Linux.
#ifdef _WIN32
inline constexpr char16_t kPathSeparator = u'\\';
#else
inline constexpr char16_t kPathSeparator = u'/';
#endif

}  // namespace corvid
