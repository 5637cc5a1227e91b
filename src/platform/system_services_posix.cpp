#ifdef _WIN32
#error "system_services_posix.cpp is for the POSIX build only"
#endif

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/sysinfo.h>

#include "platform/platform.h"

namespace corvid {

namespace {

WideString loaderMessage() {
    const char* message = dlerror();
    return message ? fromNarrow(message) : WideString();
}

class PosixLibraries final : public Libraries {
public:
    LoadedLibrary load(const WideString& path) override {
        errno = 0;
        // Global, so the runtime's own libraries bind to this copy of the JVM.
        void* handle = dlopen(toNarrow(path).c_str(), RTLD_NOW | RTLD_GLOBAL);
        if (handle) return {handle, 0, {}};
        const int error = errno != 0 ? errno : ENOENT;
        return {nullptr, static_cast<std::uint32_t>(error), loaderMessage()};
    }

    ResolvedSymbol resolve(LibraryHandle library, const char* name) override {
        dlerror();
        void* address = dlsym(library, name);
        if (address) return {reinterpret_cast<LibrarySymbol>(address), 0, {}};
        // dlsym sets no errno; the loader's text goes to the trace instead.
        return {nullptr, 0, loaderMessage()};
    }
};

struct ThreadStart {
    ThreadBody body;
    void* argument;
    std::uint32_t exitCode;
};

void* threadTrampoline(void* start) {
    auto* run = static_cast<ThreadStart*>(start);
    run->exitCode = run->body(run->argument);
    return nullptr;
}

class PosixThreads final : public Threads {
public:
    std::optional<std::uint32_t> runAndWait(std::uint64_t stackSize, ThreadBody body, void* argument) override {
        pthread_attr_t attributes;
        if (pthread_attr_init(&attributes) != 0) return std::nullopt;
        if (stackSize != 0) {
            // Windows rounds a too small stack up to its minimum; do the same
            // rather than refuse the size.
            const std::uint64_t minimum = static_cast<std::uint64_t>(PTHREAD_STACK_MIN);
            const std::uint64_t size = stackSize < minimum ? minimum : stackSize;
            if (size > SIZE_MAX || pthread_attr_setstacksize(&attributes, static_cast<std::size_t>(size)) != 0) {
                pthread_attr_destroy(&attributes);
                return std::nullopt;
            }
        }
        ThreadStart start{body, argument, 0};
        pthread_t thread;
        const int created = pthread_create(&thread, &attributes, threadTrampoline, &start);
        pthread_attr_destroy(&attributes);
        if (created != 0) return std::nullopt;
        pthread_join(thread, nullptr);
        return start.exitCode;
    }
};

// The size of the user address space of an x86-64 process with 4-level page
// tables (128 TiB).
constexpr std::uint64_t kUserAddressSpace = std::uint64_t{1} << 47;

// Bytes mapped by this process now: VmSize of /proc/self/status.
std::uint64_t mappedBytes() {
    std::FILE* status = std::fopen("/proc/self/status", "re");
    if (!status) return 0;
    std::uint64_t kilobytes = 0;
    char line[256];
    while (std::fgets(line, sizeof line, status)) {
        unsigned long long value = 0;
        if (std::sscanf(line, "VmSize: %llu kB", &value) == 1) {
            kilobytes = value;
            break;
        }
    }
    std::fclose(status);
    return kilobytes * 1024;
}

class PosixMemory final : public Memory {
public:
    // Windows reports the unreserved part of the process's user address
    // space as its available virtual memory. The Linux equivalent: the user
    // address space, or the address-space limit when one is set, less what
    // the process has mapped already.
    MemoryStatus status() override {
        MemoryStatus result;
        struct sysinfo info;
        if (sysinfo(&info) == 0) result.totalPhysical = std::uint64_t{info.totalram} * info.mem_unit;
        std::uint64_t space = kUserAddressSpace;
        struct rlimit limit;
        if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < space) {
            space = limit.rlim_cur;
        }
        const std::uint64_t mapped = mappedBytes();
        result.availableVirtual = mapped < space ? space - mapped : 0;
        return result;
    }
};

}  // namespace

Libraries& systemLibraries() {
    static PosixLibraries libraries;
    return libraries;
}

Threads& systemThreads() {
    static PosixThreads threads;
    return threads;
}

Memory& systemMemory() {
    static PosixMemory memory;
    return memory;
}

}  // namespace corvid
