#ifndef _WIN32
#error "profile_store_win.cpp is for the Windows build only"
#endif

#include <vector>

#include "config/profile_store.h"
#include "platform/windows_api.h"

namespace corvid {

namespace {

class Win32ProfileStore final : public ProfileStore {
public:
    WideString read(const WideString& file, const WideString& section, const WideString& key,
                    std::size_t capacity) override {
        std::vector<wchar_t> buffer(capacity, L'\0');
        const DWORD length = GetPrivateProfileStringW(wide(section), wide(key), L"", buffer.data(),
                                                      static_cast<DWORD>(capacity), wide(file));
        return fromWide(buffer.data(), length < capacity ? length : 0);
    }

    bool write(const WideString& file, const WideString& section, const WideString& key,
               const WideString& value) override {
        return WritePrivateProfileStringW(wide(section), wide(key), wide(value), wide(file)) != 0;
    }
};

}  // namespace

ProfileStore& systemProfileStore() {
    static Win32ProfileStore store;
    return store;
}

}  // namespace corvid
