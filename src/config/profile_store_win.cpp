#ifndef _WIN32
#error "profile_store_win.cpp is for the Windows build only"
#endif

#include "config/profile_store.h"
#include "platform/win_handles.h"
#include "platform/windows_api.h"

namespace corvid {

namespace {

// The private-profile functions read a file without a byte-order mark in
// the ANSI code page and write one in it, so a UTF-8 file saved by Notepad,
// or a folder name outside the code page, comes back as other characters:
// the store reads and writes the bytes itself.
class Win32ProfileStore final : public IniFileProfileStore {
protected:
    FileBytes readBytes(const WideString& file) override {
        UniqueFileHandle handle(CreateFileW(wide(file), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!handle) {
            const DWORD error = GetLastError();
            return {error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND, std::nullopt};
        }
        std::string bytes;
        char chunk[4096];
        DWORD got = 0;
        for (;;) {
            if (!ReadFile(handle.get(), chunk, sizeof chunk, &got, nullptr)) return {false, std::nullopt};
            if (got == 0) break;
            bytes.append(chunk, got);
        }
        return {false, std::move(bytes)};
    }

    // Written beside the target and moved over it, so a failed write never
    // leaves a half-written configuration file.
    bool replaceBytes(const WideString& file, const std::string& bytes) override {
        const WideString temporary = file + u".tmp";
        {
            UniqueFileHandle handle(CreateFileW(wide(temporary), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                                FILE_ATTRIBUTE_NORMAL, nullptr));
            if (!handle) return false;
            DWORD written = 0;
            if (!WriteFile(handle.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
                written != bytes.size()) {
                handle.reset();
                DeleteFileW(wide(temporary));
                return false;
            }
        }
        if (MoveFileExW(wide(temporary), wide(file), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
        DeleteFileW(wide(temporary));
        return false;
    }

    // UTF-16LE with a byte-order mark holds any folder name.
    std::string newFileBytes() override { return std::string("\xFF\xFE", 2); }
};

}  // namespace

ProfileStore& systemProfileStore() {
    static Win32ProfileStore store;
    return store;
}

}  // namespace corvid
