#include "runtime/runtime_selection.h"

#include <string>
#include <utility>

#include "config/config_file.h"
#include "launcher/launcher.h"
#include "launcher/messages.h"
#include "runtime/current_runtimes.h"
#include "runtime/runtime_registry.h"

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

void traceLibrary(Trace& trace, const char* source, const WideString& folder, const WideString& library) {
    if (!trace.enabled()) return;
    const std::string where = std::string(source) + " \"" + toUtf8(folder) + "\"";
    trace.line(library.empty() ? where + ": no JVM library" : where + ": JVM library " + toUtf8(library));
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
            trace.line("  " + std::to_string(i + 1) + ". " + describeCandidate(candidates[i]));
        }
    }
    const PreferredPick pick = pickPreferred(candidates, launcher.preferredVersions);
    const JreCandidate& chosen = candidates[pick.candidate];
    if (trace.enabled()) {
        trace.line("picked " + describeCandidate(chosen) +
                   (pick.entry ? ", matching preferred entry \"" + toUtf8(launcher.preferredVersions[*pick.entry]) + "\""
                               : std::string(", the first: no preferred entry matched")));
    }
    WideString library = findJvmLibrary(launcher.platform.files, chosen.home, launcher.jvmType);
    traceLibrary(trace, "registered runtime", chosen.home, library);
    return library;
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
    if (lower.isOpen()) return formatMessage(ui, MessageId::MaximumVersion, {upper.format()});
    if (upper.isOpen()) return formatMessage(ui, MessageId::MinimumVersion, {lower.format()});
    if (upper.parts == lower.parts) return formatMessage(ui, MessageId::VersionRequired, {lower.format()});
    return formatMessage(ui, MessageId::VersionBetween, {lower.format(), upper.format()});
}

WideString buildRuntimeNotFoundMessage(UserInterface& ui, const JavaVersion& lower, const JavaVersion& upper,
                                       JvmType type) {
    const MessageId id = type == JvmType::ServerOnly ? MessageId::JreNotFoundServer : MessageId::JreNotFound;
    return formatMessage(ui, id, {buildRequirementText(ui, lower, upper)});
}

WideString selectRuntime(Launcher& launcher) {
    WideString library = fromConfiguredFolder(launcher);
    if (library.empty()) library = fromExecutableFolder(launcher);
    if (library.empty()) library = fromRegisteredRuntimes(launcher);
    // The runtime-not-found dialog, the last source, is not built yet.
    if (library.empty() && launcher.trace.enabled()) launcher.trace.line("no runtime found");
    return library;
}

}  // namespace corvid
