#ifndef _WIN32
#error "runtime_registry_win.cpp is for the Windows build only"
#endif

#include <string>

#include "platform/trace.h"
#include "platform/win_handles.h"
#include "platform/windows_api.h"
#include "runtime/runtime_registry.h"

namespace corvid {

namespace {

// KEY_READ without a WOW64 view flag: the 64-bit process sees the 64-bit
// registrations only.
constexpr REGSAM kAccess = KEY_READ;

class Win32RuntimeRegistry final : public RuntimeRegistry {
public:
    // `parent` stands for HKEY_LOCAL_MACHINE and `user` for HKEY_CURRENT_USER
    // (null: no per-user keys); `owned` keeps a test base open.
    Win32RuntimeRegistry(HKEY parent, HKEY user, UniqueRegistryKey owned)
        : parent_(parent), user_(user), owned_(std::move(owned)) {}

    std::optional<std::vector<RegistrySubkey>> listSubkeys(RegistryRoot root, Trace& trace) override {
        UniqueRegistryKey key;
        const LSTATUS opened = RegOpenKeyExW(parent_, wide(WideString(registryRootPath(root))), 0, kAccess, key.put());
        if (opened != ERROR_SUCCESS) {
            if (trace.enabled()) trace.line("  RegOpenKeyExW error ", opened);
            return std::nullopt;
        }
        std::vector<RegistrySubkey> subkeys;
        // Key names are at most 255 characters; anything but success, the
        // end of the list included, stops the enumeration.
        for (DWORD index = 0;; ++index) {
            wchar_t name[256];
            DWORD length = 256;
            if (RegEnumKeyExW(key.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
                break;
            }
            WideString text = fromWide(name, length < 256 ? length : 255);
            subkeys.push_back({text, text});
        }
        return subkeys;
    }

    JavaHomeValue readJavaHome(RegistryRoot root, const RegistrySubkey& subkey) override {
        return readFrom(parent_, WideString(registryRootPath(root)) + subkey.key, L"JavaHome");
    }

    std::optional<WideList> listKeys(RegistryHive hive, const WideString& path, Trace& trace) override {
        UniqueRegistryKey key;
        const LSTATUS opened = RegOpenKeyExW(hiveKey(hive), wide(path), 0, kAccess, key.put());
        if (opened != ERROR_SUCCESS) {
            if (trace.enabled()) trace.line("  RegOpenKeyExW error ", opened);
            return std::nullopt;
        }
        WideList names;
        for (DWORD index = 0;; ++index) {
            wchar_t name[256];
            DWORD length = 256;
            if (RegEnumKeyExW(key.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
                break;
            }
            names.push_back(fromWide(name, length < 256 ? length : 255));
        }
        return names;
    }

    RegistryValue readValue(RegistryHive hive, const WideString& path, WideView valueName) override {
        return readFrom(hiveKey(hive), path, wide(WideString(valueName)));
    }

private:
    HKEY hiveKey(RegistryHive hive) const { return hive == RegistryHive::CurrentUser ? user_ : parent_; }

    static RegistryValue readFrom(HKEY parent, const WideString& path, const wchar_t* valueName) {
        RegistryValue value;
        UniqueRegistryKey key;
        if (!parent || RegOpenKeyExW(parent, wide(path), 0, kAccess, key.put()) != ERROR_SUCCESS) {
            value.status = RegistryValue::Status::SubkeyNotOpened;
            return value;
        }
        DWORD type = 0;
        DWORD size = 0;
        if (RegQueryValueExW(key.get(), valueName, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
            value.status = RegistryValue::Status::Missing;
            return value;
        }
        if (size > kMaxJavaHomeBytes) {
            value.status = RegistryValue::Status::TooLarge;
            return value;
        }
        value.data.resize(size);
        // The value may change between the two calls: whatever the second
        // call reports (type and size) is what is decoded, never more.
        DWORD read = size;
        if (size != 0 &&
            RegQueryValueExW(key.get(), valueName, nullptr, &type, value.data.data(), &read) != ERROR_SUCCESS) {
            value.status = RegistryValue::Status::ReadFailed;
            value.data.clear();
            return value;
        }
        value.data.resize(read < size ? read : size);
        value.status = RegistryValue::Status::Found;
        value.type = type;
        return value;
    }

    HKEY parent_;
    HKEY user_;
    UniqueRegistryKey owned_;
};

}  // namespace

RuntimeRegistry& systemRuntimeRegistry() {
    static Win32RuntimeRegistry registry(HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, UniqueRegistryKey());
    return registry;
}

std::unique_ptr<RuntimeRegistry> makeRegistryUnder(const WideString& base) {
    UniqueRegistryKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, wide(base), 0, kAccess, key.put()) != ERROR_SUCCESS) return nullptr;
    HKEY parent = key.get();
    // A test base has no per-user keys.
    return std::make_unique<Win32RuntimeRegistry>(parent, nullptr, std::move(key));
}

}  // namespace corvid
