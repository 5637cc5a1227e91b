// The mode of a start: what the runtime's version supports, which archive
// or AOT cache the start maps, checks, creates or records, and the options
// that ask the JVM for it.
#include "cache/cache_mode.h"

#include <algorithm>

#include "cache/cache_folder.h"
#include "cache/cache_record.h"
#include "cache/cache_support.h"
#include "start/launcher.h"

namespace corvid {

namespace {

// Creating needs room for the archive; they are 10 to 40 MB.
constexpr std::uint64_t kFreeSpaceNeeded = 256ull << 20;

// Starts of one key that may record its AOT configuration: a program that
// always dies while recording does not pay for it at every start.
constexpr unsigned kRecordingAttempts = 3;

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

CacheMode decideArchiveMode(CacheStart& start, const std::vector<WideString>& names, const std::string& key,
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

CacheMode decideAotMode(CacheStart& start, const std::vector<WideString>& names, const std::string& key,
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

}  // namespace corvid
