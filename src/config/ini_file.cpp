#include "config/ini_file.h"

#include <vector>

namespace corvid {

namespace {

bool isBlank(char16_t c) { return c == u' ' || c == u'\t'; }

WideView trimBlanks(WideView text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

struct Line {
    WideView text;       // without its line break
    std::size_t begin;   // offset of the line in the content
    std::size_t end;     // offset just past its line break
};

std::vector<Line> splitLines(WideView content) {
    std::vector<Line> lines;
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t stop = start;
        while (stop < content.size() && content[stop] != u'\n' && content[stop] != u'\r') ++stop;
        std::size_t next = stop;
        if (next < content.size() && content[next] == u'\r') ++next;
        if (next < content.size() && content[next] == u'\n') ++next;
        lines.push_back({content.substr(start, stop - start), start, next});
        start = next;
    }
    return lines;
}

// The section name of a "[name]" line, or nullopt for any other line.
std::optional<WideView> sectionName(WideView line) {
    line = trimBlanks(line);
    if (line.empty() || line.front() != u'[') return std::nullopt;
    const std::size_t close = line.find(u']');
    const WideView name = line.substr(1, close == WideView::npos ? WideView::npos : close - 1);
    return trimBlanks(name);
}

struct KeyLine {
    WideView key;
    WideView value;
};

KeyLine splitKeyLine(WideView line) {
    const std::size_t equals = line.find(u'=');
    if (equals == WideView::npos) return {trimBlanks(line), WideView()};
    return {trimBlanks(line.substr(0, equals)), trimBlanks(line.substr(equals + 1))};
}

WideView unquote(WideView value) {
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

}  // namespace

namespace {

bool startsWithUtf16Bom(std::string_view bytes) {
    return bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
           static_cast<unsigned char>(bytes[1]) == 0xFE;
}

// Well-formed UTF-8: shortest forms only, no surrogates, nothing above U+10FFFF.
bool isUtf8(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        const unsigned char lead = static_cast<unsigned char>(bytes[i]);
        std::size_t length = 0;
        unsigned char low = 0x80, high = 0xBF;
        if (lead < 0x80) length = 1;
        else if (lead >= 0xC2 && lead <= 0xDF) length = 2;
        else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0) low = 0xA0;
            if (lead == 0xED) high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0) low = 0x90;
            if (lead == 0xF4) high = 0x8F;
        } else {
            return false;
        }
        if (i + length > bytes.size()) return false;
        for (std::size_t k = 1; k < length; ++k) {
            const unsigned char c = static_cast<unsigned char>(bytes[i + k]);
            if (c < (k == 1 ? low : 0x80) || c > (k == 1 ? high : 0xBF)) return false;
        }
        i += length;
    }
    return true;
}

// Narrow text decoded line by line, so that every line start, line text end
// and line break maps onto its byte offset (the only places an edit touches);
// the units inside a line map to the line's start.
WideString decodeNarrowLines(std::string_view bytes, std::vector<std::size_t>* offsets) {
    WideString content;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t stop = bytes.find_first_of("\r\n", start);
        if (stop == std::string_view::npos) stop = bytes.size();
        const WideString line = fromNarrow(bytes.substr(start, stop - start));
        if (offsets) offsets->insert(offsets->end(), line.size(), start);
        content += line;
        if (stop < bytes.size()) {
            if (offsets) offsets->push_back(stop);
            content.push_back(static_cast<char16_t>(bytes[stop]));
            ++stop;
        }
        start = stop;
    }
    if (offsets) offsets->push_back(bytes.size());
    return content;
}

}  // namespace

IniEncoding detectIniEncoding(std::string_view bytes) {
    if (startsWithUtf16Bom(bytes)) return IniEncoding::Utf16LeBom;
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") return IniEncoding::Utf8Bom;
    return isUtf8(bytes) ? IniEncoding::Utf8 : IniEncoding::Ansi;
}

IniText decodeIniBytes(std::string_view bytes) {
    IniText text;
    text.encoding = detectIniEncoding(bytes);
    switch (text.encoding) {
        case IniEncoding::Utf16LeBom:
            for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
                text.content.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                                             (static_cast<unsigned char>(bytes[i + 1]) << 8)));
            }
            break;
        case IniEncoding::Utf8Bom: text.content = fromUtf8(bytes.substr(3)); break;
        case IniEncoding::Utf8: text.content = fromUtf8(bytes); break;
        case IniEncoding::Ansi: text.content = decodeNarrowLines(bytes, nullptr); break;
    }
    return text;
}

std::string encodeIniText(const IniText& text) {
    switch (text.encoding) {
        case IniEncoding::Utf16LeBom: {
            std::string out("\xFF\xFE");
            for (const char16_t c : text.content) {
                out.push_back(static_cast<char>(c & 0xFF));
                out.push_back(static_cast<char>(c >> 8));
            }
            return out;
        }
        case IniEncoding::Utf8Bom:
            return "\xEF\xBB\xBF" + toUtf8(text.content);
        case IniEncoding::Ansi:
            return toNarrow(text.content);
        case IniEncoding::Utf8:
            break;
    }
    return toUtf8(text.content);
}

std::optional<WideString> findIniValue(WideView content, WideView section, WideView key) {
    bool inSection = false;
    bool sectionSeen = false;
    for (const Line& line : splitLines(content)) {
        if (const auto name = sectionName(line.text)) {
            // Only the first section of a name counts; its keys end at the next header.
            if (sectionSeen) return std::nullopt;
            inSection = equalsIgnoringAsciiCase(*name, section);
            sectionSeen = inSection;
            continue;
        }
        if (!inSection) continue;
        const KeyLine entry = splitKeyLine(line.text);
        if (!entry.key.empty() && equalsIgnoringAsciiCase(entry.key, key)) return WideString(unquote(entry.value));
    }
    return std::nullopt;
}

namespace {

// A change to the content: the characters [begin, end) give way to `text`.
struct IniEdit {
    std::size_t begin;
    std::size_t end;
    WideString text;
};

IniEdit planIniValue(WideView content, WideView section, WideView key, WideView value) {
    const std::vector<Line> lines = splitLines(content);
    WideString entry = WideString(key) + u"=" + WideString(value);
    bool inSection = false;
    std::optional<std::size_t> sectionEnd;  // where a new key of the section goes
    for (const Line& line : lines) {
        if (const auto name = sectionName(line.text)) {
            if (inSection) break;
            inSection = equalsIgnoringAsciiCase(*name, section);
            if (inSection) sectionEnd = line.end;
            continue;
        }
        if (!inSection) continue;
        const KeyLine existing = splitKeyLine(line.text);
        if (!existing.key.empty() && equalsIgnoringAsciiCase(existing.key, key)) {
            return {line.begin, line.begin + line.text.size(), std::move(entry)};
        }
        if (!trimBlanks(line.text).empty()) sectionEnd = line.end;
    }
    const bool openLine = !content.empty() && content.back() != u'\n' && content.back() != u'\r';
    if (sectionEnd) {
        WideString insert = entry + u"\r\n";
        if (*sectionEnd > 0 && content[*sectionEnd - 1] != u'\n' && content[*sectionEnd - 1] != u'\r') {
            insert = u"\r\n" + insert;
        }
        return {*sectionEnd, *sectionEnd, std::move(insert)};
    }
    WideString added = openLine ? u"\r\n" : u"";
    added += u"[" + WideString(section) + u"]\r\n" + entry + u"\r\n";
    return {content.size(), content.size(), std::move(added)};
}

}  // namespace

WideString setIniValue(WideView content, WideView section, WideView key, WideView value) {
    const IniEdit edit = planIniValue(content, section, key, value);
    WideString result(content.substr(0, edit.begin));
    result += edit.text;
    result += content.substr(edit.end);
    return result;
}

std::optional<std::string> setIniValueInBytes(std::string_view bytes, WideView section, WideView key,
                                              WideView value) {
    const IniText decoded = decodeIniBytes(bytes);
    // Where each unit of the decoded content starts in the bytes.
    std::vector<std::size_t> offsets;
    if (decoded.encoding == IniEncoding::Utf16LeBom) {
        for (std::size_t i = 0; i <= decoded.content.size(); ++i) offsets.push_back(2 + 2 * i);
    } else if (decoded.encoding == IniEncoding::Ansi) {
        decodeNarrowLines(bytes, &offsets);
    } else {
        const std::size_t bom = decoded.encoding == IniEncoding::Utf8Bom ? 3 : 0;
        fromUtf8(bytes.substr(bom), offsets);
        for (std::size_t& offset : offsets) offset += bom;
    }
    const IniEdit edit = planIniValue(decoded.content, section, key, value);
    std::string inserted;
    if (decoded.encoding == IniEncoding::Utf16LeBom) {
        for (const char16_t c : edit.text) {
            inserted.push_back(static_cast<char>(c & 0xFF));
            inserted.push_back(static_cast<char>(c >> 8));
        }
    } else if (decoded.encoding == IniEncoding::Ansi) {
        inserted = toNarrow(edit.text);
        // The code page would put its default character where a name it
        // cannot hold was: the value would read back as another path.
        if (fromNarrow(inserted) != edit.text) return std::nullopt;
    } else {
        inserted = toUtf8(edit.text);
    }
    std::string result(bytes.substr(0, offsets[edit.begin]));
    result += inserted;
    result += bytes.substr(offsets[edit.end]);
    return result;
}

}  // namespace corvid
