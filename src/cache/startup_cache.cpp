// A start's first step with the cache: whether it is asked for and can be
// had, the folder, the key, the mode, the crash marker and the options.
#include "cache/startup_cache.h"

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "cache/cache_exit.h"
#include "cache/cache_folder.h"
#include "cache/cache_key.h"
#include "cache/cache_mode.h"
#include "cache/cache_record.h"
#include "cache/cache_support.h"
#include "config/config_file.h"
#include "java/jvm_path.h"
#include "runtime/release_file.h"
#include "runtime/runtime_search.h"
#include "start/launcher.h"

namespace corvid {

namespace {

constexpr WideView kRuntimeSection = u"Java Runtime Environment";

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

// The first option that runs an agent in the JVM: from the configuration, or
// from the variables every JVM reads, JAVA_TOOL_OPTIONS and _JAVA_OPTIONS.
// The JVM writes no archive while an agent runs (a Java agent needs a
// diagnostic switch, a native one is refused), and it refuses by failing to
// start, so the start that would create one would not start at all.
std::optional<std::string> agentOption(const JvmOptionList& options, Environment& environment) {
    static constexpr std::string_view kAgentOptions[] = {"-javaagent:", "-agentlib:", "-agentpath:", "-Xrun"};
    const auto isAgent = [](std::string_view option) {
        return std::any_of(std::begin(kAgentOptions), std::end(kAgentOptions),
                           [&](std::string_view agent) { return startsWith(option, agent); });
    };
    for (const std::string& option : options) {
        if (isAgent(option)) return option;
    }
    for (const WideView name : {WideView(u"JAVA_TOOL_OPTIONS"), WideView(u"_JAVA_OPTIONS")}) {
        const std::string value = toUtf8(environment.get(WideString(name)).value_or(WideString()));
        // The JVM splits these at white space; a quoted agent path with a
        // space in it still starts with the option's name.
        std::size_t start = 0;
        while (start < value.size()) {
            const std::size_t end = value.find_first_of(" \t\r\n", start);
            const std::string_view token = std::string_view(value).substr(start, end - start);
            if (isAgent(token) || (token.size() > 1 && token[0] == '"' && isAgent(token.substr(1)))) {
                return toUtf8(WideString(name)) + "=" + std::string(token);
            }
            if (end == std::string::npos) break;
            start = end + 1;
        }
    }
    return std::nullopt;
}

}  // namespace

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
    if (const auto agent = agentOption(launcher.jvmOptions, launcher.platform.environment)) {
        traceLine(launcher, "off: the JVM writes no archive while an agent runs (", fromUtf8(*agent), ")");
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
    CacheMode mode = decideArchiveMode(start, *names, *key, state);
    if (mode == CacheMode::Off) return;
    if (mode == CacheMode::Use && supportsAotCache(feature)) mode = decideAotMode(start, *names, *key, state);

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
    watchJvmEnd(launcher);
}

}  // namespace corvid
