#include "config/profile_store.h"

#include "config/ini_file.h"

namespace corvid {

WideString IniFileProfileStore::read(const WideString& file, const WideString& section, const WideString& key,
                                     std::size_t capacity) {
    const FileBytes contents = readBytes(file);
    if (!contents.bytes || capacity == 0) return {};
    WideString value = findIniValue(decodeIniBytes(*contents.bytes).content, section, key).value_or(WideString());
    if (value.size() > capacity - 1) value.resize(capacity - 1);
    return value;
}

bool IniFileProfileStore::write(const WideString& file, const WideString& section, const WideString& key,
                                const WideString& value) {
    // A file that exists but cannot be read is not replaced by one that holds
    // only this value.
    const FileBytes contents = readBytes(file);
    if (!contents.bytes && !contents.missing) return false;
    const auto changed = setIniValueInBytes(contents.bytes ? *contents.bytes : newFileBytes(), section, key, value);
    return changed && replaceBytes(file, *changed);
}

}  // namespace corvid
