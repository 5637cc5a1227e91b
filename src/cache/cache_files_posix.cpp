#ifdef _WIN32
#error "cache_files_posix.cpp is for the POSIX build only"
#endif

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include "cache/cache_files.h"

namespace corvid {

namespace {

class PosixCacheFiles final : public CacheFiles {
public:
    std::optional<FileFacts> facts(const WideString& path) override {
        struct stat info;
        if (stat(toNarrow(path).c_str(), &info) != 0) return std::nullopt;
        FileFacts facts;
        facts.isFolder = S_ISDIR(info.st_mode);
        facts.size = static_cast<std::uint64_t>(info.st_size);
        facts.modified = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
        return facts;
    }

    std::optional<WideString> realPath(const WideString& path) override {
        char* resolved = ::realpath(toNarrow(path).c_str(), nullptr);
        if (!resolved) return std::nullopt;
        WideString result = fromNarrow(resolved);
        std::free(resolved);
        return result;
    }

    std::optional<WideString> currentDirectory() override {
        char buffer[PATH_MAX];
        if (!getcwd(buffer, sizeof buffer)) return std::nullopt;
        return fromNarrow(buffer);
    }

    bool writeFile(const WideString& path, const std::string& bytes) override {
        const std::string name = toNarrow(path);
        const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0) return false;
        std::size_t written = 0;
        while (written < bytes.size()) {
            const ssize_t got = write(fd, bytes.data() + written, bytes.size() - written);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) break;
            written += static_cast<std::size_t>(got);
        }
        const bool ok = close(fd) == 0 && written == bytes.size();
        if (!ok) unlink(name.c_str());
        return ok;
    }

    bool rename(const WideString& from, const WideString& to) override {
        return ::rename(toNarrow(from).c_str(), toNarrow(to).c_str()) == 0;
    }

    bool remove(const WideString& path) override { return unlink(toNarrow(path).c_str()) == 0; }

    std::optional<std::vector<WideString>> list(const WideString& folder) override {
        DIR* dir = opendir(toNarrow(folder).c_str());
        if (!dir) return std::nullopt;
        std::vector<WideString> names;
        while (const dirent* entry = readdir(dir)) {
            const std::string_view name = entry->d_name;
            if (name != "." && name != "..") names.push_back(fromNarrow(name));
        }
        closedir(dir);
        return names;
    }

    std::optional<std::uint64_t> freeSpace(const WideString& folder) override {
        struct statvfs info;
        if (statvfs(toNarrow(folder).c_str(), &info) != 0) return std::nullopt;
        return static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize;
    }

    std::uint32_t processId() override { return static_cast<std::uint32_t>(getpid()); }

    bool processAlive(std::uint32_t id) override {
        // EPERM: it exists but belongs to someone else.
        return kill(static_cast<pid_t>(id), 0) == 0 || errno == EPERM;
    }

    std::int64_t now() override {
        timespec time;
        clock_gettime(CLOCK_REALTIME, &time);
        return static_cast<std::int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
    }

    std::int64_t second() override { return 1000000000; }
};

}  // namespace

CacheFiles& systemCacheFiles() {
    static PosixCacheFiles files;
    return files;
}

}  // namespace corvid
