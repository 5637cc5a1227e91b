// Build mode: a detached copy of the launcher that has the JVM build the AOT
// cache from the configuration a recording start left, and records the result.
#include "cache/startup_cache.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "cache/cache_record.h"
#include "cache/cache_support.h"
#include "start/launcher.h"

namespace corvid {

namespace {

// What the builder makes, recorded when the JVM ends the process
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

}  // namespace corvid
