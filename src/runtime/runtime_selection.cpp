#include "runtime/runtime_selection.h"

#include <string>
#include <utility>

#include "config/config_file.h"
#include "runtime/current_runtimes.h"
#include "runtime/library_machine.h"
#include "runtime/runtime_prompt.h"
#include "runtime/runtime_registry.h"
#include "start/launcher.h"
#include "start/messages.h"

namespace corvid {

namespace {

#ifdef _WIN32
constexpr WideView kRuntimeMarker = u"bin\\java.dll";
constexpr WideView kBundledRuntimeFolder = u"jre64\\";
#else
constexpr WideView kRuntimeMarker = u"lib/libjava.so";
constexpr WideView kBundledRuntimeFolder = u"jre64/";
#endif

// True when b must go before a; each later rule overrides the earlier.
bool mustExchange(const JreCandidate& a, const JreCandidate& b, JvmType type, bool favorSource) {
    bool exchange = JavaVersion::compare(a.version, b.version) < 0;
    if (type == JvmType::FavorServer && a.isServer != b.isServer) exchange = b.isServer;
    if (favorSource && a.isFavoured != b.isFavoured) exchange = b.isFavoured;
    return exchange;
}

// A bound as the user wrote it: an upper bound "17" is held as
// 17.65535.65535.65535, which the version text would give as "17.65535".
WideString formatBound(const JavaVersion& bound) {
    const auto& p = bound.parts;
    const bool majorOnly = p[1] == JavaVersion::kOpenUpper && p[2] == JavaVersion::kOpenUpper &&
                           p[3] == JavaVersion::kOpenUpper && p[0] != JavaVersion::kOpenUpper;
    return majorOnly ? fromAscii(std::to_string(p[0])) : bound.format();
}

// A library of another architecture would fail in the loader with a bare
// error number: the user learns instead which library it is and what it is.
bool fitsOrReported(Launcher& launcher, const WideString& library) {
    const LibraryMachine machine = readLibraryMachine(launcher.platform.files, library);
    if (fitsLauncher(machine)) return true;
    UserInterface& ui = launcher.platform.ui;
    const WideString text = formatMessage(ui, MessageId::JvmLibraryWrongMachine,
                                          {library, describeMachine(machine), describeMachine(launcherMachine())});
    if (launcher.trace.enabled()) launcher.trace.line(text);
    showError(ui, launcher.owner(), text);
    return false;
}

void traceLibrary(Trace& trace, const char* source, const WideString& folder, const WideString& library) {
    if (library.empty()) {
        trace.line(source, " \"", folder, "\": no JVM library");
    } else {
        trace.line(source, " \"", folder, "\": JVM library ", library);
    }
}

WideString fromConfiguredFolder(Launcher& launcher) {
    if (launcher.jrePath.empty()) {
        if (launcher.trace.enabled()) launcher.trace.line("JRE Path is empty, skipped");
        return {};
    }
    // Used as written: neither expanded nor resolved against the executable.
    WideString folder = launcher.jrePath;
    if (!endsWith(folder, kPathSeparator)) folder += kPathSeparator;
    WideString library = findJvmLibrary(launcher.platform.files, folder, launcher.jvmType);
    traceLibrary(launcher.trace, "JRE Path", folder, library);
    return library;
}

WideString fromExecutableFolder(Launcher& launcher) {
    auto moduleFolder = getModuleFolder(launcher);
    if (!moduleFolder) return {};
    FileSystem& files = launcher.platform.files;
    WideString folder = *moduleFolder;
    if (!fileExists(files, folder + WideString(kRuntimeMarker))) {
        folder += kBundledRuntimeFolder;
        // Without a runtime beside it, the library is still looked for
        // directly under the executable's folder, never in the current
        // directory: that may be any downloaded folder a document was opened
        // from, and a library found there would run its code in this process.
        if (!fileExists(files, folder + WideString(kRuntimeMarker))) folder = *moduleFolder;
    }
    WideString library = findJvmLibrary(files, folder, launcher.jvmType);
    traceLibrary(launcher.trace, "beside the executable:", folder, library);
    return library;
}

WideString fromRegisteredRuntimes(Launcher& launcher) {
    Trace& trace = launcher.trace;
    std::vector<JreCandidate> candidates = searchInstalledRuntimes(
        launcher.platform, trace, launcher.minVersion, launcher.maxVersion, launcher.policy, launcher.jvmType);
    // Only when the legacy roots have nothing between the bounds; otherwise
    // their choice stands exactly.
    if (candidates.empty()) candidates = searchCurrentRuntimesFor(launcher);
    if (candidates.empty()) {
        if (trace.enabled()) trace.line("no registered runtime qualifies");
        return {};
    }
    sortCandidates(candidates, launcher.jvmType, launcher.policy.favorSource);
    if (trace.enabled()) {
        trace.line("sorted candidates:");
        for (std::size_t i = 0; i < candidates.size(); ++i) {
            trace.line("  ", i + 1, ". ", describeCandidate(candidates[i]));
        }
    }
    const PreferredPick pick = pickPreferred(candidates, launcher.preferredVersions);
    const JreCandidate& chosen = candidates[pick.candidate];
    if (trace.enabled()) {
        if (pick.entry) {
            trace.line("picked ", describeCandidate(chosen), ", matching preferred entry \"",
                       launcher.preferredVersions[*pick.entry], "\"");
        } else {
            trace.line("picked ", describeCandidate(chosen), ", the first: no preferred entry matched");
        }
    }
    WideString library = findJvmLibrary(launcher.platform.files, chosen.home, launcher.jvmType);
    traceLibrary(trace, "registered runtime", chosen.home, library);
    return library;
}

// The user, through the runtime-not-found dialog. A folder picked there is
// remembered as "JRE Path" so that the next start finds it at once.
WideString fromUser(Launcher& launcher) {
    Platform& platform = launcher.platform;
    const WideString message =
        buildRuntimeNotFoundMessage(platform.ui, launcher.minVersion, launcher.maxVersion, launcher.jvmType);
    // An application may send its users to a runtime page of its own. The
    // key is optional, so a path that cannot be formed is not reported here.
    WideString downloadUrl;
    const ModulePath module = platform.process.modulePath();
    if (const auto configFile = module.ok ? configFilePathFor(module.path) : std::nullopt) {
        downloadUrl = readConfigValue(platform, *configFile, u"Java Runtime Environment", u"Download URL");
    }
    if (launcher.trace.enabled()) launcher.trace.line("asking the user: ", message);
    const RuntimePromptResult answer = platform.runtimePrompt.ask(message, downloadUrl, launcher.jvmType, platform.files);
    if (answer.outcome != RuntimePromptResult::Outcome::Chosen) {
        if (launcher.trace.enabled()) {
            launcher.trace.line(answer.outcome == RuntimePromptResult::Outcome::Failed
                                    ? "the runtime-not-found dialog could not be shown"
                                    : "the user chose no runtime");
        }
        return {};
    }
    traceLibrary(launcher.trace, "chosen by the user:", answer.folder, answer.library);
    // OK is only enabled while the folder holds a library, but any program may
    // send the dialog an OK: an empty "JRE Path" in the per-user file would hide
    // the application's own one on every later start.
    if (answer.library.empty() || !fitsOrReported(launcher, answer.library)) return {};
    storeJrePath(launcher, answer.folder);
    return answer.library;
}

}  // namespace

void sortCandidates(std::vector<JreCandidate>& candidates, JvmType type, bool favorSource) {
    const std::size_t n = candidates.size();
    for (std::size_t pass = 0; pass < n; ++pass) {
        for (std::size_t i = 0; i + 1 < n; ++i) {
            if (mustExchange(candidates[i], candidates[i + 1], type, favorSource)) {
                std::swap(candidates[i], candidates[i + 1]);
            }
        }
    }
}

PreferredPick pickPreferred(const std::vector<JreCandidate>& sorted, const WideList& preferredVersions) {
    for (std::size_t entry = 0; entry < preferredVersions.size(); ++entry) {
        JavaVersion wanted;
        wanted.parse(preferredVersions[entry], 0);
        for (std::size_t i = 0; i < sorted.size(); ++i) {
            const JavaVersion& version = sorted[i].version;
            if (version.parts == wanted.parts || (wanted.count != 0 && wanted.isPrefixOf(version))) {
                return {i, entry};
            }
        }
    }
    return {0, std::nullopt};
}

WideString buildRequirementText(UserInterface& ui, const JavaVersion& lower, const JavaVersion& upper) {
    if (lower.isOpen() && upper.isOpen()) return loadMessage(ui, MessageId::LatestVersion);
    if (lower.isOpen()) return formatMessage(ui, MessageId::MaximumVersion, {formatBound(upper)});
    if (upper.isOpen()) return formatMessage(ui, MessageId::MinimumVersion, {formatBound(lower)});
    if (upper.parts == lower.parts) return formatMessage(ui, MessageId::VersionRequired, {formatBound(lower)});
    return formatMessage(ui, MessageId::VersionBetween, {formatBound(lower), formatBound(upper)});
}

WideString buildRuntimeNotFoundMessage(UserInterface& ui, const JavaVersion& lower, const JavaVersion& upper,
                                       JvmType type) {
    const MessageId id = type == JvmType::ServerOnly ? MessageId::JreNotFoundServer : MessageId::JreNotFound;
    return formatMessage(ui, id, {buildRequirementText(ui, lower, upper)});
}

WideString selectRuntime(Launcher& launcher) {
    WideString library = fromConfiguredFolder(launcher);
    if (library.empty()) library = fromExecutableFolder(launcher);
    if (!library.empty()) {
        if (!fitsOrReported(launcher, library)) return {};
    } else {
        library = fromRegisteredRuntimes(launcher);
        if (!library.empty() && !fitsOrReported(launcher, library)) return {};
        if (library.empty() && launcher.trace.enabled()) launcher.trace.line("no runtime found");
        if (library.empty()) library = fromUser(launcher);
    }
    if (library.empty()) return library;
    // A relative "JRE Path" was found from the current directory, but the
    // system loads a relative library path along the DLL search path only,
    // which leaves the current directory out.
    WideString full = launcher.platform.process.absolutePath(library);
    if (full != library && launcher.trace.enabled()) launcher.trace.line("JVM library ", library, " is ", full);
    return full;
}

}  // namespace corvid
