#include "runtime/release_file.h"

#include <algorithm>

namespace corvid {

std::optional<std::string> parseReleaseVersion(std::string_view content) {
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    constexpr std::string_view kKey = "JAVA_VERSION=";
    if (content.substr(0, kByteOrderMark.size()) == kByteOrderMark) content.remove_prefix(kByteOrderMark.size());
    while (!content.empty()) {
        const std::size_t end = std::min(content.find('\n'), content.size());
        std::string_view line = content.substr(0, end);
        content.remove_prefix(std::min(end + 1, content.size()));
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.substr(0, kKey.size()) != kKey) continue;
        std::string_view value = line.substr(kKey.size());
        if (!value.empty() && value.front() == '"') {
            const std::size_t close = value.find('"', 1);
            if (close == std::string_view::npos) return std::nullopt;
            value = value.substr(1, close - 1);
        }
        if (value.empty()) return std::nullopt;
        for (const char c : value) {
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return std::nullopt;
        }
        return std::string(value);
    }
    return std::nullopt;
}

std::optional<WideString> readReleaseVersion(FileSystem& files, const WideString& runtimeFolder) {
    WideString path = runtimeFolder;
    if (path.empty() || path.back() != kPathSeparator) path += kPathSeparator;
    path += u"release";
    const auto content = files.readFile(path, kReleaseFileLimit + 1);
    if (!content || content->size() > kReleaseFileLimit) return std::nullopt;
    const auto version = parseReleaseVersion(*content);
    if (!version) return std::nullopt;
    return fromUtf8(*version);
}

}  // namespace corvid
