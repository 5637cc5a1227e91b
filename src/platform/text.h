// Text helpers shared by every subsystem. Wide text is UTF-16 (std::u16string);
// narrow text is whatever the outside world takes as bytes: the thread's ANSI
// code page on Windows, UTF-8 elsewhere. All narrow conversions live here.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvid {

using WideString = std::u16string;
using WideView = std::u16string_view;
using WideList = std::vector<WideString>;

// Wide text to the platform's narrow form; unmappable characters become the
// code page's default character.
std::string toNarrow(WideView text);
// Narrow platform text to wide.
WideString fromNarrow(std::string_view text);

// UTF-8 (also the modified UTF-8 that JNI hands out) to UTF-16; malformed
// bytes become U+FFFD instead of being dropped silently.
WideString fromUtf8(std::string_view text);
// The same, also giving for each unit of the result the offset of the bytes it
// was decoded from, followed by one entry holding text.size().
WideString fromUtf8(std::string_view text, std::vector<std::size_t>& offsets);
std::string toUtf8(WideView text);

// Compares ignoring the case of the ASCII letters A to Z only.
bool equalsIgnoringAsciiCase(WideView a, WideView b);
bool endsWith(WideView text, char16_t c);
inline bool endsWith(WideView text, WideView suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}
inline bool startsWith(WideView text, WideView prefix) { return text.substr(0, prefix.size()) == prefix; }
inline bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}
bool isWideSpace(char16_t c);
WideString trimWideSpace(WideView text);

// printf-style formatting with the two conversions the message table uses:
// "%s" inserts the next text argument, "%d" the next signed 32-bit integer.
// "%%" yields "%". A conversion without an argument inserts nothing.
struct FormatArg {
    FormatArg(WideView t) : isText(true), text(t) {}
    FormatArg(const WideString& t) : isText(true), text(t) {}
    FormatArg(const char16_t* t) : isText(true), text(t) {}
    FormatArg(std::int32_t n) : isText(false), number(n) {}
    bool isText;
    WideView text;
    std::int32_t number = 0;
};
WideString formatText(WideView format, std::initializer_list<FormatArg> args);

WideString fromAscii(std::string_view ascii);

// Decimal digits only (no sign, no blanks), at most 19 of them so that the
// value fits; nullopt for any other text, the empty text included.
std::optional<std::uint64_t> parseDigits(WideView text);
std::optional<std::uint64_t> parseDigits(std::string_view text);

// Replaces every %NAME% for which `lookup` has a value; references it has no
// value for stay as written, and their closing "%" may open the next one.
WideString expandPercentReferences(WideView text,
                                   const std::function<std::optional<WideString>(const WideString&)>& lookup);

}  // namespace corvid
