#include "text.h"

#include <cstdio>

namespace corvid_test_jvm {

namespace {

// Windows-1252 differs from Latin-1 only in 0x80..0x9F; 0 marks the five
// bytes it leaves undefined.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void appendUtf16(std::u16string& out, char32_t c) {
    if (c < 0x10000) {
        out += static_cast<char16_t>(c);
    } else {
        c -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (c >> 10));
        out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    }
}

std::u16string decodeUtf8(const std::string& bytes) {
    std::u16string out;
    for (std::size_t i = 0; i < bytes.size();) {
        const unsigned char lead = static_cast<unsigned char>(bytes[i]);
        const int length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
        char32_t c = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
        bool valid = length > 0 && i + length <= bytes.size();
        for (int k = 1; valid && k < length; ++k) {
            const unsigned char next = static_cast<unsigned char>(bytes[i + k]);
            valid = (next >> 6) == 2;
            c = (c << 6) | (next & 0x3F);
        }
        if (valid) {
            appendUtf16(out, c);
            i += length;
        } else {
            out += u'\uFFFD';
            ++i;
        }
    }
    return out;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

}  // namespace

std::u16string decode(const std::string& bytes, Charset charset) {
    if (charset == Charset::Utf8) return decodeUtf8(bytes);
    std::u16string out;
    for (const char byte : bytes) {
        const unsigned char b = static_cast<unsigned char>(byte);
        char16_t c = b;
        if (charset == Charset::Cp1252 && b >= 0x80 && b < 0xA0) c = kCp1252High[b - 0x80] ? kCp1252High[b - 0x80] : u'\uFFFD';
        out += c;
    }
    return out;
}

std::string encode(const std::u16string& text, Charset charset) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        }
        if (charset == Charset::Utf8) {
            appendUtf8(out, c);
            continue;
        }
        char byte = '?';
        if (c < 0x100 && !(charset == Charset::Cp1252 && c >= 0x80 && c < 0xA0)) byte = static_cast<char>(c);
        for (int k = 0; charset == Charset::Cp1252 && k < 32; ++k) {
            if (kCp1252High[k] && kCp1252High[k] == c) byte = static_cast<char>(0x80 + k);
        }
        out += byte;
    }
    return out;
}

std::string toModifiedUtf8(const std::u16string& text) {
    std::string out;
    for (const char16_t unit : text) {
        if (unit == 0) {
            out += "\xC0\x80";
        } else {
            appendUtf8(out, unit);
        }
    }
    return out;
}

std::string escapeBytes(const std::string& bytes) {
    std::string out;
    for (const char byte : bytes) {
        const unsigned char b = static_cast<unsigned char>(byte);
        if (b >= 0x20 && b < 0x7F) {
            out += byte;
        } else {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02x", b);
            out += hex;
        }
    }
    return out;
}

}  // namespace corvid_test_jvm
