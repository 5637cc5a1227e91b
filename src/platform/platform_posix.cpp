#ifdef _WIN32
#error "platform_posix.cpp is for the POSIX build only"
#endif

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/platform.h"
#include "platform/posix_handles.h"

namespace corvid {

namespace {

class PosixProcess final : public Process {
public:
    ModulePath modulePath() override {
        char buffer[4096];
        const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
        if (length <= 0) return {false, {}, static_cast<std::uint32_t>(errno)};
        // readlink cuts a longer target to the buffer without saying so.
        if (static_cast<std::size_t>(length) >= sizeof buffer) return {false, {}, ENAMETOOLONG};
        return {true, fromNarrow(std::string_view(buffer, static_cast<std::size_t>(length))), 0};
    }

    // The NT-only rules (the per-user configuration file) apply on Linux too.
    bool isNtPlatform() override { return true; }

    bool setCurrentDirectory(const WideString& folder) override { return chdir(toNarrow(folder).c_str()) == 0; }

    std::uint32_t lastError() override { return static_cast<std::uint32_t>(errno); }
};

class PosixFileSystem final : public FileSystem {
public:
    bool findFirst(const WideString& path) override {
        struct stat info;
        return stat(toNarrow(path).c_str(), &info) == 0;
    }

    bool createDirectory(const WideString& path) override { return mkdir(toNarrow(path).c_str(), 0777) == 0; }

    std::optional<std::string> readFile(const WideString& path, std::size_t limit) override {
        UniqueFileDescriptor file(open(toNarrow(path).c_str(), O_RDONLY | O_CLOEXEC));
        struct stat info;
        // A folder or a device opens too; only a regular file has contents to read.
        if (!file || fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
        std::string content;
        while (content.size() < limit) {
            char buffer[16384];
            const std::size_t wanted = std::min(sizeof buffer, limit - content.size());
            const ssize_t got = read(file.get(), buffer, wanted);
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) return std::nullopt;
            if (got == 0) break;
            content.append(buffer, static_cast<std::size_t>(got));
        }
        return content;
    }

    std::optional<std::vector<FolderEntry>> listFolder(const WideString& folder) override {
        const std::string path = toNarrow(folder);
        UniqueDirectory directory(opendir(path.c_str()));
        if (!directory) return std::nullopt;
        std::vector<FolderEntry> entries;
        while (const dirent* entry = readdir(directory.get())) {
            const std::string_view name = entry->d_name;
            if (name == "." || name == "..") continue;
            // d_type is not filled in by every file system; stat then decides.
            bool isFolder = entry->d_type == DT_DIR;
            if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
                struct stat info;
                isFolder = stat((path + "/" + std::string(name)).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
            }
            entries.push_back({fromNarrow(name), isFolder});
        }
        return entries;
    }
};

class PosixEnvironment final : public Environment {
public:
    std::optional<WideString> get(const WideString& name) override {
        const char* value = std::getenv(toNarrow(name).c_str());
        if (!value) return std::nullopt;
        return fromNarrow(value);
    }

    bool set(const WideString& name, const WideString& value) override {
        return setenv(toNarrow(name).c_str(), toNarrow(value).c_str(), 1) == 0;
    }

    // %NAME% references of defined variables are replaced (names match
    // exactly, as Linux variables are case-sensitive); others stay as written.
    std::optional<WideString> expand(const WideString& text) override {
        return expandPercentReferences(text, [this](const WideString& name) { return get(name); });
    }
};

}  // namespace

Process& systemProcess() {
    static PosixProcess process;
    return process;
}

FileSystem& systemFileSystem() {
    static PosixFileSystem files;
    return files;
}

Environment& systemEnvironment() {
    static PosixEnvironment environment;
    return environment;
}

}  // namespace corvid
