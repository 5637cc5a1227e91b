#include "runtime/runtime_search.h"

#include <string>

#include "platform/platform.h"
#include "platform/trace.h"
#include "runtime/library_machine.h"
#include "runtime/runtime_registry.h"

namespace corvid {

namespace {

struct LibraryVariant {
    WideView path;
    bool isServer;
};

#ifdef _WIN32
constexpr LibraryVariant kServerFirst[] = {{u"bin\\server\\jvm.dll", true}};
constexpr LibraryVariant kInOrder[] = {
    {u"bin\\client\\jvm.dll", false}, {u"bin\\classic\\jvm.dll", false}, {u"bin\\hotspot\\jvm.dll", false},
    {u"bin\\server\\jvm.dll", true},  {u"bin\\jrockit\\jvm.dll", false},
};
constexpr WideView kKitRuntimeFolder = u"jre\\";
#else
// The current layout first, then the Java 8 one, each in the roles the
// Windows client and server libraries have.
constexpr LibraryVariant kServerFirst[] = {{u"lib/server/libjvm.so", true}, {u"lib/amd64/server/libjvm.so", true}};
constexpr LibraryVariant kInOrder[] = {
    {u"lib/client/libjvm.so", false},
    {u"lib/server/libjvm.so", true},
    {u"lib/amd64/client/libjvm.so", false},
    {u"lib/amd64/server/libjvm.so", true},
};
constexpr WideView kKitRuntimeFolder = u"jre/";
#endif

#ifndef _WIN32
WideString lastComponent(WideView path) {
    const std::size_t slash = path.rfind(kPathSeparator);
    return WideString(slash == WideView::npos ? path : path.substr(slash + 1));
}
#endif

}  // namespace

RootRule ruleForRoot(RegistryRoot root, const RuntimeSearchPolicy& p) {
    const bool kit = isDevelopmentKitRoot(root);
    const bool sun = root == RegistryRoot::JavaSoftJdk || root == RegistryRoot::JavaSoftJre;
    const bool sourceAllowed = p.favorSource || (kit ? p.allowJdk : p.allowJre);
    const bool providerAllowed = sun ? (p.allowSun || p.favorSun) : (p.allowJRockit || p.favorJRockit);
    const bool favoured = (kit ? p.allowJdk : p.allowJre) && (sun ? p.favorSun : p.favorJRockit);
    const char* reason = !sourceAllowed ? (kit ? "JVM Source excludes development kits"
                                               : "JVM Source excludes runtime environments")
                                        : (sun ? "VM Provider excludes JavaSoft" : "VM Provider excludes JRockit");
    return {sourceAllowed && providerAllowed, favoured, reason};
}

std::string versionText(const JavaVersion& v) {
    return std::to_string(v.parts[0]) + "." + std::to_string(v.parts[1]) + "." + std::to_string(v.parts[2]) + "." +
           std::to_string(v.parts[3]);
}

bool fileExists(FileSystem& files, const WideString& path) { return files.findFirst(path); }

WideString findJvmLibrary(FileSystem& files, const WideString& folder, JvmType type, bool& isServer) {
    if (type == JvmType::ServerOnly || type == JvmType::FavorServer) {
        for (const LibraryVariant& variant : kServerFirst) {
            WideString path = folder + WideString(variant.path);
            if (fileExists(files, path)) {
                isServer = true;
                return path;
            }
        }
        if (type == JvmType::ServerOnly) return {};
    }
    for (const LibraryVariant& variant : kInOrder) {
        WideString path = folder + WideString(variant.path);
        if (fileExists(files, path)) {
            isServer = variant.isServer;
            return path;
        }
    }
    return {};
}

WideString findJvmLibrary(FileSystem& files, const WideString& folder, JvmType type) {
    bool isServer = false;
    return findJvmLibrary(files, folder, type, isServer);
}

WideString stripPathComponents(WideView path, int count) {
    WideString result(path);
    for (int i = 0; i < count; ++i) {
        const std::size_t slash = result.rfind(kPathSeparator);
        if (slash != WideString::npos) result.resize(slash);
    }
    return result;
}

WideString runtimeHomeFolder(WideView jvmLibraryPath) {
#ifdef _WIN32
    return stripPathComponents(jvmLibraryPath, 3);
#else
    if (lastComponent(stripPathComponents(jvmLibraryPath, 2)) != u"lib" &&
        lastComponent(stripPathComponents(jvmLibraryPath, 3)) == u"lib") {
        return stripPathComponents(jvmLibraryPath, 4);
    }
    return stripPathComponents(jvmLibraryPath, 3);
#endif
}

WideString runtimeBinFolder(WideView jvmLibraryPath) {
#ifdef _WIN32
    return stripPathComponents(jvmLibraryPath, 2);
#else
    // The Linux library lives under lib/; the executables are in bin/.
    return runtimeHomeFolder(jvmLibraryPath) + kPathSeparator + u"bin";
#endif
}

std::string describeCandidate(const JreCandidate& c) {
    return versionText(c.version) + " at " + toUtf8(c.home) + " (isServer " + (c.isServer ? "yes" : "no") +
           ", isFavoured " + (c.isFavoured ? "yes" : "no") + ")";
}

std::vector<JreCandidate> searchInstalledRuntimes(Platform& platform, Trace& trace, const JavaVersion& lower,
                                                  const JavaVersion& upper, const RuntimeSearchPolicy& policy,
                                                  JvmType type) {
    std::vector<JreCandidate> candidates;
    RuntimeRegistry& registry = platform.runtimes;
    if (trace.enabled()) {
        trace.line("searching registered runtimes between ", versionText(lower), " and ", versionText(upper));
    }
    for (const RegistryRoot root : kRegistryRoots) {
        const std::string rootName = trace.enabled() ? toUtf8(registryRootPath(root)) : std::string();
        const RootRule rule = ruleForRoot(root, policy);
        if (!rule.searched) {
            if (trace.enabled()) trace.line("root ", rootName, " skipped: ", rule.skipReason);
            continue;
        }
        if (trace.enabled()) trace.line("root ", rootName, " searched");
        const auto subkeys = registry.listSubkeys(root, trace);
        if (!subkeys) {
            if (trace.enabled()) trace.line("root ", rootName, " cannot be opened");
            continue;
        }
        if (trace.enabled()) trace.line("root ", rootName, " has ", subkeys->size(), " subkeys");
        // A JavaSoft runtime environment is ranked by its client library
        // even under favor_server; the final lookup takes the server one.
        const JvmType lookupType =
            root == RegistryRoot::JavaSoftJre && type == JvmType::FavorServer ? JvmType::Default : type;
        for (const RegistrySubkey& subkey : *subkeys) {
            JavaVersion version;
            version.parse(subkey.name, 0);
            // Where the name alone does not say which entry it is (runtime
            // folders), the trace names the entry too.
            const auto label = [&] {
                return "  subkey \"" + toUtf8(subkey.name) + "\"" +
                       (subkey.key == subkey.name ? std::string() : " (" + toUtf8(subkey.key) + ")");
            };
            const auto drop = [&](const std::string& why) {
                if (trace.enabled()) trace.line(label(), " version ", versionText(version), " dropped: ", why);
            };
            if (JavaVersion::compare(version, upper) > 0) {
                drop("above the maximum version");
                continue;
            }
            if (JavaVersion::compare(version, lower) < 0) {
                drop("below the minimum version");
                continue;
            }
            const DecodedJavaHome home = decodeJavaHome(registry.readJavaHome(root, subkey));
            if (!home.folder) {
                drop(home.problem);
                continue;
            }
            WideString folder = *home.folder;
            if (!endsWith(folder, kPathSeparator)) folder += kPathSeparator;
            if (isDevelopmentKitRoot(root)) {
#ifdef _WIN32
                folder += kKitRuntimeFolder;
#else
                // Kits since Java 9 have no jre folder; their own folder is the runtime.
                if (fileExists(platform.files, folder + u"jre")) folder += kKitRuntimeFolder;
#endif
            }
            bool isServer = false;
            const WideString library = findJvmLibrary(platform.files, folder, lookupType, isServer);
            if (library.empty()) {
                drop("no JVM library in " + toUtf8(folder));
                continue;
            }
            // Runtimes of several architectures often stay registered side by
            // side: one this process cannot load gives way to the next.
            if (const LibraryMachine machine = readLibraryMachine(platform.files, library); !fitsLauncher(machine)) {
                drop(toUtf8(library) + " is a " + toUtf8(describeMachine(machine)) + " library");
                continue;
            }
            candidates.push_back({version, folder, isServer, rule.favoured});
            if (trace.enabled()) {
                trace.line(label(), " kept: ", describeCandidate(candidates.back()));
            }
        }
    }
    return candidates;
}

}  // namespace corvid
