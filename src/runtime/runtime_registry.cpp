#include "runtime/runtime_registry.h"

namespace corvid {

WideView registryRootPath(RegistryRoot root) {
    switch (root) {
    case RegistryRoot::JavaSoftJdk: return u"Software\\JavaSoft\\Java Development Kit\\";
    case RegistryRoot::JavaSoftJre: return u"Software\\JavaSoft\\Java Runtime Environment\\";
    case RegistryRoot::JRockitJre: return u"Software\\JRockit\\Java Runtime Environment\\";
    case RegistryRoot::JRockitJdk: return u"Software\\JRockit\\Java Development Kit\\";
    }
    return u"";
}

bool isDevelopmentKitRoot(RegistryRoot root) {
    return root == RegistryRoot::JavaSoftJdk || root == RegistryRoot::JRockitJdk;
}

JavaHomeValue JavaHomeValue::fromText(WideView text) {
    JavaHomeValue value;
    value.status = Status::Found;
    value.type = kRegistryString;
    value.data.reserve((text.size() + 1) * 2);
    for (const char16_t c : text) {
        value.data.push_back(static_cast<std::uint8_t>(c & 0xFF));
        value.data.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    value.data.push_back(0);
    value.data.push_back(0);
    return value;
}

DecodedJavaHome decodeJavaHome(const JavaHomeValue& value) {
    switch (value.status) {
    case JavaHomeValue::Status::Found: break;
    case JavaHomeValue::Status::SubkeyNotOpened: return {std::nullopt, "the subkey cannot be opened"};
    case JavaHomeValue::Status::Missing: return {std::nullopt, "no JavaHome value"};
    case JavaHomeValue::Status::ReadFailed: return {std::nullopt, "JavaHome cannot be read"};
    case JavaHomeValue::Status::TooLarge: return {std::nullopt, "JavaHome is too large"};
    }
    if (value.type != kRegistryString && value.type != kRegistryExpandString) {
        return {std::nullopt, "JavaHome is not a string"};
    }
    // A trailing odd byte cannot be part of a character and is ignored.
    const std::size_t units = value.data.size() / 2;
    WideString text;
    for (std::size_t i = 0; i < units; ++i) {
        const auto c = static_cast<char16_t>(value.data[2 * i] | (value.data[2 * i + 1] << 8));
        if (c == u'\0') {
            if (text.empty()) return {std::nullopt, "JavaHome is empty"};
            if (text.size() > kMaxJavaHomeLength) return {std::nullopt, "JavaHome is longer than a path can be"};
            return {std::move(text), ""};
        }
        text.push_back(c);
    }
    if (units == 0) return {std::nullopt, "JavaHome is empty"};
    return {std::nullopt, "JavaHome lacks its terminating NUL"};
}

}  // namespace corvid
