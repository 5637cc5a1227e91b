#ifndef _WIN32
#error "os_win.cpp is for the Windows build only"
#endif

#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <cerrno>
#include <fcntl.h>
#include <io.h>
#include <string>

#include "os.h"

namespace corvid_test_jvm {

const char* const kPathVariable = "Path";
const char* const kLineSeparator = "\r\n";

namespace {

std::wstring toWide(const std::string& utf8) {
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring result(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), result.data(), length);
    return result;
}

std::string toUtf8(const std::wstring& wide) {
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), result.data(), length, nullptr, nullptr);
    return result;
}

}  // namespace

std::uint64_t currentThreadId() { return GetCurrentThreadId(); }

std::optional<DpiAwareness> currentThreadDpiAwareness() {
    // Windows 10 1607 and later; looked up so the library loads anywhere.
    using GetContext = void*(WINAPI*)();
    using GetAwareness = int(WINAPI*)(void*);
    using SetContext = void*(WINAPI*)(void*);
    const HMODULE user32 = LoadLibraryW(L"user32.dll");
    const auto getContext = reinterpret_cast<GetContext>(
        reinterpret_cast<void (*)()>(GetProcAddress(user32, "GetThreadDpiAwarenessContext")));
    const auto getAwareness = reinterpret_cast<GetAwareness>(
        reinterpret_cast<void (*)()>(GetProcAddress(user32, "GetAwarenessFromDpiAwarenessContext")));
    const auto setContext = reinterpret_cast<SetContext>(
        reinterpret_cast<void (*)()>(GetProcAddress(user32, "SetThreadDpiAwarenessContext")));
    if (!getContext || !getAwareness || !setContext) return std::nullopt;
    void* const context = getContext();
    DpiAwareness result;
    result.awareness = getAwareness(context);
    // Setting returns the context before, which Wine marks with bit 31 when
    // the thread followed the process default; setting that back restores it.
    void* const before = setContext(context);
    result.ownOfThread = before && (reinterpret_cast<UINT_PTR>(before) & 0x80000000u) == 0;
    if (before) setContext(before);
    return result;
}

std::uint64_t currentThreadStackSize() {
    // The reservation runs from the TEB's DeallocationStack up to StackBase;
    // GetCurrentThreadStackLimits reports exactly those two.
    ULONG_PTR low = 0;
    ULONG_PTR high = 0;
    GetCurrentThreadStackLimits(&low, &high);
    return high - low;
}

std::optional<std::string> environmentVariable(const char* name) {
    // The launcher changes its environment with SetEnvironmentVariableW, which
    // the C runtime's getenv copy never sees.
    const std::wstring wideName = toWide(name);
    const DWORD needed = GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
    if (needed == 0) return std::nullopt;
    std::wstring value(needed, L'\0');
    const DWORD length = GetEnvironmentVariableW(wideName.c_str(), value.data(), needed);
    value.resize(length);
    return toUtf8(value);
}

std::FILE* openFile(const std::string& utf8Path, const char* mode, std::string& errorText) {
    std::FILE* file = _wfopen(toWide(utf8Path).c_str(), toWide(mode).c_str());
    if (!file) errorText = errno == ENOENT ? "The system cannot find the path specified" : "Access is denied";
    return file;
}

std::FILE* openDescriptor(std::int64_t descriptor, std::string& errorText) {
    const int fd = _open_osfhandle(static_cast<intptr_t>(descriptor), 0);
    std::FILE* file = fd >= 0 ? _fdopen(fd, "wb") : nullptr;
    if (!file) errorText = "The handle is invalid";
    return file;
}

// Past the C runtime, whose text mode would turn "\r\n" into "\r\r\n".
void writeStandardStream(bool toErr, const std::string& bytes) {
    DWORD written = 0;
    WriteFile(GetStdHandle(toErr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

void exitProcess(int code) { ExitProcess(static_cast<UINT>(code)); }

std::string processFacts() {
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    return std::string("console=") + (GetConsoleWindow() ? "yes" : "none") +
           " priority=" + std::to_string(GetPriorityClass(GetCurrentProcess())) +
           " stdout=" + (out && out != INVALID_HANDLE_VALUE ? "yes" : "none");
}

void sleepMilliseconds(unsigned milliseconds) { Sleep(milliseconds); }

}  // namespace corvid_test_jvm
