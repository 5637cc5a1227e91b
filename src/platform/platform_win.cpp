#ifndef _WIN32
#error "platform_win.cpp is for the Windows build only"
#endif

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "platform/lock.h"
#include "platform/platform.h"
#include "platform/win_handles.h"
#include "platform/windows_api.h"

#include <ntsecapi.h>  // RtlGenRandom

namespace corvid {

namespace {

std::int64_t ticks(const FILETIME& time) {
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
}

class Win32Process final : public Process {
public:
    ModulePath modulePath() override {
        wchar_t buffer[260];
        SetLastError(0);
        const DWORD length = GetModuleFileNameW(nullptr, buffer, 260);
        // A longer path comes back cut to the buffer, with
        // ERROR_INSUFFICIENT_BUFFER (and before Vista with no error at all).
        const DWORD error = length == 0 || length >= 260 ? GetLastError() : 0;
        return modulePathFromBuffer(fromWide(buffer, length < 260 ? length : 260), 260, error,
                                    ERROR_INSUFFICIENT_BUFFER);
    }

    bool isNtPlatform() override {
        // GetVersionExW is asked in its extended form first, then the basic one.
        OSVERSIONINFOEXW extended{};
        extended.dwOSVersionInfoSize = sizeof extended;
        if (GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&extended))) {
            return extended.dwPlatformId == VER_PLATFORM_WIN32_NT;
        }
        OSVERSIONINFOW basic{};
        basic.dwOSVersionInfoSize = sizeof basic;
        return GetVersionExW(&basic) && basic.dwPlatformId == VER_PLATFORM_WIN32_NT;
    }

    bool setCurrentDirectory(const WideString& folder) override { return SetCurrentDirectoryW(wide(folder)) != 0; }

    WideString absolutePath(const WideString& path) override {
        // A longer path reports the room it needs: ask again until it fits.
        WideString full(MAX_PATH, u'\0');
        for (;;) {
            const DWORD length = GetFullPathNameW(wide(path), static_cast<DWORD>(full.size()), wide(full.data()), nullptr);
            if (length == 0) return path;
            if (length < full.size()) {
                full.resize(length);
                return full;
            }
            full.resize(length);
        }
    }

    // Looked up rather than imported: the call exists from Windows 7 on.
    // Loaded by its full path, as the console variant does not import it.
    bool setAppUserModelId(const WideString& id) override {
        using SetId = HRESULT(WINAPI*)(PCWSTR);
        wchar_t folder[MAX_PATH];
        const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
        if (length == 0 || length >= MAX_PATH) return false;
        const HMODULE shell = LoadLibraryW((std::wstring(folder, length) + L"\\shell32.dll").c_str());
        const auto set = shell ? reinterpret_cast<SetId>(
                                     reinterpret_cast<void*>(GetProcAddress(shell, "SetCurrentProcessExplicitAppUserModelID")))
                               : nullptr;
        return set && SUCCEEDED(set(wide(id)));
    }

    std::uint32_t lastError() override { return GetLastError(); }

    std::uint32_t processId() override { return GetCurrentProcessId(); }

    bool processAlive(std::uint32_t id) override {
        const UniqueKernelHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
        // Access denied: it exists but belongs to someone else.
        if (!process) return GetLastError() == ERROR_ACCESS_DENIED;
        DWORD code = 0;
        return !GetExitCodeProcess(process.get(), &code) || code == STILL_ACTIVE;
    }

    void keepEnvironmentForChildren() override { keptEnvironment_ = environmentBlock(); }

    bool startDetached(const WideString& path, const WideString& name, const WideString& value) override {
        std::wstring block = environmentWith(name, value);
        std::wstring commandLine = L"\"" + std::wstring(wide(path)) + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_FORCEOFFFEEDBACK;
        startup.wShowWindow = SW_HIDE;
        PROCESS_INFORMATION info{};
        // No inherited handles and no console: the builder holds nothing of this start.
        if (!CreateProcessW(wide(path), commandLine.data(), nullptr, nullptr, FALSE,
                            DETACHED_PROCESS | CREATE_NEW_PROCESS_GROUP | BELOW_NORMAL_PRIORITY_CLASS |
                                CREATE_UNICODE_ENVIRONMENT | CREATE_SUSPENDED,
                            block.data(), nullptr, &startup, &info)) {
            return false;
        }
        // Wine ignores the priority of the creation flags; set before the first instruction runs.
        SetPriorityClass(info.hProcess, BELOW_NORMAL_PRIORITY_CLASS);
        ResumeThread(info.hThread);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
        return true;
    }

    bool startAgain(const WideString& path, const ProcessArguments& arguments, const WideString& name,
                    const WideString& value) override {
        std::wstring block = environmentWith(name, value);
        // The command line as this process got it, so every argument splits the same way again.
        std::wstring commandLine(wide(arguments.commandLine));
        // Shown as this process was asked to show its window (minimised, say).
        STARTUPINFOW own{};
        GetStartupInfoW(&own);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = own.dwFlags & STARTF_USESHOWWINDOW;
        startup.wShowWindow = own.wShowWindow;
        PROCESS_INFORMATION info{};
        // No inherited handles; a console program shares this console.
        if (!CreateProcessW(wide(path), commandLine.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                            block.data(), nullptr, &startup, &info)) {
            return false;
        }
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
        return true;
    }

    bool waitForEnd(std::uint32_t id, std::uint32_t milliseconds) override {
        const UniqueKernelHandle process(OpenProcess(SYNCHRONIZE, FALSE, id));
        if (!process) return GetLastError() == ERROR_INVALID_PARAMETER;  // no such process
        return WaitForSingleObject(process.get(), milliseconds) == WAIT_OBJECT_0;
    }

private:
    // The kept environment block, without its closing NUL; empty: none kept.
    std::wstring keptEnvironment_;

    // This process's environment, each entry NUL-terminated.
    static std::wstring environmentBlock() {
        std::wstring block;
        if (wchar_t* strings = GetEnvironmentStringsW()) {
            for (const wchar_t* entry = strings; *entry; entry += wcslen(entry) + 1) block.append(entry, wcslen(entry) + 1);
            FreeEnvironmentStringsW(strings);
        }
        return block;
    }

    // The kept environment (or this one) without `name`, then name=value,
    // each entry NUL-terminated, the block ended by one more NUL.
    std::wstring environmentWith(const WideString& name, const WideString& value) const {
        const std::wstring base = keptEnvironment_.empty() ? environmentBlock() : keptEnvironment_;
        std::wstring block;
        const std::wstring prefix = std::wstring(wide(name)) + L"=";
        for (std::size_t at = 0; at < base.size();) {
            const std::size_t end = base.find(L'\0', at);
            if (_wcsnicmp(base.c_str() + at, prefix.c_str(), prefix.size()) != 0) block.append(base, at, end - at + 1);
            at = end + 1;
        }
        block += prefix + wide(value);
        block.push_back(L'\0');
        return block;
    }
};

class Win32ScratchFile final : public ScratchFile {
public:
    explicit Win32ScratchFile(HANDLE file) : file_(file) {}

    std::optional<std::int64_t> javaDescriptor() override {
        HANDLE copy = nullptr;
        if (!DuplicateHandle(GetCurrentProcess(), file_.get(), GetCurrentProcess(), &copy, 0, FALSE,
                             DUPLICATE_SAME_ACCESS)) {
            return std::nullopt;
        }
        return static_cast<std::int64_t>(reinterpret_cast<std::intptr_t>(copy));
    }

    // At its own offset: the copies share the file position.
    std::optional<std::string> read(std::size_t limit) override {
        std::string content;
        while (content.size() < limit) {
            char buffer[16384];
            const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(sizeof buffer, limit - content.size()));
            OVERLAPPED at{};
            at.Offset = static_cast<DWORD>(content.size());
            DWORD got = 0;
            if (!ReadFile(file_.get(), buffer, wanted, &got, &at)) {
                if (GetLastError() == ERROR_HANDLE_EOF) break;
                return std::nullopt;
            }
            if (got == 0) break;
            content.append(buffer, got);
        }
        return content;
    }

private:
    UniqueFileHandle file_;
};

class Win32FileSystem final : public FileSystem {
public:
    bool findFirst(const WideString& path) override {
        WIN32_FIND_DATAW data;
        const UniqueFindHandle find(FindFirstFileW(wide(path), &data));
        return static_cast<bool>(find);
    }

    bool createDirectory(const WideString& path) override { return CreateDirectoryW(wide(path), nullptr) != 0; }

    std::optional<std::string> readFile(const WideString& path, std::size_t limit) override {
        const UniqueFileHandle file(CreateFileW(wide(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file || GetFileType(file.get()) != FILE_TYPE_DISK) return std::nullopt;
        std::string content;
        while (content.size() < limit) {
            char buffer[16384];
            const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(sizeof buffer, limit - content.size()));
            DWORD got = 0;
            if (!ReadFile(file.get(), buffer, wanted, &got, nullptr)) return std::nullopt;
            if (got == 0) break;
            content.append(buffer, got);
        }
        return content;
    }

    std::optional<FileFacts> facts(const WideString& path) override {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (!GetFileAttributesExW(wide(path), GetFileExInfoStandard, &data)) return std::nullopt;
        FileFacts facts;
        facts.isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        facts.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        facts.modified = ticks(data.ftLastWriteTime);
        return facts;
    }

    std::optional<WideString> realPath(const WideString& path) override {
        // Opening the folder itself needs FILE_FLAG_BACKUP_SEMANTICS.
        const UniqueFileHandle file(CreateFileW(wide(path), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (!file) return std::nullopt;
        std::vector<wchar_t> buffer(32768);
        const DWORD length = GetFinalPathNameByHandleW(file.get(), buffer.data(), 32768, FILE_NAME_NORMALIZED);
        if (length == 0 || length >= 32768) return std::nullopt;
        WideString result = fromWide(buffer.data(), length);
        // The answer carries the long-path prefix: \\?\C:\... or \\?\UNC\server\...
        if (result.rfind(u"\\\\?\\UNC\\", 0) == 0) return u"\\\\" + result.substr(8);
        if (result.rfind(u"\\\\?\\", 0) == 0) return result.substr(4);
        return result;
    }

    std::optional<WideString> currentDirectory() override {
        std::vector<wchar_t> buffer(32768);
        const DWORD length = GetCurrentDirectoryW(32768, buffer.data());
        if (length == 0 || length >= 32768) return std::nullopt;
        WideString folder = fromWide(buffer.data(), length);
        if (folder.size() > 3 && folder.back() == u'\\') folder.pop_back();
        return folder;
    }

    bool writeFile(const WideString& path, const std::string& bytes) override {
        bool ok = false;
        {
            const UniqueFileHandle file(
                CreateFileW(wide(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
            if (!file) return false;
            DWORD written = 0;
            ok = WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                 written == bytes.size();
        }
        if (!ok) DeleteFileW(wide(path));
        return ok;
    }

    // Created new, so a file or link planted under the name is never opened;
    // shared with nobody and deleted on close, so it goes with the process
    // however that ends. Only in a temporary folder given by a full path.
    std::unique_ptr<ScratchFile> createScratchFile() override {
        wchar_t folder[MAX_PATH + 1];
        const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
        if (length < 3 || length > MAX_PATH) return nullptr;
        const bool full = (folder[1] == L':' && folder[2] == L'\\') || (folder[0] == L'\\' && folder[1] == L'\\');
        if (!full) return nullptr;
        for (int attempt = 0; attempt < 8; ++attempt) {
            unsigned char random[16];
            if (!RtlGenRandom(random, sizeof random)) return nullptr;
            std::wstring path(folder, length);
            path += L"corvid-";
            for (const unsigned char byte : random) {
                path.push_back(L"0123456789abcdef"[byte >> 4]);
                path.push_back(L"0123456789abcdef"[byte & 15]);
            }
            path += L".tmp";
            HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
            if (file != INVALID_HANDLE_VALUE) return std::make_unique<Win32ScratchFile>(file);
            if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) return nullptr;
        }
        return nullptr;
    }

    bool rename(const WideString& from, const WideString& to) override {
        return MoveFileExW(wide(from), wide(to), MOVEFILE_REPLACE_EXISTING) != 0;
    }

    bool remove(const WideString& path) override { return DeleteFileW(wide(path)) != 0; }

    std::optional<std::vector<WideString>> list(const WideString& folder) override {
        WIN32_FIND_DATAW data;
        WideString pattern = folder;
        pattern += u"\\*";
        const UniqueFindHandle find(FindFirstFileW(wide(pattern), &data));
        if (!find) return std::nullopt;
        std::vector<WideString> names;
        do {
            WideString name = fromWide(data.cFileName, wcslen(data.cFileName));
            if (name != u"." && name != u"..") names.push_back(std::move(name));
        } while (FindNextFileW(find.get(), &data));
        return names;
    }

    std::optional<std::uint64_t> freeSpace(const WideString& folder) override {
        ULARGE_INTEGER available;
        if (!GetDiskFreeSpaceExW(wide(folder), &available, nullptr, nullptr)) return std::nullopt;
        return available.QuadPart;
    }

    std::int64_t now() override {
        FILETIME time;
        GetSystemTimeAsFileTime(&time);
        return ticks(time);
    }

    std::int64_t second() override { return 10000000; }
};

class Win32Environment final : public Environment {
public:
    std::optional<WideString> get(const WideString& name) override {
        SetLastError(0);
        const DWORD size = GetEnvironmentVariableW(wide(name), nullptr, 0);
        if (size == 0) {
            if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
            return WideString();
        }
        WideString value(size, u'\0');
        const DWORD length = GetEnvironmentVariableW(wide(name), wide(value.data()), size);
        if (length == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
        value.resize(length < size ? length : 0);
        return value;
    }

    bool set(const WideString& name, const WideString& value) override {
        return SetEnvironmentVariableW(wide(name), wide(value)) != 0;
    }

    bool remove(const WideString& name) override {
        return SetEnvironmentVariableW(wide(name), nullptr) != 0 || GetLastError() == ERROR_ENVVAR_NOT_FOUND;
    }

    std::optional<WideString> expand(const WideString& text) override {
        // The system expands counted strings of at most 32,767 characters: a
        // longer text is cut before it is expanded, and a longer result is
        // handed back cut, both without an error. Either is a failure here, so
        // the text stays as written rather than silently shortened.
        constexpr std::size_t kMaxCounted = 32767;
        if (text.size() >= kMaxCounted) return std::nullopt;
        const DWORD size = ExpandEnvironmentStringsW(wide(text), nullptr, 0);
        if (size == 0 || size > kMaxCounted) return std::nullopt;
        WideString value(size, u'\0');
        const DWORD written = ExpandEnvironmentStringsW(wide(text), wide(value.data()), size);
        if (written == 0 || written > size) return std::nullopt;
        value.resize(written - 1);
        return value;
    }
};

}  // namespace

// TerminateProcess skips the libraries' detach code as well.
void endAtOnce() {
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(-1));
    ExitProcess(static_cast<UINT>(-1));
}

void Mutex::lock() { AcquireSRWLockExclusive(reinterpret_cast<SRWLOCK*>(&state_)); }
void Mutex::unlock() { ReleaseSRWLockExclusive(reinterpret_cast<SRWLOCK*>(&state_)); }

void ConditionVariable::notify_all() { WakeAllConditionVariable(reinterpret_cast<CONDITION_VARIABLE*>(&state_)); }

void ConditionVariable::wait(std::unique_lock<Mutex>& lock) {
    SleepConditionVariableSRW(reinterpret_cast<CONDITION_VARIABLE*>(&state_),
                              reinterpret_cast<SRWLOCK*>(&lock.mutex()->state_), INFINITE, 0);
}

std::uint64_t monotonicMicroseconds() {
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    const auto ticks = static_cast<std::uint64_t>(counter.QuadPart);
    const auto perSecond = static_cast<std::uint64_t>(frequency.QuadPart);
    return ticks / perSecond * 1000000 + ticks % perSecond * 1000000 / perSecond;
}

int formatLikeJvm(char* buffer, std::size_t size, const char* format, va_list arguments) {
#ifdef _MSC_VER
    return std::vsnprintf(buffer, size, format, arguments);
#else
    // The JVM library is built against the universal C runtime, so by the
    // time it prints, ucrtbase.dll is in the process; its formatting is the
    // one the JVM's format strings are written for (%zu, %lld, a double for
    // %Lf). Older systems without it get msvcrt's, which lacks only %zu.
    using CommonFormat = int(__cdecl*)(unsigned long long options, char* buffer, std::size_t size,
                                       const char* format, void* locale, va_list arguments);
    HMODULE ucrt = GetModuleHandleW(L"ucrtbase.dll");
    if (!ucrt) ucrt = LoadLibraryExW(L"ucrtbase.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (const auto common = ucrt ? reinterpret_cast<CommonFormat>(
                                       reinterpret_cast<void*>(GetProcAddress(ucrt, "__stdio_common_vsprintf")))
                                 : nullptr) {
        constexpr unsigned long long kStandardSnprintf = 2;  // C99 return value and termination
        return common(kStandardSnprintf, buffer, size, format, nullptr, arguments);
    }
    va_list copy;
    va_copy(copy, arguments);
    const int length = _vscprintf(format, copy);
    va_end(copy);
    if (length >= 0 && size > 0) {
        _vsnprintf(buffer, size - 1, format, arguments);
        buffer[static_cast<std::size_t>(length) < size ? length : size - 1] = '\0';
    }
    return length;
#endif
}

void installFatalErrorHandlers() {
    std::set_new_handler(endAtOnce);
#if __cpp_exceptions
    // Built without exceptions, the launcher's default terminate handler
    // already ends at once; naming another would link the library's own.
    std::set_terminate(endAtOnce);
#endif
}

Process& systemProcess() {
    static Win32Process process;
    return process;
}

FileSystem& systemFileSystem() {
    static Win32FileSystem files;
    return files;
}

Environment& systemEnvironment() {
    static Win32Environment environment;
    return environment;
}

namespace {

class Win32ShortPaths final : public ShortPaths {
public:
    std::optional<WideString> shortPath(const WideString& path) override {
        const DWORD size = GetShortPathNameW(wide(path), nullptr, 0);
        if (size == 0) return std::nullopt;
        WideString result(size, u'\0');
        const DWORD length = GetShortPathNameW(wide(path), wide(result.data()), size);
        if (length == 0 || length >= size) return std::nullopt;
        result.resize(length);
        return result;
    }
};

}  // namespace

ShortPaths& systemShortPaths() {
    static Win32ShortPaths paths;
    return paths;
}

}  // namespace corvid
