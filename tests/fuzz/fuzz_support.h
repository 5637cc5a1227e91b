// Shared pieces of the fuzz targets: turning fuzzer bytes into wide text and
// a check that stops the run when a property does not hold.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include <fuzzer/FuzzedDataProvider.h>

#include "platform/text.h"

// Unlike assert, stays active in every build type; the abort is what makes
// libFuzzer keep the input as a crash.
#define FUZZ_CHECK(condition)                                                                  \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "property failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (0)

namespace corvid::fuzz {

// Pairs of bytes as UTF-16LE code units, so every unit (lone surrogates too)
// can occur; an odd last byte is dropped.
inline WideString unitsOf(std::string_view bytes) {
    WideString text;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                             (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    }
    return text;
}

// The bytes read as UTF-8, so that the dictionary's words and the seeds stay
// readable; after a first byte 0xFF, the rest as UTF-16LE units instead.
inline WideString textOf(std::string_view bytes) {
    if (!bytes.empty() && static_cast<unsigned char>(bytes[0]) == 0xFF) return unitsOf(bytes.substr(1));
    return fromUtf8(bytes);
}

// The next text of a multi-part input: up to a line "--" or the end.
inline WideString nextText(std::string_view& bytes) {
    const std::size_t cut = bytes.find("\n--\n");
    const std::string_view part = bytes.substr(0, cut);
    bytes.remove_prefix(cut == std::string_view::npos ? bytes.size() : cut + 4);
    return fromUtf8(part);
}

// Lone surrogates as U+FFFD, which is what they become in UTF-8.
inline WideString withLoneSurrogatesReplaced(WideView text) {
    WideString out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        const bool high = c >= 0xD800 && c <= 0xDBFF;
        if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            out.push_back(c);
            out.push_back(text[++i]);
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            out.push_back(u'\uFFFD');
        } else {
            out.push_back(c);
        }
    }
    return out;
}

inline std::size_t countOf(WideView text, char16_t c) {
    std::size_t n = 0;
    for (const char16_t x : text) n += x == c;
    return n;
}

// True when `part` appears in `text` at or after `from`; moves `from` past it.
inline bool takenFrom(WideView text, WideView part, std::size_t& from) {
    const std::size_t at = text.find(part, from);
    if (at == WideView::npos) return false;
    from = at + part.size();
    return true;
}

}  // namespace corvid::fuzz
