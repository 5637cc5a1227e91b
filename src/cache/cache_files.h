// The file and process operations the start-up cache needs beyond the
// platform's FileSystem: file facts, small writes, renames, deletions,
// folder listings, and whether another start is still alive. Production code
// uses systemCacheFiles(); unit tests hand in a fake.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/text.h"

namespace corvid {

struct FileFacts {
    bool isFolder = false;
    std::uint64_t size = 0;
    // Modification time in the platform's finest unit (nanoseconds since 1970
    // on Linux, 100 ns ticks since 1601 on Windows); only compared and ordered.
    std::int64_t modified = 0;
};

class CacheFiles {
public:
    virtual ~CacheFiles() = default;
    // Facts of a file or folder; nullopt when it does not exist or cannot be asked.
    virtual std::optional<FileFacts> facts(const WideString& path) = 0;
    // The path with every link and relative step resolved; nullopt on failure.
    virtual std::optional<WideString> realPath(const WideString& path) = 0;
    // The process's current directory, without a trailing separator.
    virtual std::optional<WideString> currentDirectory() = 0;
    // Creates or truncates the file and writes the bytes; false on any failure
    // (a partly written file is removed).
    virtual bool writeFile(const WideString& path, const std::string& bytes) = 0;
    // Renames, replacing an existing target.
    virtual bool rename(const WideString& from, const WideString& to) = 0;
    virtual bool remove(const WideString& path) = 0;
    // The names (not paths) of the entries in a folder; nullopt when it cannot be read.
    virtual std::optional<std::vector<WideString>> list(const WideString& folder) = 0;
    // Bytes the current user may still write in the folder's volume.
    virtual std::optional<std::uint64_t> freeSpace(const WideString& folder) = 0;
    virtual std::uint32_t processId() = 0;
    // True when a process with this id runs (or cannot be asked about).
    virtual bool processAlive(std::uint32_t id) = 0;
    // The current time in the unit of FileFacts::modified.
    virtual std::int64_t now() = 0;
    // One unit-less second in the unit of FileFacts::modified.
    virtual std::int64_t second() = 0;
};

CacheFiles& systemCacheFiles();

}  // namespace corvid
