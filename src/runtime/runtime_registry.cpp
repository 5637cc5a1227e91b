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

namespace {

enum class TextProblem { None, NotOpened, Missing, ReadFailed, TooLarge, NotString, Empty, TooLong, Unterminated };

// The one decoding of registry text, shared by JavaHome and the other values.
TextProblem decodeText(const RegistryValue& value, WideString& text) {
    switch (value.status) {
    case JavaHomeValue::Status::Found: break;
    case JavaHomeValue::Status::SubkeyNotOpened: return TextProblem::NotOpened;
    case JavaHomeValue::Status::Missing: return TextProblem::Missing;
    case JavaHomeValue::Status::ReadFailed: return TextProblem::ReadFailed;
    case JavaHomeValue::Status::TooLarge: return TextProblem::TooLarge;
    }
    if (value.type != kRegistryString && value.type != kRegistryExpandString) return TextProblem::NotString;
    // A trailing odd byte cannot be part of a character and is ignored.
    const std::size_t units = value.data.size() / 2;
    for (std::size_t i = 0; i < units; ++i) {
        const auto c = static_cast<char16_t>(value.data[2 * i] | (value.data[2 * i + 1] << 8));
        if (c == u'\0') {
            if (text.empty()) return TextProblem::Empty;
            if (text.size() > kMaxJavaHomeLength) return TextProblem::TooLong;
            return TextProblem::None;
        }
        text.push_back(c);
    }
    return units == 0 ? TextProblem::Empty : TextProblem::Unterminated;
}

}  // namespace

DecodedJavaHome decodeJavaHome(const JavaHomeValue& value) {
    WideString text;
    switch (decodeText(value, text)) {
    case TextProblem::None: return {std::move(text), ""};
    case TextProblem::NotOpened: return {std::nullopt, "the subkey cannot be opened"};
    case TextProblem::Missing: return {std::nullopt, "no JavaHome value"};
    case TextProblem::ReadFailed: return {std::nullopt, "JavaHome cannot be read"};
    case TextProblem::TooLarge: return {std::nullopt, "JavaHome is too large"};
    case TextProblem::NotString: return {std::nullopt, "JavaHome is not a string"};
    case TextProblem::Empty: return {std::nullopt, "JavaHome is empty"};
    case TextProblem::TooLong: return {std::nullopt, "JavaHome is longer than a path can be"};
    case TextProblem::Unterminated: return {std::nullopt, "JavaHome lacks its terminating NUL"};
    }
    return {std::nullopt, "JavaHome cannot be read"};
}

DecodedRegistryText decodeRegistryText(const RegistryValue& value, WideView valueName) {
    WideString text;
    const TextProblem problem = decodeText(value, text);
    if (problem == TextProblem::None) return {std::move(text), ""};
    const std::string name = toUtf8(valueName);
    switch (problem) {
    case TextProblem::NotOpened: return {std::nullopt, "the key cannot be opened"};
    case TextProblem::Missing: return {std::nullopt, "no " + name + " value"};
    case TextProblem::TooLarge: return {std::nullopt, name + " is too large"};
    case TextProblem::NotString: return {std::nullopt, name + " is not a string"};
    case TextProblem::Empty: return {std::nullopt, name + " is empty"};
    case TextProblem::TooLong: return {std::nullopt, name + " is longer than a path can be"};
    case TextProblem::Unterminated: return {std::nullopt, name + " lacks its terminating NUL"};
    default: return {std::nullopt, name + " cannot be read"};
    }
}

WideView registryHiveName(RegistryHive hive) {
    return hive == RegistryHive::CurrentUser ? u"HKEY_CURRENT_USER" : u"HKEY_LOCAL_MACHINE";
}

std::optional<WideList> RuntimeRegistry::listKeys(RegistryHive, const WideString&, Trace&) { return std::nullopt; }

RegistryValue RuntimeRegistry::readValue(RegistryHive, const WideString&, WideView) {
    RegistryValue value;
    value.status = RegistryValue::Status::SubkeyNotOpened;
    return value;
}

std::optional<WideList> RuntimeRegistry::listFolder(const WideString&, Trace&) { return std::nullopt; }

}  // namespace corvid
