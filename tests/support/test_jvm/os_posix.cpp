#ifdef _WIN32
#error "os_posix.cpp is for the POSIX build only"
#endif

#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "os.h"

namespace corvid_test_jvm {

const char* const kPathVariable = "PATH";
const char* const kLineSeparator = "\n";

std::uint64_t currentThreadId() { return static_cast<std::uint64_t>(syscall(SYS_gettid)); }

std::uint64_t currentThreadStackSize() {
    pthread_attr_t attributes;
    if (pthread_getattr_np(pthread_self(), &attributes) != 0) return 0;
    void* base = nullptr;
    std::size_t size = 0;
    pthread_attr_getstack(&attributes, &base, &size);
    pthread_attr_destroy(&attributes);
    return size;
}

std::optional<DpiAwareness> currentThreadDpiAwareness() { return std::nullopt; }

std::optional<std::string> environmentVariable(const char* name) {
    const char* value = std::getenv(name);
    if (!value) return std::nullopt;
    return std::string(value);
}

std::FILE* openFile(const std::string& utf8Path, const char* mode, std::string& errorText) {
    std::FILE* file = std::fopen(utf8Path.c_str(), mode);
    if (!file) errorText = std::strerror(errno);
    return file;
}

std::FILE* openDescriptor(std::int64_t descriptor, std::string& errorText) {
    std::FILE* file = fdopen(static_cast<int>(descriptor), "wb");
    if (!file) errorText = std::strerror(errno);
    return file;
}

void writeStandardStream(bool toErr, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(toErr ? 2 : 1, bytes.data() + done, bytes.size() - done);
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
}

void exitProcess(int code) { _exit(code); }

std::string processFacts() { return {}; }

void sleepMilliseconds(unsigned milliseconds) { usleep(milliseconds * 1000u); }

}  // namespace corvid_test_jvm
