// One start's view of the cache folder of its application: the files of
// the current key and of the others, which start or build made each one and
// whether it still runs, and the clean-up of what ended starts left behind.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cache/cache_record.h"
#include "platform/text.h"

namespace corvid {

class Launcher;
class FileSystem;
class Process;

class CacheStart {
public:
    // `current` is the prefix of the current key's files: `prefix` and the key's hash.
    CacheStart(Launcher& launcher, FileSystem& files, WideString folder, WideString prefix, WideString current);

    // Whether the start that left this file still runs. A temporary file older
    // than an hour is taken as left behind by a start whose id is now another
    // process's; a marker is not, since the program it guards may run for days.
    bool alive(std::uint32_t id, const WideString& name, bool mayGoStale = true);

    WideString path(WideView name) const;

    // The process of a start's or build's own file of any key of this application.
    std::optional<std::uint32_t> processOf(WideView name, WideView suffix) const;
    // ... of the current key.
    std::optional<std::uint32_t> currentProcessOf(WideView name, WideView suffix) const;
    // What a marker of the start `id` may name: an archive or AOT cache, or
    // that start's own temporary archive or configuration.
    bool isMarkerTarget(WideView name, std::uint32_t id) const;

    void removeWithRecord(const WideString& name);
    std::optional<ArchiveRecord> readRecord(const WideString& name);

    // Markers of starts whose JVM did not end in order: their archive goes. True when
    // that was the archive this start would use.
    bool clearCrashes(const std::vector<WideString>& names);
    // Archives of other keys beyond the newest few, and what dead starts left.
    void removeLeftovers(const std::vector<WideString>& names);
    // Temporary archives of this key that dead starts made once the archive
    // exists: two starts that created at once leave one each.
    void removeDeadTemporaries(const std::vector<WideString>& names);

    // Whether a start still records the current key (its marker names its
    // configuration) or a build still builds it (its marker; a build started
    // a moment ago may not have written one yet).
    bool stillMaking(const std::string& state, const std::vector<WideString>& names, const WideString& record);

    Launcher& launcher_;
    FileSystem& files_;
    Process& process_;
    WideString folder_;
    WideString prefix_;
    WideString current_;  // prefix + hash
};

}  // namespace corvid
