#ifdef _WIN32
#error "runtime_registry_posix.cpp is for the POSIX build only"
#endif

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cstdlib>
#include <dirent.h>
#include <set>
#include <string>
#include <sys/stat.h>

#include "platform/platform.h"
#include "platform/trace.h"
#include "platform/posix_handles.h"
#include "runtime/release_file.h"
#include "runtime/runtime_registry.h"

namespace corvid {

namespace {

bool exists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

// Links such as default-java and java-1.17.0-openjdk-amd64 name one runtime
// under several names: it is listed once, under the name it really has.
std::string realPathOf(const std::string& path) {
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr) return path;
    std::string real(resolved);
    std::free(resolved);
    return real;
}

std::string withoutTrailingSlashes(std::string folder) {
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

class FolderRuntimeRegistry final : public RuntimeRegistry {
public:
    FolderRuntimeRegistry() = default;
    explicit FolderRuntimeRegistry(WideList folders) : folders_(std::move(folders)) {}

    std::optional<std::vector<RegistrySubkey>> listSubkeys(RegistryRoot root, Trace& trace) override {
        if (root != RegistryRoot::JavaSoftJdk && root != RegistryRoot::JavaSoftJre) {
            if (trace.enabled()) trace.line("  JRockit registrations do not exist on this system");
            return std::nullopt;
        }
        const bool wantKits = root == RegistryRoot::JavaSoftJdk;
        bool anyOpened = false;
        std::vector<RegistrySubkey> subkeys;
        std::set<std::string> seen;
        for (const WideString& wideFolder : searchedFolders(trace)) {
            const std::string folder = withoutTrailingSlashes(toNarrow(wideFolder));
            UniqueDirectory dir(opendir(folder.c_str()));
            if (!dir) {
                if (trace.enabled()) trace.line("  runtime folder ", folder, " skipped: ", std::strerror(errno));
                continue;
            }
            anyOpened = true;
            std::vector<std::string> names;
            while (const dirent* entry = readdir(dir.get())) {
                const std::string name = entry->d_name;
                if (name != "." && name != "..") names.push_back(name);
            }
            std::sort(names.begin(), names.end());
            if (trace.enabled()) {
                trace.line("  runtime folder ", folder, " opened, ", names.size(), " entries");
            }
            for (const std::string& name : names) {
                const std::string named = folder == "/" ? "/" + name : folder + "/" + name;
                const std::string path = realPathOf(named);
                if (!seen.insert(path).second) {
                    if (trace.enabled()) trace.line("  ", named, ": the runtime ", path, " again, skipped");
                    continue;
                }
                const auto version = readReleaseVersion(systemFileSystem(), fromNarrow(path));
                if (!version) {
                    if (trace.enabled()) trace.line("  ", path, ": no JAVA_VERSION in a release file, not a runtime");
                    continue;
                }
                if (exists(path + "/bin/javac") != wantKits) continue;
                subkeys.push_back({*version, fromNarrow(path)});
            }
        }
        if (!anyOpened) return std::nullopt;
        return subkeys;
    }

    JavaHomeValue readJavaHome(RegistryRoot, const RegistrySubkey& subkey) override {
        return JavaHomeValue::fromText(subkey.key);
    }

    std::optional<WideList> listFolder(const WideString& wideFolder, Trace& trace) override {
        const std::string folder = withoutTrailingSlashes(toNarrow(wideFolder));
        UniqueDirectory dir(opendir(folder.c_str()));
        if (!dir) {
            if (trace.enabled()) trace.line("  ", folder, ": ", std::strerror(errno));
            return std::nullopt;
        }
        std::vector<std::string> names;
        while (const dirent* entry = readdir(dir.get())) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        std::sort(names.begin(), names.end());
        WideList wideNames;
        for (const std::string& name : names) wideNames.push_back(fromNarrow(name));
        return wideNames;
    }

private:
    WideList searchedFolders(Trace& trace) {
        if (folders_) return *folders_;
        const auto list = systemEnvironment().get(kRuntimeFoldersVariable);
        if (!list) return {kDefaultRuntimeFolder};
        if (trace.enabled()) trace.line("  runtime folders from CORVID_RUNTIMES: \"", *list, "\"");
        WideList folders;
        std::size_t start = 0;
        for (;;) {
            const std::size_t colon = list->find(u':', start);
            const WideString folder = list->substr(start, colon == WideString::npos ? colon : colon - start);
            if (!folder.empty()) folders.push_back(folder);
            if (colon == WideString::npos) break;
            start = colon + 1;
        }
        return folders;
    }

    std::optional<WideList> folders_;
};

}  // namespace

RuntimeRegistry& systemRuntimeRegistry() {
    static FolderRuntimeRegistry registry;
    return registry;
}

std::unique_ptr<RuntimeRegistry> makeFolderRegistry(WideList folders) {
    return std::make_unique<FolderRuntimeRegistry>(std::move(folders));
}

}  // namespace corvid
