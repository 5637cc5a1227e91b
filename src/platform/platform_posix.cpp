#ifdef _WIN32
#error "platform_posix.cpp is for the POSIX build only"
#endif

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <exception>
#include <new>
#include <fcntl.h>
#include <linux/close_range.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "platform/platform.h"
#include "platform/posix_handles.h"

namespace corvid {

namespace {

// One more than the highest descriptor this process may have open.
int descriptorLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
        return static_cast<int>(std::min<rlim_t>(limit.rlim_cur, INT_MAX));
    }
    const long most = sysconf(_SC_OPEN_MAX);
    return most > 0 ? static_cast<int>(std::min<long>(most, INT_MAX)) : 1 << 20;
}

// Between fork and execve: the JVM opens its files and sockets without
// close-on-exec, and a child must not hold them (a restarted program could
// not bind its own port). Marked rather than closed, so that the failure
// pipe still reports a failed execve. Async-signal-safe calls only.
void closeAllOnExecFrom3(int limit) {
#ifdef SYS_close_range
    if (syscall(SYS_close_range, 3u, ~0u, CLOSE_RANGE_CLOEXEC) == 0) return;
#endif
    // Kernels before 5.11 lack the call or its flag.
    for (int fd = 3; fd < limit; ++fd) {
        const int flags = fcntl(fd, F_GETFD);
        if (flags >= 0 && (flags & FD_CLOEXEC) == 0) fcntl(fd, F_SETFD, flags | FD_CLOEXEC);
    }
}

// A process that has ended but is not yet reaped by its parent (a killed
// detached build whose new parent reaps late) is a zombie: its id still
// answers, but it runs no more.
bool isZombie(pid_t id) {
    const std::string stat = "/proc/" + std::to_string(id) + "/stat";
    char text[512];
    const UniqueFileDescriptor file(open(stat.c_str(), O_RDONLY | O_CLOEXEC));
    const ssize_t got = file ? read(file.get(), text, sizeof text - 1) : -1;
    if (got <= 0) return false;
    text[got] = '\0';
    const char* state = std::strrchr(text, ')');
    return state && state[1] == ' ' && state[2] == 'Z';
}

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

    WideString absolutePath(const WideString& path) override {
        if (path.empty() || path.front() == u'/') return path;
        char* current = getcwd(nullptr, 0);
        if (!current) return path;
        WideString full = fromNarrow(current);
        std::free(current);
        if (!endsWith(full, u'/')) full += u'/';
        return full + path;
    }

    // Desktops on Linux tell applications apart by their windows' class.
    bool setAppUserModelId(const WideString&) override { return false; }

    std::uint32_t lastError() override { return static_cast<std::uint32_t>(errno); }

    std::uint32_t processId() override { return static_cast<std::uint32_t>(getpid()); }

    bool processAlive(std::uint32_t id) override {
        // EPERM: it exists but belongs to someone else.
        if (kill(static_cast<pid_t>(id), 0) != 0 && errno != EPERM) return false;
        return !isZombie(static_cast<pid_t>(id));
    }

    void keepEnvironmentForChildren() override {
        std::vector<std::string> kept;
        for (char** entry = environ; *entry; ++entry) kept.emplace_back(*entry);
        keptEnvironment_ = std::move(kept);
    }

    bool startDetached(const WideString& path, const WideString& name, const WideString& value) override {
        return spawn(path, {}, name, value, true);
    }

    bool startAgain(const WideString& path, const ProcessArguments& arguments, const WideString& name,
                    const WideString& value) override {
        return spawn(path, arguments.split.value_or(WideList{}), name, value, false);
    }

    bool waitForEnd(std::uint32_t id, std::uint32_t milliseconds) override {
        const auto process = static_cast<pid_t>(id);
        for (std::uint32_t waited = 0;; waited += 20) {
            if ((kill(process, 0) != 0 && errno == ESRCH) || isZombie(process)) return true;
            if (waited >= milliseconds) return false;
            usleep(20000);
        }
    }

private:
    std::optional<std::vector<std::string>> keptEnvironment_;

    // Detached: a new session, not our child (so never our zombie), standard
    // streams on /dev/null, low priority. Otherwise a plain child that keeps
    // this process's streams and session.
    bool spawn(const WideString& path, const WideList& arguments, const WideString& name, const WideString& value,
               bool detached) {
        // Everything the children need is made here: after fork in a process
        // with JVM threads only async-signal-safe calls are allowed.
        const std::string program = toNarrow(path);
        std::vector<std::string> texts;
        for (const WideString& argument : arguments) texts.push_back(toNarrow(argument));
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (std::string& text : texts) argv.push_back(text.data());
        argv.push_back(nullptr);
        const std::string prefix = toNarrow(name) + "=";
        const std::string variable = prefix + toNarrow(value);
        std::vector<char*> environment;
        const auto add = [&](char* entry) {
            if (!startsWith(entry, prefix)) environment.push_back(entry);
        };
        if (keptEnvironment_) {
            for (std::string& entry : *keptEnvironment_) add(entry.data());
        } else {
            for (char** entry = environ; *entry; ++entry) add(*entry);
        }
        environment.push_back(const_cast<char*>(variable.c_str()));
        environment.push_back(nullptr);
        const int limit = descriptorLimit();
        sigset_t none;
        sigemptyset(&none);
        int failure[2];
        if (pipe2(failure, O_CLOEXEC) != 0) return false;
        UniqueFileDescriptor readEnd(failure[0]);
        const pid_t child = fork();
        if (child < 0) {
            close(failure[1]);
            return false;
        }
        if (child == 0) {
            // The JVM's threads block signals; the new program starts with none blocked.
            sigprocmask(SIG_SETMASK, &none, nullptr);
            if (detached) {
                // Twice, so the builder belongs to init and never waits as a zombie of this start.
                setsid();
                if (fork() != 0) _exit(0);
                setpriority(PRIO_PROCESS, 0, 10);
                const int null = open("/dev/null", O_RDWR | O_CLOEXEC);
                if (null >= 0) {
                    dup2(null, 0);
                    dup2(null, 1);
                    dup2(null, 2);
                }
            }
            closeAllOnExecFrom3(limit);
            execve(argv[0], argv.data(), environment.data());
            const int error = errno;
            (void)!write(failure[1], &error, sizeof error);
            _exit(127);
        }
        close(failure[1]);
        if (detached) {
            int status = 0;
            while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
            }
        }
        // The pipe closes without a word when the program runs.
        int error = 0;
        ssize_t got;
        while ((got = read(readEnd.get(), &error, sizeof error)) < 0 && errno == EINTR) {
        }
        return got == 0;
    }
};

class PosixScratchFile final : public ScratchFile {
public:
    explicit PosixScratchFile(int file) : file_(file) {}

    std::optional<std::int64_t> javaDescriptor() override {
        const int copy = fcntl(file_.get(), F_DUPFD_CLOEXEC, 3);
        if (copy < 0) return std::nullopt;
        return copy;
    }

    // At its own offset: the copies share the file position.
    std::optional<std::string> read(std::size_t limit) override {
        std::string content;
        while (content.size() < limit) {
            char buffer[16384];
            const std::size_t wanted = std::min(sizeof buffer, limit - content.size());
            const ssize_t got = pread(file_.get(), buffer, wanted, static_cast<off_t>(content.size()));
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) return std::nullopt;
            if (got == 0) break;
            content.append(buffer, static_cast<std::size_t>(got));
        }
        return content;
    }

private:
    UniqueFileDescriptor file_;
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
        UniqueFileDescriptor file(open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
        if (!file) return false;
        std::size_t written = 0;
        while (written < bytes.size()) {
            const ssize_t got = write(file.get(), bytes.data() + written, bytes.size() - written);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) break;
            written += static_cast<std::size_t>(got);
        }
        const bool ok = close(file.release()) == 0 && written == bytes.size();
        if (!ok) unlink(name.c_str());
        return ok;
    }

    // Memory that looks like a file; before Linux 3.17, a file with no name
    // in the temporary folder.
    std::unique_ptr<ScratchFile> createScratchFile() override {
        int file = memfd_create("corvid-scratch", MFD_CLOEXEC);
        if (file < 0) {
            const char* folder = std::getenv("TMPDIR");
            file = open(folder && *folder == '/' ? folder : "/tmp", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        }
        if (file < 0) return nullptr;
        return std::make_unique<PosixScratchFile>(file);
    }

    bool rename(const WideString& from, const WideString& to) override {
        return ::rename(toNarrow(from).c_str(), toNarrow(to).c_str()) == 0;
    }

    bool remove(const WideString& path) override { return unlink(toNarrow(path).c_str()) == 0; }

    std::optional<std::vector<WideString>> list(const WideString& folder) override {
        const UniqueDirectory dir(opendir(toNarrow(folder).c_str()));
        if (!dir) return std::nullopt;
        std::vector<WideString> names;
        while (const dirent* entry = readdir(dir.get())) {
            const std::string_view name = entry->d_name;
            if (name != "." && name != "..") names.push_back(fromNarrow(name));
        }
        return names;
    }

    std::optional<std::uint64_t> freeSpace(const WideString& folder) override {
        struct statvfs info;
        if (statvfs(toNarrow(folder).c_str(), &info) != 0) return std::nullopt;
        return static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize;
    }

    std::int64_t now() override {
        timespec time;
        clock_gettime(CLOCK_REALTIME, &time);
        return static_cast<std::int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
    }

    std::int64_t second() override { return 1000000000; }
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

    bool remove(const WideString& name) override { return unsetenv(toNarrow(name).c_str()) == 0; }

    // %NAME% references of defined variables are replaced (names match
    // exactly, as Linux variables are case-sensitive); others stay as written.
    std::optional<WideString> expand(const WideString& text) override {
        return expandPercentReferences(text, [this](const WideString& name) { return get(name); });
    }
};

}  // namespace

void endAtOnce() { std::_Exit(-1); }

std::uint64_t monotonicMicroseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000000 + static_cast<std::uint64_t>(now.tv_nsec) / 1000;
}

int formatLikeJvm(char* buffer, std::size_t size, const char* format, va_list arguments) {
    return std::vsnprintf(buffer, size, format, arguments);
}

void installFatalErrorHandlers() {
    std::set_new_handler(endAtOnce);
    std::set_terminate(endAtOnce);
}

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

namespace {

// UTF-8 holds every path: nothing ever asks for a short name.
class PosixShortPaths final : public ShortPaths {
public:
    std::optional<WideString> shortPath(const WideString&) override { return std::nullopt; }
};

}  // namespace

ShortPaths& systemShortPaths() {
    static PosixShortPaths paths;
    return paths;
}

}  // namespace corvid
