#ifndef _WIN32
#error "platform_win.cpp is for the Windows build only"
#endif

#include <algorithm>

#include "platform/platform.h"
#include "platform/win_handles.h"
#include "platform/windows_api.h"

namespace corvid {

namespace {

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

    std::uint32_t lastError() override { return GetLastError(); }
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

    std::optional<std::vector<FolderEntry>> listFolder(const WideString& folder) override {
        WideString pattern = folder;
        if (!pattern.empty() && pattern.back() != u'\\' && pattern.back() != u'/') pattern += u'\\';
        pattern += u'*';
        WIN32_FIND_DATAW data;
        const UniqueFindHandle find(FindFirstFileW(wide(pattern), &data));
        if (!find) return std::nullopt;
        std::vector<FolderEntry> entries;
        do {
            WideString name = fromWide(data.cFileName, wcslen(data.cFileName));
            if (name == u"." || name == u"..") continue;
            entries.push_back({std::move(name), (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
        } while (FindNextFileW(find.get(), &data));
        return entries;
    }
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

}  // namespace corvid
