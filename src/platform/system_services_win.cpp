#ifndef _WIN32
#error "system_services_win.cpp is for the Windows build only"
#endif

#include "platform/platform.h"
#include "platform/win_handles.h"
#include "platform/windows_api.h"

namespace corvid {

namespace {

class Win32Libraries final : public Libraries {
public:
    LoadedLibrary load(const WideString& path) override {
        // The default search order, so the runtime's bin folder on Path serves
        // the library's own dependencies.
        HMODULE module = LoadLibraryW(wide(path));
        if (module) return {module, 0, {}};
        return {nullptr, GetLastError(), {}};
    }

    ResolvedSymbol resolve(LibraryHandle library, const char* name) override {
        FARPROC address = GetProcAddress(static_cast<HMODULE>(library), name);
        if (address) return {reinterpret_cast<LibrarySymbol>(address), 0, {}};
        return {nullptr, GetLastError(), {}};
    }
};

struct ThreadStart {
    ThreadBody body;
    void* argument;
};

DWORD WINAPI threadTrampoline(LPVOID start) {
    const auto* run = static_cast<const ThreadStart*>(start);
    return run->body(run->argument);
}

class Win32Threads final : public Threads {
public:
    std::optional<std::uint32_t> runAndWait(std::uint64_t stackSize, ThreadBody body, void* argument) override {
        if (stackSize > SIZE_MAX) return std::nullopt;
        ThreadStart start{body, argument};
        // Without STACK_SIZE_PARAM_IS_A_RESERVATION the size is the initial
        // commit, and the reservation grows to hold it.
        const UniqueKernelHandle thread(
            CreateThread(nullptr, static_cast<SIZE_T>(stackSize), threadTrampoline, &start, 0, nullptr));
        if (!thread) return std::nullopt;
        WaitForSingleObject(thread.get(), INFINITE);
        DWORD exitCode = 0;
        GetExitCodeThread(thread.get(), &exitCode);
        return exitCode;
    }
};

class Win32Memory final : public Memory {
public:
    MemoryStatus status() override {
        MEMORYSTATUS status{};
        status.dwLength = sizeof status;
        GlobalMemoryStatus(&status);
        return {status.dwTotalPhys, status.dwAvailVirtual};
    }
};

}  // namespace

Libraries& systemLibraries() {
    static Win32Libraries libraries;
    return libraries;
}

Threads& systemThreads() {
    static Win32Threads threads;
    return threads;
}

Memory& systemMemory() {
    static Win32Memory memory;
    return memory;
}

}  // namespace corvid
