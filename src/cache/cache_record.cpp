// The archive's sidecar record and the names of the cache's files: which
// name belongs to which key and which process, and the folder they live in.
#include "cache/cache_record.h"

#include "cache/cache_support.h"
#include "config/config_file.h"
#include "start/launcher.h"

namespace corvid {

namespace {

constexpr std::string_view kRecordHeader = "corvid startup cache 1\n";

bool isHash(WideView text) {
    return text.size() == 16 && text.find_first_not_of(u"0123456789abcdef") == WideView::npos;
}

}  // namespace

std::string formatRecord(const ArchiveRecord& record) {
    const std::string attempts = record.attempts ? "attempts " + std::to_string(record.attempts) + "\n" : "";
    return std::string(kRecordHeader) + "state " + record.state + "\nsize " + std::to_string(record.size) +
           "\nmodified " + std::to_string(record.modified) + "\n" + attempts + "key\n" + record.key;
}

std::optional<ArchiveRecord> parseRecord(std::string_view text) {
    if (!startsWith(text, kRecordHeader)) return std::nullopt;
    text.remove_prefix(kRecordHeader.size());
    const auto field = [&text](std::string_view name) -> std::optional<std::string_view> {
        if (!startsWith(text, name)) return std::nullopt;
        const std::size_t end = text.find('\n');
        if (end == std::string_view::npos) return std::nullopt;
        const std::string_view value = text.substr(name.size(), end - name.size());
        text.remove_prefix(end + 1);
        return value;
    };
    ArchiveRecord record;
    const auto state = field("state ");
    const auto size = field("size ");
    const auto modified = field("modified ");
    // Decimal digits that fit a signed 64-bit number; a damaged record is refused, never thrown on.
    const auto number = [](std::optional<std::string_view> digits) -> std::optional<std::int64_t> {
        const auto value = digits ? parseDigits(*digits) : std::nullopt;
        if (!value || *value > static_cast<std::uint64_t>(INT64_MAX)) return std::nullopt;
        return static_cast<std::int64_t>(*value);
    };
    const auto sizeValue = number(size);
    const auto modifiedValue = number(modified);
    // Only in records of a recording; earlier launchers wrote none.
    std::optional<std::int64_t> attempts = 0;
    if (startsWith(text, "attempts ")) attempts = number(field("attempts "));
    if (!state || state->empty() || !sizeValue || !modifiedValue || !attempts || *attempts > 1000 || !field("key")) {
        return std::nullopt;
    }
    record.attempts = static_cast<unsigned>(*attempts);
    record.state = std::string(*state);
    record.size = static_cast<std::uint64_t>(*sizeValue);
    record.modified = *modifiedValue;
    record.key = std::string(text);
    return record;
}

bool hasDynamicArchiveMagic(std::string_view head) {
    // 0xf00baba8, little-endian, as the JVM writes it at exit.
    return head.size() >= 4 && head.substr(0, 4) == std::string_view("\xa8\xab\x0b\xf0", 4);
}

bool hasAotCacheMagic(std::string_view head) {
    // 0xf00baba2, little-endian: a static archive, which the AOT cache is.
    return head.size() >= 4 && head.substr(0, 4) == std::string_view("\xa2\xab\x0b\xf0", 4);
}

WideString applicationPrefix(const WideString& modulePath) {
    WideString name = modulePath.substr(modulePath.rfind(kPathSeparator) + 1);
    const std::size_t dot = name.rfind(u'.');
    if (dot != WideString::npos && dot > 0) name.resize(dot);
    return name + u"-";
}

bool isKeyFile(WideView name, WideView prefix, WideView suffix) {
    return name.size() == prefix.size() + 16 + suffix.size() && startsWith(name, prefix) && endsWith(name, suffix) &&
           isHash(name.substr(prefix.size(), 16));
}

std::optional<std::uint32_t> processOfName(WideView name, WideView prefix, WideView suffix) {
    const std::size_t digitsAt = prefix.size() + 17;
    if (name.size() <= digitsAt + suffix.size() || !startsWith(name, prefix) || !endsWith(name, suffix) ||
        !isHash(name.substr(prefix.size(), 16)) || name[digitsAt - 1] != u'.') {
        return std::nullopt;
    }
    const WideView digits = name.substr(digitsAt, name.size() - digitsAt - suffix.size());
    if (digits.size() > 10 || (digits[0] == u'0' && digits.size() > 1)) return std::nullopt;
    const auto id = parseDigits(digits);
    if (!id || *id > 0xFFFFFFFFull) return std::nullopt;
    return static_cast<std::uint32_t>(*id);
}

std::optional<WideString> cacheFolderFor(Launcher& launcher) {
    Environment& environment = launcher.platform.environment;
#ifdef _WIN32
    const WideString root = environment.get(u"LOCALAPPDATA").value_or(WideString());
#else
    WideString root = environment.get(u"XDG_CACHE_HOME").value_or(WideString());
    if (root.empty()) {
        const WideString home = environment.get(u"HOME").value_or(WideString());
        if (!home.empty()) root = home + u"/.cache";
    }
#endif
    if (root.empty()) return std::nullopt;
    const ModulePath module = launcher.platform.process.modulePath();
    if (!module.ok) return std::nullopt;
    // The per-user file's folder rules, with the cache root in place of APPDATA;
    // empty names add no level.
    const WideString file = userConfigFilePathFor(root, launcher.productName, launcher.productCode, module.path);
    WideString folder = root;
    const WideView levels = WideView(file).substr(root.size(), file.rfind(kPathSeparator) - root.size());
    for (std::size_t start = 0; start < levels.size();) {
        std::size_t end = levels.find(kPathSeparator, start);
        if (end == WideView::npos) end = levels.size();
        if (end > start) {
            folder += kPathSeparator;
            folder += levels.substr(start, end - start);
        }
        start = end + 1;
    }
    folder += kPathSeparator;
    return folder + WideString(kCacheFolderName);
}

}  // namespace corvid
