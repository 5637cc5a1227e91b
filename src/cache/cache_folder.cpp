// One start's view of the cache folder: whose files are which, whether the
// start or build that made one still runs, and the clean-up of what others left.
#include "cache/cache_folder.h"

#include <algorithm>
#include <utility>

#include "cache/cache_support.h"
#include "start/launcher.h"

namespace corvid {

namespace {

// Old archives of the application kept beside the current one, so switching
// between two configurations or runtimes does not recreate each time.
constexpr std::size_t kKeptOldArchives = 2;

// A temporary file of a live process older than this is taken as left
// behind by a process whose id has been reused.
constexpr std::int64_t kStaleSeconds = 3600;

// How long a build may take to write its marker once its record says building.
constexpr std::int64_t kBuildStartSeconds = 60;

}  // namespace

CacheStart::CacheStart(Launcher& launcher, FileSystem& files, WideString folder, WideString prefix, WideString current)
    : launcher_(launcher), files_(files), process_(launcher.platform.process), folder_(std::move(folder)), prefix_(std::move(prefix)),
      current_(std::move(current)) {}

bool CacheStart::alive(std::uint32_t id, const WideString& name, bool mayGoStale) {
    if (id == process_.processId()) return true;
    if (!process_.processAlive(id)) return false;
    if (!mayGoStale) return true;
    const auto facts = files_.facts(path(name));
    return !facts || files_.now() - facts->modified < kStaleSeconds * files_.second();
}

WideString CacheStart::path(WideView name) const { return joinPath(folder_, name); }

std::optional<std::uint32_t> CacheStart::processOf(WideView name, WideView suffix) const {
    return processOfName(name, prefix_, suffix);
}

std::optional<std::uint32_t> CacheStart::currentProcessOf(WideView name, WideView suffix) const {
    return startsWith(name, current_) ? processOfName(name, prefix_, suffix) : std::nullopt;
}

bool CacheStart::isMarkerTarget(WideView name, std::uint32_t id) const {
    return isKeyFile(name, prefix_, u".jsa") || isKeyFile(name, prefix_, u".aot") || processOf(name, u".tmp") == id ||
           processOf(name, u".aotconf") == id;
}

void CacheStart::removeWithRecord(const WideString& name) {
    files_.remove(path(name));
    files_.remove(path(name + u".meta"));
}

std::optional<ArchiveRecord> CacheStart::readRecord(const WideString& name) {
    const auto text = files_.readFile(path(name + u".meta"), 1 << 20);
    return text ? parseRecord(*text) : std::nullopt;
}

bool CacheStart::clearCrashes(const std::vector<WideString>& names) {
    bool currentCrashed = false;
    for (const WideString& name : names) {
        const auto id = processOf(name, u".start");
        if (!id || alive(*id, name, false)) continue;
        const auto protectedName = files_.readFile(path(name), 4096);
        files_.remove(path(name));
        if (!protectedName) continue;
        const WideString file = fromUtf8(*protectedName);
        // Only a file of the cache in this folder, whatever the marker says.
        if (!isMarkerTarget(file, *id)) continue;
        removeWithRecord(file);
        traceLine(launcher_, "deleted ", file, ": the start that used it did not end in order");
        if (startsWith(file, current_)) currentCrashed = true;
    }
    return currentCrashed;
}

void CacheStart::removeLeftovers(const std::vector<WideString>& names) {
    struct Old {
        WideString name;
        std::int64_t modified;
    };
    std::vector<Old> old;
    for (const WideString& name : names) {
        if (startsWith(name, current_)) continue;
        if (isKeyFile(name, prefix_, u".jsa") || isKeyFile(name, prefix_, u".aot")) {
            const auto facts = files_.facts(path(name));
            old.push_back({name, facts ? facts->modified : 0});
            continue;
        }
        // A recorded configuration of another key is never built any more.
        if (isKeyFile(name, prefix_, u".aotconf")) {
            removeWithRecord(name);
            continue;
        }
        for (const WideView suffix : {WideView(u".tmp"), WideView(u".log"), WideView(u".aotconf"),
                                      WideView(u".aottmp"), WideView(u".build")}) {
            const auto id = processOf(name, suffix);
            if (id && !alive(*id, name)) {
                removeWithRecord(name);
                traceLine(launcher_, "deleted ", name, ": left by an earlier start");
            }
        }
    }
    std::sort(old.begin(), old.end(), [](const Old& a, const Old& b) { return a.modified > b.modified; });
    for (std::size_t i = kKeptOldArchives; i < old.size(); ++i) {
        removeWithRecord(old[i].name);
        traceLine(launcher_, "deleted ", old[i].name, ": an older archive of this application");
    }
}

void CacheStart::removeDeadTemporaries(const std::vector<WideString>& names) {
    for (const WideString& name : names) {
        // A dead build's .aottmp is decideAotMode's to take.
        auto id = currentProcessOf(name, u".tmp");
        if (!id) id = currentProcessOf(name, u".build");
        if (!id || alive(*id, name)) continue;
        removeWithRecord(name);
        traceLine(launcher_, "deleted ", name, ": the archive exists or its start ended");
    }
}

bool CacheStart::stillMaking(const std::string& state, const std::vector<WideString>& names, const WideString& record) {
    if (state == "recording") {
        // Listed anew, for a start that began recording since this one listed the folder.
        for (const WideString& name : files_.list(folder_).value_or(names)) {
            const auto id = currentProcessOf(name, u".start");
            if (!id || *id == process_.processId() || !alive(*id, name, false)) continue;
            const auto target = files_.readFile(path(name), 4096);
            if (target && fromUtf8(*target) == current_ + u"." + decimal(*id) + u".aotconf") return true;
        }
        return false;
    }
    bool buildDied = false;
    for (const WideString& name : names) {
        const auto id = currentProcessOf(name, u".build");
        if (!id) continue;
        if (alive(*id, name)) return true;
        buildDied = true;
    }
    const auto facts = files_.facts(record);
    return !buildDied && facts && files_.now() - facts->modified < kBuildStartSeconds * files_.second();
}

}  // namespace corvid
