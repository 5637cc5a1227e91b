#include "platform/text.h"

namespace corvid {

namespace {

void appendUtf16(WideString& out, std::uint32_t cp) {
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
        out.push_back(static_cast<char16_t>(cp));
    }
}

WideString decodeUtf8(std::string_view text, std::vector<std::size_t>* offsets) {
    WideString out;
    out.reserve(text.size());
    const auto emit = [&](std::size_t at, std::uint32_t cp) {
        const std::size_t before = out.size();
        appendUtf16(out, cp);
        if (offsets) offsets->insert(offsets->end(), out.size() - before, at);
    };
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        int extra = 0;
        std::uint32_t cp = 0;
        if (lead < 0x80) {
            cp = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            extra = 1;
            cp = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2;
            cp = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3;
            cp = lead & 0x07;
        } else {
            emit(i, 0xFFFD);
            ++i;
            continue;
        }
        // A sequence cut short by the end of the text is malformed like any
        // other: its lead byte becomes U+FFFD and decoding goes on after it.
        bool valid = i + static_cast<std::size_t>(extra) < text.size();
        for (int k = 1; valid && k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) {
                valid = false;
                break;
            }
            cp = (cp << 6) | (next & 0x3F);
        }
        // An overlong form would let bytes that are not a line break or a
        // slash decode as one; only the modified UTF-8 NUL (C0 80) is kept.
        if (valid && ((extra == 1 && cp < 0x80 && cp != 0) || (extra == 2 && cp < 0x800) || (extra == 3 && cp < 0x10000))) {
            valid = false;
        }
        if (!valid) {
            emit(i, 0xFFFD);
            ++i;
            continue;
        }
        // Modified UTF-8 writes supplementary characters as two encoded
        // surrogates; appending each surrogate as it comes rebuilds the pair.
        emit(i, cp > 0x10FFFF ? 0xFFFD : cp);
        i += static_cast<std::size_t>(extra) + 1;
    }
    if (offsets) offsets->push_back(text.size());
    return out;
}

}  // namespace

WideString fromUtf8(std::string_view text) { return decodeUtf8(text, nullptr); }

WideString fromUtf8(std::string_view text, std::vector<std::size_t>& offsets) {
    offsets.clear();
    return decodeUtf8(text, &offsets);
}

std::string toUtf8(WideView text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

bool equalsIgnoringAsciiCase(WideView a, WideView b) {
    if (a.size() != b.size()) return false;
    auto lower = [](char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c; };
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

bool endsWith(WideView text, char16_t c) { return !text.empty() && text.back() == c; }

bool isWideSpace(char16_t c) {
    // The characters the C library's iswspace accepts in the C and Windows
    // locales: ASCII white space plus the Unicode space separators.
    switch (c) {
        case u' ': case u'\t': case u'\n': case u'\v': case u'\f': case u'\r':
        case 0x85: case 0xA0: case 0x1680: case 0x2028: case 0x2029:
        case 0x202F: case 0x205F: case 0x3000:
            return true;
        default:
            return c >= 0x2000 && c <= 0x200A;
    }
}

WideString trimWideSpace(WideView text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && isWideSpace(text[begin])) ++begin;
    while (end > begin && isWideSpace(text[end - 1])) --end;
    return WideString(text.substr(begin, end - begin));
}

WideString formatText(WideView format, std::initializer_list<FormatArg> args) {
    WideString out;
    auto next = args.begin();
    for (std::size_t i = 0; i < format.size(); ++i) {
        const char16_t c = format[i];
        if (c != u'%' || i + 1 >= format.size()) {
            out.push_back(c);
            continue;
        }
        const char16_t conversion = format[++i];
        if (conversion == u'%') {
            out.push_back(u'%');
        } else if (conversion == u's' || conversion == u'd') {
            if (next == args.end()) continue;
            const FormatArg& arg = *next++;
            if (arg.isText) {
                out.append(arg.text);
            } else {
                out.append(fromAscii(std::to_string(arg.number)));
            }
        } else {
            out.push_back(c);
            out.push_back(conversion);
        }
    }
    return out;
}

WideString fromAscii(std::string_view ascii) { return WideString(ascii.begin(), ascii.end()); }

namespace {

template <typename Text>
std::optional<std::uint64_t> digitsValue(Text text) {
    if (text.empty() || text.size() > 19) return std::nullopt;
    std::uint64_t value = 0;
    for (const auto c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return value;
}

}  // namespace

std::optional<std::uint64_t> parseDigits(WideView text) { return digitsValue(text); }
std::optional<std::uint64_t> parseDigits(std::string_view text) { return digitsValue(text); }

WideString expandPercentReferences(WideView text,
                                   const std::function<std::optional<WideString>(const WideString&)>& lookup) {
    WideString out;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t open = text.find(u'%', pos);
        const std::size_t close = open == WideView::npos ? open : text.find(u'%', open + 1);
        if (close == WideView::npos) break;
        out.append(text.substr(pos, open - pos));
        const WideString name(text.substr(open + 1, close - open - 1));
        const auto value = name.empty() ? std::nullopt : lookup(name);
        if (value) {
            out += *value;
            pos = close + 1;
        } else {
            out.append(text.substr(open, close - open));
            pos = close;
        }
    }
    out.append(text.substr(pos));
    return out;
}

}  // namespace corvid
