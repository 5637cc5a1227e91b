// The INI reader and writer on arbitrary file bytes (UTF-8 with or without a
// byte order mark, UTF-16LE, ANSI): the decoded text is never longer than the file
// and encodes back to it; a value read is a piece of one line; a written
// value reads back, every other line of the file keeps its bytes, and no
// other key reads differently.
#include "config/ini_file.h"
#include "fuzz_support.h"

using namespace corvid;

namespace {

// The file as units that map one to one onto its bytes (UTF-8 and unknown
// encodings byte by byte, UTF-16LE unit by unit), cut into lines.
// The byte order mark is not part of the first line.
WideList rawLines(std::string_view bytes) {
    const bool utf16 = bytes.size() >= 2 && bytes.substr(0, 2) == "\xFF\xFE";
    if (utf16) bytes.remove_prefix(2);
    if (!utf16 && bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    const WideString units = utf16 ? fuzz::unitsOf(bytes) : WideString(bytes.begin(), bytes.end());
    WideList lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= units.size(); ++i) {
        if (i == units.size() || units[i] == u'\n' || units[i] == u'\r') {
            if (i > start) lines.push_back(units.substr(start, i - start));
            start = i + 1;
        }
    }
    return lines;
}

bool hasLineBreak(WideView text) { return text.find_first_of(u"\r\n") != WideView::npos; }
bool isBlank(char16_t c) { return c == u' ' || c == u'\t'; }
bool blankEdged(WideView text) { return !text.empty() && (isBlank(text.front()) || isBlank(text.back())); }

// Names and a value that the file's syntax can hold unchanged.
bool writable(WideView section, WideView key, WideView value) {
    if (hasLineBreak(section) || section.find(u']') != WideView::npos || blankEdged(section)) return false;
    if (key.empty() || hasLineBreak(key) || key.find(u'=') != WideView::npos || blankEdged(key) || key[0] == u'[') {
        return false;
    }
    const bool quoted = value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front();
    return !hasLineBreak(value) && !blankEdged(value) && !quoted;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider provider(data, size);
    const WideString section = fuzz::withLoneSurrogatesReplaced(fromUtf8(provider.ConsumeRandomLengthString(40)));
    const WideString key = fuzz::withLoneSurrogatesReplaced(fromUtf8(provider.ConsumeRandomLengthString(40)));
    const WideString value = fuzz::withLoneSurrogatesReplaced(fromUtf8(provider.ConsumeRandomLengthString(60)));
    const WideString otherKey = fromUtf8(provider.ConsumeRandomLengthString(40));
    const std::string bytes = provider.ConsumeRemainingBytesAsString();

    const IniText text = decodeIniBytes(bytes);
    FUZZ_CHECK(text.content.size() <= bytes.size());
    if (text.encoding == IniEncoding::Utf16LeBom) {
        FUZZ_CHECK(text.content.size() == (bytes.size() - 2) / 2);
        if (bytes.size() % 2 == 0) FUZZ_CHECK(encodeIniText(text) == bytes);
    } else {
        const IniText again = decodeIniBytes(encodeIniText(text));
        // Bytes that are not UTF-8 need not encode back to bytes that are not.
        FUZZ_CHECK(again.encoding == text.encoding || text.encoding == IniEncoding::Ansi);
        FUZZ_CHECK(again.content == fuzz::withLoneSurrogatesReplaced(text.content));
    }

    const auto before = findIniValue(text.content, section, key);
    if (before) {
        FUZZ_CHECK(!hasLineBreak(*before));
        FUZZ_CHECK(text.content.find(*before) != WideString::npos);
    }
    const auto otherBefore = findIniValue(text.content, section, otherKey);

    const auto changed = setIniValueInBytes(bytes, section, key, value);
    // Only an ANSI file can refuse a value, and on Linux every text is narrow text.
    FUZZ_CHECK(changed.has_value());
    const std::string written = *changed;
    // The file's lines are all still there, bar the one that was replaced:
    // the new text only ever has more lines, so the lines before and after
    // the change are a common head and tail.
    const WideList oldLines = rawLines(bytes);
    const WideList newLines = rawLines(written);
    std::size_t head = 0;
    while (head < oldLines.size() && head < newLines.size() && oldLines[head] == newLines[head]) ++head;
    std::size_t tail = 0;
    while (head + tail < oldLines.size() && head + tail < newLines.size() &&
           oldLines[oldLines.size() - 1 - tail] == newLines[newLines.size() - 1 - tail]) {
        ++tail;
    }
    FUZZ_CHECK(oldLines.size() - head - tail <= (before ? 1u : 0u));
    const std::size_t bom = text.encoding == IniEncoding::Utf8Bom ? 3 : (text.encoding == IniEncoding::Utf16LeBom ? 2 : 0);
    FUZZ_CHECK(written.substr(0, bom) == bytes.substr(0, bom));

    const IniText after = decodeIniBytes(written);
    // An ANSI file whose only bytes outside UTF-8 were on the replaced line is UTF-8 now.
    FUZZ_CHECK(after.encoding == text.encoding || bytes.empty() || text.encoding == IniEncoding::Ansi);
    // The portable writer and the byte writer make the same change.
    if (encodeIniText(text) == bytes) FUZZ_CHECK(toUtf8(after.content) == toUtf8(setIniValue(text.content, section, key, value)));

    if (writable(section, key, value)) {
        FUZZ_CHECK(findIniValue(after.content, section, key) == value);
        if (!equalsIgnoringAsciiCase(otherKey, key)) {
            FUZZ_CHECK(findIniValue(after.content, section, otherKey) == otherBefore);
        }
    }
    return 0;
}
