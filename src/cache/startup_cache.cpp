#include "cache/startup_cache.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "cache/cache_key.h"
#include "cache/cache_record.h"
#include "cache/cache_support.h"
#include "config/config_file.h"
#include "java/jvm_output.h"
#include "java/jvm_path.h"
#include "runtime/release_file.h"
#include "runtime/runtime_search.h"
#include "start/launcher.h"

namespace corvid {

namespace {

constexpr WideView kRuntimeSection = u"Java Runtime Environment";
// What the JVM's cds log says once the archive's regions are in place.
constexpr std::string_view kMappedLine = "Mapped dynamic region";
// ... and once the AOT cache is in place.
constexpr std::string_view kAotMappedLine = "Using AOT-linked classes: true";
// Old archives of the application kept beside the current one, so switching
// between two configurations or runtimes does not recreate each time.
constexpr std::size_t kKeptOldArchives = 2;
// Creating needs room for the archive; they are 10 to 40 MB.
constexpr std::uint64_t kFreeSpaceNeeded = 256ull << 20;
// A temporary file of a live process older than this is taken as left
// behind by a process whose id has been reused.
constexpr std::int64_t kStaleSeconds = 3600;
// Starts of one key that may record its AOT configuration: a program that
// always dies while recording does not pay for it at every start.
constexpr unsigned kRecordingAttempts = 3;
// How long a build may take to write its marker once its record says building.
constexpr std::int64_t kBuildStartSeconds = 60;

// The start whose archive the JVM's exit hook records.
std::atomic<Launcher*> cachingLauncher{nullptr};

// Options through which the configuration runs class data sharing itself;
// the launcher then keeps out of it.
bool managesSharingItself(const JvmOptionList& options) {
    static constexpr std::string_view kOwnOptions[] = {"-Xshare:", "-XX:SharedArchiveFile", "-XX:ArchiveClassesAtExit",
                                                       "-XX:+AutoCreateSharedArchive", "-XX:AOT", "-XX:-UseSharedSpaces",
                                                       "-XX:SharedClassListFile", "-XX:+RecordDynamicDumpInfo"};
    return std::any_of(options.begin(), options.end(), [](const std::string& option) {
        return std::any_of(std::begin(kOwnOptions), std::end(kOwnOptions),
                           [&](std::string_view own) { return startsWith(option, own); });
    });
}

// The start whose archive step the capture watcher guards, and the code its
// process ends with when the JVM refuses the archive.
std::atomic<Launcher*> guardedLauncher{nullptr};
std::atomic<int> guardedExitCode{1};
std::atomic<bool> guardedExitCodeKnown{false};

class CacheStart {
public:
    CacheStart(Launcher& launcher, FileSystem& files, WideString folder, WideString prefix, WideString current)
        : launcher_(launcher), files_(files), process_(launcher.platform.process), folder_(std::move(folder)), prefix_(std::move(prefix)),
          current_(std::move(current)) {}

    // Whether the start that left this file still runs. A temporary file older
    // than an hour is taken as left behind by a start whose id is now another
    // process's; a marker is not, since the program it guards may run for days.
    bool alive(std::uint32_t id, const WideString& name, bool mayGoStale = true) {
        if (id == process_.processId()) return true;
        if (!process_.processAlive(id)) return false;
        if (!mayGoStale) return true;
        const auto facts = files_.facts(path(name));
        return !facts || files_.now() - facts->modified < kStaleSeconds * files_.second();
    }

    WideString path(WideView name) const { return joinPath(folder_, name); }

    // The process of a start's or build's own file of any key of this application.
    std::optional<std::uint32_t> processOf(WideView name, WideView suffix) const {
        return processOfName(name, prefix_, suffix);
    }
    // ... of the current key.
    std::optional<std::uint32_t> currentProcessOf(WideView name, WideView suffix) const {
        return startsWith(name, current_) ? processOfName(name, prefix_, suffix) : std::nullopt;
    }
    // What a marker of the start `id` may name: an archive or AOT cache, or
    // that start's own temporary archive or configuration.
    bool isMarkerTarget(WideView name, std::uint32_t id) const {
        return isKeyFile(name, prefix_, u".jsa") || isKeyFile(name, prefix_, u".aot") || processOf(name, u".tmp") == id ||
               processOf(name, u".aotconf") == id;
    }

    void removeWithRecord(const WideString& name) {
        files_.remove(path(name));
        files_.remove(path(name + u".meta"));
    }

    std::optional<ArchiveRecord> readRecord(const WideString& name) {
        const auto text = files_.readFile(path(name + u".meta"), 1 << 20);
        return text ? parseRecord(*text) : std::nullopt;
    }

    // Markers of starts whose JVM did not end in order: their archive goes. True when
    // that was the archive this start would use.
    bool clearCrashes(const std::vector<WideString>& names) {
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

    // Archives of other keys beyond the newest few, and what dead starts left.
    void removeLeftovers(const std::vector<WideString>& names) {
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

    // Temporary archives of this key that dead starts made once the archive
    // exists: two starts that created at once leave one each.
    void removeDeadTemporaries(const std::vector<WideString>& names) {
        for (const WideString& name : names) {
            // A dead build's .aottmp is decideAot's to take.
            auto id = currentProcessOf(name, u".tmp");
            if (!id) id = currentProcessOf(name, u".build");
            if (!id || alive(*id, name)) continue;
            removeWithRecord(name);
            traceLine(launcher_, "deleted ", name, ": the archive exists or its start ended");
        }
    }

    // Whether a start still records the current key (its marker names its
    // configuration) or a build still builds it (its marker; a build started
    // a moment ago may not have written one yet).
    bool stillMaking(const std::string& state, const std::vector<WideString>& names, const WideString& record) {
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

    Launcher& launcher_;
    FileSystem& files_;
    Process& process_;
    WideString folder_;
    WideString prefix_;
    WideString current_;  // prefix + hash
};

// Decides the mode for the current key; fills the names in state.
CacheMode decide(CacheStart& start, const std::vector<WideString>& names, const std::string& key,
                 StartupCacheState& state) {
    Launcher& launcher = start.launcher_;
    FileSystem& files = start.files_;
    const WideString archiveName = start.current_ + u".jsa";
    state.archive = start.path(archiveName);
    state.record = state.archive + u".meta";

    if (const auto facts = files.facts(state.archive)) {
        const auto record = start.readRecord(archiveName);
        WideString reason;
        if (!record) reason = u"it has no readable record";
        else if (record->key != key) reason = u"its record was made for something else";
        else if (record->size != facts->size) reason = u"its size differs from its record";
        else if (record->modified != facts->modified) reason = u"it was changed after its record was written";
        else if (record->state == "checked") {
            traceLine(launcher, "using ", archiveName, ": its record matches");
            start.removeDeadTemporaries(names);
            return CacheMode::Use;
        } else if (record->state == "unchecked") {
            traceLine(launcher, "checking ", archiveName, " again: no start has mapped it yet");
            start.removeDeadTemporaries(names);
            return CacheMode::Check;
        } else {
            reason = u"its record says " + fromUtf8(record->state);
        }
        traceLine(launcher, "rejected ", archiveName, ": ", reason);
        if (!files.remove(state.archive)) {
            traceLine(launcher, "cannot delete ", archiveName, "; plain start");
            return CacheMode::Off;
        }
        files.remove(state.record);
        traceLine(launcher, "deleted ", archiveName);
    }

    // A finished temporary archive becomes the archive; this start checks it.
    for (const WideString& name : names) {
        const auto id = start.currentProcessOf(name, u".tmp");
        if (!id) continue;
        if (start.alive(*id, name)) {
            traceLine(launcher, "another start is creating ", name, "; plain start");
            return CacheMode::Off;
        }
        const auto facts = files.facts(start.path(name));
        auto record = start.readRecord(name);
        const auto head = launcher.platform.files.readFile(start.path(name), 8);
        WideString reason;
        if (!facts || !record || record->state != "complete") reason = u"the start that made it did not finish it";
        else if (record->key != key) reason = u"its record was made for something else";
        else if (record->size != facts->size) reason = u"its size differs from its record";
        else if (record->modified != facts->modified) reason = u"it was changed after its record was written";
        else if (!head || !hasDynamicArchiveMagic(*head)) reason = u"it is not an archive";
        if (reason.empty()) {
            record->state = "unchecked";
            // Another start may have taken it a moment ago: then it is theirs.
            if (!files.rename(start.path(name), state.archive)) {
                traceLine(launcher, "cannot take ", name, " as ", archiveName, "; plain start");
                return CacheMode::Off;
            }
            if (files.writeFile(state.record, formatRecord(*record))) {
                files.remove(start.path(name + u".meta"));
                traceLine(launcher, "checking ", archiveName,
                          ": made by an earlier start, mapped here once with verification");
                return CacheMode::Check;
            }
            files.remove(state.archive);
            traceLine(launcher, "deleted ", archiveName, ": its record cannot be written; plain start");
            return CacheMode::Off;
        }
        start.removeWithRecord(name);
        traceLine(launcher, "deleted ", name, ": ", reason);
    }

    const auto space = files.freeSpace(start.folder_);
    if (!space || *space < kFreeSpaceNeeded) {
        traceLine(launcher, "too little free space to create an archive; plain start");
        return CacheMode::Off;
    }
    const WideString temporary = start.current_ + u"." + decimal(launcher.platform.process.processId()) + u".tmp";
    state.archive = start.path(temporary);
    state.record = state.archive + u".meta";
    traceLine(launcher, "creating ", temporary, ": no archive for this configuration yet");
    return CacheMode::Create;
}

// A build whose process has ended: the create step ends the process by
// itself, and where no exit handler of the launcher ran (on Windows the JVM's
// C runtime is not the launcher's), its cache is recorded here. True when
// the cache is now recorded as complete.
bool takeFinishedBuild(CacheStart& start, const std::vector<WideString>& names, const std::string& key) {
    FileSystem& files = start.files_;
    const WideString cache = start.path(start.current_ + u".aot");
    for (const WideString& name : names) {
        const auto id = start.currentProcessOf(name, u".aottmp");
        if (!id || start.alive(*id, name)) continue;
        const auto head = files.readFile(start.path(name), 8);
        bool taken = false;
        if (head && hasAotCacheMagic(*head) && files.rename(start.path(name), cache)) {
            const auto facts = files.facts(cache);
            taken = facts && files.writeFile(cache + u".meta", formatRecord({"complete", facts->size, facts->modified, key}));
        }
        if (!taken) files.remove(start.path(name));
        files.remove(start.path(start.current_ + u".aotconf"));
        traceLine(start.launcher_, taken ? u"took " + name + u", left by a build that has ended"
                                         : u"deleted " + name + u": its build did not finish it");
        if (taken) return true;
    }
    return false;
}

// Once the dynamic archive is in use: the AOT cache of the key is mapped
// when its record matches, checked once when newly built, and recorded when
// there is none, again when a recording or build ended without one, at most
// a few times per key. Anything else keeps the dynamic archive (Use).
CacheMode decideAot(CacheStart& start, const std::vector<WideString>& names, const std::string& key,
                    StartupCacheState& state) {
    Launcher& launcher = start.launcher_;
    FileSystem& files = start.files_;
    const WideString name = start.current_ + u".aot";
    const WideString cache = start.path(name);
    const WideString recordPath = cache + u".meta";
    auto record = start.readRecord(name);
    if (record && record->state == "building" && record->key == key && takeFinishedBuild(start, names, key)) {
        record = start.readRecord(name);
    }
    unsigned attempt = 1;
    if (record && record->key == key && (record->state == "recording" || record->state == "building") &&
        !start.stillMaking(record->state, names, recordPath)) {
        // Records of earlier launchers carry no count: theirs was the first.
        const unsigned made = std::max(record->attempts, 1u);
        files.remove(start.path(start.current_ + u".aotconf"));
        if (made >= kRecordingAttempts) {
            files.writeFile(recordPath, formatRecord({"failed", 0, 0, key, made}));
            traceLine(launcher, "AOT cache ", name, ": ", made, " recordings ended without a cache; the archive is used");
            return CacheMode::Use;
        }
        traceLine(launcher, "AOT cache ", name, ": ", fromUtf8(record->state), ", but nothing runs behind it");
        attempt = made + 1;
        record.reset();
    }
    if (!record && (attempt > 1 || !files.facts(recordPath))) {
        // The record exists from here on, so no other start records this key meanwhile.
        if (!files.writeFile(recordPath, formatRecord({"recording", 0, 0, key, attempt}))) return CacheMode::Use;
        state.archive = start.path(start.current_ + u"." + decimal(start.process_.processId()) + u".aotconf");
        state.record = recordPath;
        state.attempt = attempt;
        traceLine(launcher, "recording the AOT configuration for ", name, " (attempt ", attempt, " of ",
                  kRecordingAttempts, "); this start goes without the archive");
        return CacheMode::Record;
    }
    const auto facts = files.facts(cache);
    WideString reason;
    if (!record) reason = u"its record is unreadable";
    else if (record->key != key) reason = u"its record was made for something else";
    else if (record->state == "recording" || record->state == "building" || record->state == "failed" ||
             record->state == "refused") {
        traceLine(launcher, "AOT cache ", name, ": ", fromUtf8(record->state), "; the archive is used");
        return CacheMode::Use;
    } else if (!facts) reason = u"it is missing";
    else if (record->size != facts->size) reason = u"its size differs from its record";
    else if (record->modified != facts->modified) reason = u"it was changed after its record was written";
    else if (record->state == "checked" || record->state == "complete") {
        state.archive = cache;
        state.record = recordPath;
        state.kind = ArchiveKind::Aot;
        const bool checked = record->state == "checked";
        traceLine(launcher, checked ? u"using " + name + u": its record matches"
                                    : u"checking " + name + u": built by a detached build, mapped here once with verification");
        return checked ? CacheMode::Use : CacheMode::Check;
    } else {
        reason = u"its record says " + fromUtf8(record->state);
    }
    // Gone with its record: a later start records and builds it anew.
    files.remove(cache);
    files.remove(recordPath);
    traceLine(launcher, "deleted ", name, ": ", reason, "; the archive is used");
    return CacheMode::Use;
}

// Build mode: what the builder made, recorded when the JVM ends the process
// (the create step exits by itself, through exit(), after writing the cache).
struct Build {
    Launcher* launcher = nullptr;
    WideString temporary, cache, record, configuration, marker;
    std::string key;
};
Build currentBuild;

}  // namespace

void finishStartupCacheBuild() {
    Launcher* launcher = std::exchange(currentBuild.launcher, nullptr);
    if (!launcher) return;
    FileSystem& files = launcher->platform.files;
    const auto head = files.readFile(currentBuild.temporary, 8);
    bool done = false;
    if (head && hasAotCacheMagic(*head) && files.rename(currentBuild.temporary, currentBuild.cache)) {
        const auto facts = files.facts(currentBuild.cache);
        done = facts && files.writeFile(currentBuild.record,
                                        formatRecord({"complete", facts->size, facts->modified, currentBuild.key}));
    }
    if (!done) {
        files.remove(currentBuild.temporary);
        files.remove(currentBuild.cache);
        files.writeFile(currentBuild.record, formatRecord({"failed", 0, 0, currentBuild.key}));
    }
    files.remove(currentBuild.configuration);
    files.remove(currentBuild.marker);
    traceLine(*launcher, done ? u"built " + currentBuild.cache + u"; the next start checks it"
                              : u"the JVM built no AOT cache " + currentBuild.cache);
}

namespace {

// The refused archive's last words reach the hook just before the JVM ends
// the process (neither the exit hook nor atexit runs then): the start ends
// here instead, with its own code and without those words.
void endRefusedStart() {
    Launcher* launcher = guardedLauncher.exchange(nullptr);
    if (!launcher) return;
    StartupCacheState& state = launcher->startupCache;
    FileSystem& files = launcher->platform.files;
    files.remove(state.archive);
    if (state.mode == CacheMode::Record) {
        files.writeFile(state.record, formatRecord({"failed", 0, 0, state.key, state.attempt}));
    }
    files.remove(state.marker);
    const int code = guardedExitCode.load();
    // Inside System.exit the program's code is not known here; the JVM would end with 1.
    traceLine(*launcher, "the JVM refused the archive at exit; the start ends with ", code,
              guardedExitCodeKnown.load() ? ", its own code" : ", as the JVM would");
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(code);
}

// While a creating or recording start runs: the JVM's words about its archive
// step are dropped, everything else it prints goes on at once.
bool archiveStepGuard(const std::string& piece) {
    if (startsWith(piece, "Error occurred during")) endRefusedStart();
    return isArchiveStepText(piece);
}

}  // namespace

bool startupCacheRequested(WideView value) { return equalsIgnoringAsciiCase(value, u"Yes"); }

std::optional<int> javaFeatureVersion(WideView releaseVersion) {
    std::vector<int> numbers;
    std::size_t i = 0;
    for (int part = 0; part < 2; ++part) {
        if (i >= releaseVersion.size() || releaseVersion[i] < u'0' || releaseVersion[i] > u'9') break;
        int number = 0;
        while (i < releaseVersion.size() && releaseVersion[i] >= u'0' && releaseVersion[i] <= u'9') {
            number = std::min(number * 10 + (releaseVersion[i] - u'0'), 100000);
            ++i;
        }
        numbers.push_back(number);
        if (i >= releaseVersion.size() || releaseVersion[i] != u'.') break;
        ++i;
    }
    if (numbers.empty()) return std::nullopt;
    // Up to 8 the version was written 1.N.
    if (numbers[0] == 1 && numbers.size() > 1) return numbers[1];
    return numbers[0];
}

bool supportsDynamicArchive(std::optional<int> featureVersion) { return featureVersion && *featureVersion >= 13; }

bool supportsAotCache(std::optional<int> featureVersion) { return featureVersion && *featureVersion >= 25; }

std::vector<std::string> cacheOptions(CacheMode mode, ArchiveKind kind, int featureVersion, const std::string& archive,
                                      const std::string& checkLog) {
    if (mode == CacheMode::Off) return {};
    std::vector<std::string> options{"-Xlog:cds*=off"};
    // The aot tags exist from 25 on; older runtimes refuse to start when named.
    if (featureVersion >= 25) options.push_back("-Xlog:aot*=off");
    // The AOT options refuse any -Xshare; otherwise never -Xshare:on: a runtime
    // that cannot map the archive starts without it.
    if (mode == CacheMode::Record) {
        options.push_back("-XX:AOTMode=record");
        options.push_back("-XX:AOTConfiguration=" + archive);
        return options;
    }
    if (kind == ArchiveKind::Aot) {
        options.push_back("-XX:AOTCache=" + archive);
        if (mode == CacheMode::Check) {
            options.push_back("-XX:+VerifySharedSpaces");
            options.push_back("-Xlog:aot=info:file=\"" + checkLog + "\"::filecount=0");
        }
        return options;
    }
    options.insert(options.begin(), "-Xshare:auto");
    switch (mode) {
        case CacheMode::Use: options.push_back("-XX:SharedArchiveFile=" + archive); break;
        case CacheMode::Check:
            options.push_back("-XX:SharedArchiveFile=" + archive);
            // Checksums of every region, once: a damaged archive is refused instead of crashing.
            options.push_back("-XX:+VerifySharedSpaces");
            options.push_back("-Xlog:cds=info:file=\"" + checkLog + "\"::filecount=0");
            break;
        case CacheMode::Create: options.push_back("-XX:ArchiveClassesAtExit=" + archive); break;
        case CacheMode::Off:
        case CacheMode::Record: break;
    }
    return options;
}

bool isArchiveStepText(const std::string& piece) {
    static constexpr std::string_view kAnnouncements[] = {" AOTConfiguration recorded", "AOTConfiguration recorded",
                                                          "Hint: enable -Xlog:class+path", "Error occurred during"};
    return std::any_of(std::begin(kAnnouncements), std::end(kAnnouncements),
                       [&](std::string_view text) { return startsWith(piece, text); });
}

void prepareStartupCache(Launcher& launcher) {
    StartupCacheState& state = launcher.startupCache;
    state = StartupCacheState();
    const auto configFile = getConfigFilePath(launcher);
    if (!configFile) return;
    const WideString value = readConfigValue(launcher.platform, *configFile, kRuntimeSection, u"Startup Cache");
    if (launcher.trace.enabled()) launcher.trace.line("[Java Runtime Environment] Startup Cache = \"", value, "\"");
    if (!startupCacheRequested(value)) return;

    if (managesSharingItself(launcher.jvmOptions)) {
        traceLine(launcher, "off: the options manage class data sharing themselves");
        return;
    }
    const WideString home = runtimeHomeFolder(launcher.jvmLibraryPath);
    const auto version = readReleaseVersion(launcher.platform.files, home);
    const auto feature = version ? javaFeatureVersion(*version) : std::nullopt;
    if (!supportsDynamicArchive(feature)) {
        traceLine(launcher, version ? u"off: runtime version " + *version + u" is older than 13"
                                    : u"off: the runtime has no release file with its version");
        return;
    }
    FileSystem& files = launcher.platform.files;
    // The dynamic archive sits on the runtime's own; without it the JVM refuses.
    const WideString libraryFolder = launcher.jvmLibraryPath.substr(0, launcher.jvmLibraryPath.rfind(kPathSeparator));
    if (!files.facts(joinPath(libraryFolder, u"classes.jsa"))) {
        traceLine(launcher, "off: the runtime has no base archive ", joinPath(libraryFolder, u"classes.jsa"));
        return;
    }

    const auto folder = cacheFolderFor(launcher);
    if (!folder) {
        traceLine(launcher, "off: no folder for the cache");
        return;
    }
    // The JVM reads a separator inside the archive option as a list.
    if (folder->find(kSearchPathSeparator) != WideString::npos) {
        traceLine(launcher, "off: the folder ", *folder, " holds the list separator");
        return;
    }
    // Each level in turn, failures ignored; what counts is that the last exists.
    for (std::size_t i = folder->find(kPathSeparator, 1); ; i = folder->find(kPathSeparator, i + 1)) {
        launcher.platform.files.createDirectory(folder->substr(0, i));
        if (i == WideString::npos) break;
    }
    const auto folderFacts = files.facts(*folder);
    const auto names = files.list(*folder);
    if (!folderFacts || !folderFacts->isFolder || !names) {
        traceLine(launcher, "off: cannot use the folder ", *folder);
        return;
    }

    if (const auto refusal = archiveRefusal(launcher, files)) {
        traceLine(launcher, "off: ", *refusal);
        return;
    }
    auto key = cacheKey(launcher, files, *version);
    if (!key) {
        traceLine(launcher, "off: cannot read the runtime's or the JVM library's facts");
        return;
    }
    const ModulePath module = launcher.platform.process.modulePath();
    const WideString prefix = applicationPrefix(module.path);
    CacheStart start(launcher, files, *folder, prefix, prefix + fromAscii(keyHash(*key)));
    traceLine(launcher, "folder ", *folder, ", archive ", start.current_, ".jsa");

    if (start.clearCrashes(*names)) {
        traceLine(launcher, "plain start after a start that did not end in order");
        return;
    }
    start.removeLeftovers(*names);
    CacheMode mode = decide(start, *names, *key, state);
    if (mode == CacheMode::Off) return;
    if (mode == CacheMode::Use && supportsAotCache(feature)) mode = decideAot(start, *names, *key, state);

    // The JVM opens the archive through the narrow form of its path.
    const auto jvmFolder = jvmOpenablePath(launcher.platform.shortPaths, *folder);
    if (!jvmFolder || !fitsNarrow(start.current_)) {
        traceLine(launcher, "plain start: the archive's path cannot be passed to Java");
        return;
    }
    const auto forJvm = [&](const WideString& path) {
        return path.empty() ? std::string() : toNarrow(*jvmFolder + path.substr(folder->size()));
    };
    const WideString pid = decimal(launcher.platform.process.processId());
    const WideString marker = start.path(start.current_ + u"." + pid + u".start");
    const WideString archiveName = state.archive.substr(state.archive.rfind(kPathSeparator) + 1);
    if (!files.writeFile(marker, toUtf8(archiveName))) {
        traceLine(launcher, "cannot write to ", *folder, "; plain start");
        return;
    }
    state.mode = mode;
    state.folder = *folder;
    state.marker = marker;
    state.key = std::move(*key);
    state.keyOptions = launcher.jvmOptions.size();
    if (mode == CacheMode::Check) state.checkLog = start.path(start.current_ + u"." + pid + u".log");
    for (std::string& option :
         cacheOptions(mode, state.kind, *feature, forJvm(state.archive), forJvm(state.checkLog))) {
        launcher.jvmOptions.push_back(std::move(option));
    }
    launcher.jvmExitHook = &startupCacheExitHook;
    cachingLauncher.store(&launcher);
}

void startupCacheMainStarting(Launcher& launcher) {
    StartupCacheState& state = launcher.startupCache;
    if (state.mode == CacheMode::Off || state.mainStarted) return;
    state.mainStarted = true;
    FileSystem& files = launcher.platform.files;
    if (state.mode == CacheMode::Create || state.mode == CacheMode::Record) {
        // From here on the JVM's words about the archive are kept out of the output.
        guardedExitCode.store(1);
        guardedLauncher.store(&launcher);
        setJvmOutputGuard(&archiveStepGuard);
    }
    if (state.mode == CacheMode::Check) {
        const auto log = launcher.platform.files.readFile(state.checkLog, 4 << 20);
        const WideString name = state.archive.substr(state.archive.rfind(kPathSeparator) + 1);
        const bool mapped = log && log->find(state.kind == ArchiveKind::Aot ? kAotMappedLine : kMappedLine) != std::string::npos;
        const auto facts = files.facts(state.archive);
        if (mapped && facts) {
            ArchiveRecord record{"checked", facts->size, facts->modified, state.key};
            const WideString fresh = state.record + u".new";
            if (files.writeFile(fresh, formatRecord(record)) && files.rename(fresh, state.record)) {
                traceLine(launcher, "checked ", name, ": the JVM mapped it with verification; later starts use it");
            } else {
                files.remove(fresh);
            }
        } else {
            // A record saying so, in case the mapped file cannot be deleted now.
            files.writeFile(state.record, formatRecord({"refused", 0, 0, state.key}));
            // A refused AOT cache keeps its record, so the key is not recorded again.
            if (files.remove(state.archive) && state.kind == ArchiveKind::Dynamic) files.remove(state.record);
            traceLine(launcher, "rejected ", name, ": the JVM did not map it");
        }
        files.remove(state.checkLog);
    }
}

namespace {

// Whether a jar changed while the start ran: the archive would then hold
// what no key describes.
bool keyChanged(Launcher& launcher) {
    StartupCacheState& state = launcher.startupCache;
    const auto all = launcher.jvmOptions;
    launcher.jvmOptions.resize(std::min(state.keyOptions, all.size()));
    const std::string head = state.key.substr(0, state.key.find("\nversion "));
    const std::string version = state.key.substr(head.size() + 9, state.key.find('\n', head.size() + 1) - head.size() - 9);
    const auto now = cacheKey(launcher, launcher.platform.files, fromUtf8(version));
    launcher.jvmOptions = all;
    return !now || *now != state.key;
}

// A recording start has ended: its configuration becomes the key's, and a
// detached copy of the launcher builds the AOT cache from it.
void recordingEnded(Launcher& launcher, const WideString& name) {
    StartupCacheState& state = launcher.startupCache;
    FileSystem& files = launcher.platform.files;
    const WideString stem = state.record.substr(0, state.record.size() - 9);  // without ".aot.meta"
    const auto facts = files.facts(state.archive);
    const ModulePath module = launcher.platform.process.modulePath();
    if (facts && facts->size > 0 && module.ok && files.rename(state.archive, stem + u".aotconf") &&
        files.writeFile(state.record, formatRecord({"building", 0, 0, state.key, state.attempt}))) {
        if (launcher.platform.process.startDetached(module.path, kCacheBuildVariable, state.record)) {
            traceLine(launcher, "recorded ", name, "; a detached build makes the AOT cache from it");
            return;
        }
        traceLine(launcher, "cannot start the build of the AOT cache");
    } else {
        traceLine(launcher, "the JVM recorded no AOT configuration ", name);
    }
    files.remove(state.archive);
    files.remove(stem + u".aotconf");
    files.writeFile(state.record, formatRecord({"failed", 0, 0, state.key, state.attempt}));
}

// The JVM has ended: DestroyJavaVM returned or System.exit runs the hook.
void endStart(Launcher& launcher, bool ranNormally) {
    StartupCacheState& state = launcher.startupCache;
    const CacheMode mode = state.mode;
    if (mode == CacheMode::Off) return;
    state.mode = CacheMode::Off;
    cachingLauncher.store(nullptr);
    if (guardedLauncher.exchange(nullptr)) setJvmOutputGuard(nullptr);
    FileSystem& files = launcher.platform.files;
    const WideString name = state.archive.substr(state.archive.rfind(kPathSeparator) + 1);
    if (mode == CacheMode::Record) recordingEnded(launcher, name);
    if (mode == CacheMode::Create) {
        const auto facts = files.facts(state.archive);
        if (!facts || facts->size == 0) {
            files.remove(state.archive);
            traceLine(launcher, "the JVM wrote no archive ", name);
        } else if (keyChanged(launcher)) {
            files.remove(state.archive);
            traceLine(launcher, "deleted ", name, ": a class path entry changed during the start");
        } else if (files.writeFile(state.record, formatRecord({"complete", facts->size, facts->modified, state.key}))) {
            traceLine(launcher, "created ", name, " (", facts->size, " bytes); the next start checks it");
        }
    }
    // A damaged archive crashes the JVM late as well as early (a method's first
    // call can be the first use of its archived data), so the marker stays
    // until the JVM has ended in order.
    if (ranNormally) {
        files.remove(state.marker);
        traceLine(launcher, "the JVM ended in order; crash marker cleared");
    } else {
        traceLine(launcher, "main never ran; the crash marker stays, so the next start goes without this archive");
    }
}

}  // namespace

void finishStartupCache(Launcher& launcher) { endStart(launcher, launcher.startupCache.mainStarted); }

void startupCacheDestroying(Launcher&, std::int32_t exitCode) {
    guardedExitCode.store(exitCode);
    guardedExitCodeKnown.store(true);
}

std::optional<std::int32_t> beginStartupCacheBuild(Launcher& launcher, const WideString& recordPath) {
    FileSystem& files = launcher.platform.files;
    Process& process = launcher.platform.process;
    const ModulePath module = process.modulePath();
    const std::size_t slash = recordPath.rfind(kPathSeparator);
    if (!module.ok || slash == WideString::npos) return 1;
    const WideString folder = recordPath.substr(0, slash);
    const WideString name = recordPath.substr(slash + 1);
    const WideString prefix = applicationPrefix(module.path);
    // Only a record of this application in a cache folder, named as a recording start names it.
    if (folder.substr(folder.rfind(kPathSeparator) + 1) != kCacheFolderName || !isKeyFile(name, prefix, u".aot.meta")) {
        traceLine(launcher, "build: not a record of this application: ", recordPath);
        return 1;
    }
    const auto text = files.readFile(recordPath, 1 << 20);
    const auto record = text ? parseRecord(*text) : std::nullopt;
    if (!record || record->state != "building") {
        traceLine(launcher, "build: nothing to build in ", name);
        return 1;
    }
    const WideString stemName = name.substr(0, name.size() - 9);
    const WideString stem = joinPath(folder, stemName);
    const std::uint32_t pid = process.processId();
    currentBuild = {&launcher, stem + u"." + decimal(pid) + u".aottmp", stem + u".aot", recordPath,
                    stem + u".aotconf", stem + u"." + decimal(pid) + u".build", record->key};
    if (!files.writeFile(currentBuild.marker, "")) return 1;
    // Two builds of one key: the one with the lowest process id goes on, the others give up.
    for (const WideString& entry : files.list(folder).value_or(std::vector<WideString>())) {
        const auto other = startsWith(entry, stemName) ? processOfName(entry, prefix, u".build") : std::nullopt;
        if (other && *other < pid && process.processAlive(*other)) {
            files.remove(currentBuild.marker);
            currentBuild.launcher = nullptr;
            traceLine(launcher, "build: another build of ", stemName, " runs; this one gives up");
            return 0;
        }
    }
    // The JVM library and the options the key was made for; no logging of the application's.
    std::string_view rest = record->key;
    while (!rest.empty()) {
        const std::string_view line = rest.substr(0, rest.find('\n'));
        rest.remove_prefix(std::min(rest.size(), line.size() + 1));
        if (startsWith(line, "jvm ")) {
            std::string_view library = line.substr(4);
            for (int i = 0; i < 2; ++i) library = library.substr(0, library.rfind(' '));
            launcher.jvmLibraryPath = fromUtf8(library);
        } else if (startsWith(line, "option ") && !startsWith(line, "option -Xlog") && !startsWith(line, "option -verbose")) {
            launcher.jvmOptions.emplace_back(line.substr(7));
        }
    }
    std::atexit(&finishStartupCacheBuild);
    return std::nullopt;
}

void addStartupCacheBuildOptions(Launcher& launcher) {
    for (std::string option : {std::string("-Xlog:cds*=off"), std::string("-Xlog:aot*=off"), std::string("-XX:AOTMode=create"),
                               "-XX:AOTConfiguration=" + toNarrow(currentBuild.configuration),
                               "-XX:AOTCache=" + toNarrow(currentBuild.temporary)}) {
        launcher.jvmOptions.push_back(std::move(option));
    }
    traceLine(launcher, "build: creating ", currentBuild.cache);
}

void startupCacheExitHook(int exitCode) {
    Launcher* launcher = cachingLauncher.load();
    if (!launcher) return;
    if (launcher->trace.enabled()) launcher->trace.line("JVM exit hook: System.exit(", exitCode, ")");
    // The last moment: the JVM has written its archive and ends the process
    // when the hook returns.
    endStart(*launcher, true);
}

}  // namespace corvid
