// The later steps of a start that uses the cache: the check's verdict once
// main is about to run, the guard over the JVM's words about its archive step
// at exit, and the end, whether DestroyJavaVM returns or System.exit runs.
#include "cache/cache_exit.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "cache/cache_key.h"
#include "cache/cache_record.h"
#include "cache/cache_support.h"
#include "cache/startup_cache.h"
#include "java/jvm_output.h"
#include "start/launcher.h"

namespace corvid {

namespace {

// What the JVM's cds log says once the archive's regions are in place.
constexpr std::string_view kMappedLine = "Mapped dynamic region";
// ... and once the AOT cache is in place.
constexpr std::string_view kAotMappedLine = "Using AOT-linked classes: true";

// The start whose archive the JVM's exit hook records.
std::atomic<Launcher*> cachingLauncher{nullptr};

// The start whose archive step the capture watcher guards, and the code its
// process ends with when the JVM refuses the archive.
std::atomic<Launcher*> guardedLauncher{nullptr};
std::atomic<int> guardedExitCode{1};
std::atomic<bool> guardedExitCodeKnown{false};

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

bool isArchiveStepText(const std::string& piece) {
    static constexpr std::string_view kAnnouncements[] = {" AOTConfiguration recorded", "AOTConfiguration recorded",
                                                          "Hint: enable -Xlog:class+path", "Error occurred during"};
    return std::any_of(std::begin(kAnnouncements), std::end(kAnnouncements),
                       [&](std::string_view text) { return startsWith(piece, text); });
}

void watchJvmEnd(Launcher& launcher) {
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

void startupCacheExitHook(int exitCode) {
    Launcher* launcher = cachingLauncher.load();
    if (!launcher) return;
    if (launcher->trace.enabled()) launcher->trace.line("JVM exit hook: System.exit(", exitCode, ")");
    // The last moment: the JVM has written its archive and ends the process
    // when the hook returns.
    endStart(*launcher, true);
}

}  // namespace corvid
