#ifndef _WIN32
#error "cache_files_win.cpp is for the Windows build only"
#endif

#include "cache/cache_files.h"
#include "platform/win_handles.h"
#include "platform/windows_api.h"

namespace corvid {

namespace {

std::int64_t ticks(const FILETIME& time) {
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
}

class Win32CacheFiles final : public CacheFiles {
public:
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
        wchar_t buffer[32768];
        const DWORD length = GetFinalPathNameByHandleW(file.get(), buffer, 32768, FILE_NAME_NORMALIZED);
        if (length == 0 || length >= 32768) return std::nullopt;
        WideString result = fromWide(buffer, length);
        // The answer carries the long-path prefix: \\?\C:\... or \\?\UNC\server\...
        if (result.rfind(u"\\\\?\\UNC\\", 0) == 0) return u"\\\\" + result.substr(8);
        if (result.rfind(u"\\\\?\\", 0) == 0) return result.substr(4);
        return result;
    }

    std::optional<WideString> currentDirectory() override {
        wchar_t buffer[32768];
        const DWORD length = GetCurrentDirectoryW(32768, buffer);
        if (length == 0 || length >= 32768) return std::nullopt;
        WideString folder = fromWide(buffer, length);
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

    std::uint32_t processId() override { return GetCurrentProcessId(); }

    bool processAlive(std::uint32_t id) override {
        const UniqueKernelHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
        // Access denied: it exists but belongs to someone else.
        if (!process) return GetLastError() == ERROR_ACCESS_DENIED;
        DWORD code = 0;
        return !GetExitCodeProcess(process.get(), &code) || code == STILL_ACTIVE;
    }

    std::int64_t now() override {
        FILETIME time;
        GetSystemTimeAsFileTime(&time);
        return ticks(time);
    }

    std::int64_t second() override { return 10000000; }
};

}  // namespace

CacheFiles& systemCacheFiles() {
    static Win32CacheFiles files;
    return files;
}

}  // namespace corvid
