#include "ui/link_text.h"

#include <climits>
#include <string>

namespace corvid {

namespace {

// The C runtime's blanks for wcstol.
bool isLeadingBlank(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

// wcstol(text, nullptr, 10) with the 32-bit long of the Windows C runtime:
// out-of-range values saturate.
std::int32_t readLong(std::u16string_view text) {
    std::size_t pos = 0;
    while (pos < text.size() && isLeadingBlank(text[pos])) ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == u'+' || text[pos] == u'-')) negative = text[pos++] == u'-';
    std::int64_t magnitude = 0;
    for (; pos < text.size() && text[pos] >= u'0' && text[pos] <= u'9'; ++pos) {
        magnitude = magnitude * 10 + (text[pos] - u'0');
        if (magnitude > std::int64_t{INT32_MAX} + 1) magnitude = std::int64_t{INT32_MAX} + 1;
    }
    if (negative) return static_cast<std::int32_t>(-magnitude);
    return magnitude > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(magnitude);
}

std::uint8_t lowByte(std::int32_t value) { return static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) & 0xFF); }

}  // namespace

std::optional<ColourRef> parseColourValue(std::uint32_t type, const std::uint8_t* data, std::size_t size) {
    if (size > kColourValueCapacity) return std::nullopt;
    if (type != kRegistryString && type != kRegistryExpandString) return std::nullopt;
    if (size % 2 != 0) return std::nullopt;
    std::u16string text;
    for (std::size_t i = 0; i < size; i += 2) text.push_back(static_cast<char16_t>(data[i] | data[i + 1] << 8));
    if (!text.empty() && text.back() != u'\0') return std::nullopt;
    // The text is what a C string reader sees: up to the first NUL.
    text.resize(text.find(u'\0') == std::u16string::npos ? text.size() : text.find(u'\0'));

    std::u16string_view rest(text);
    std::int32_t numbers[2];
    for (std::int32_t& number : numbers) {
        const std::size_t comma = rest.find(u',');
        if (comma == std::u16string_view::npos) return std::nullopt;
        number = readLong(rest.substr(0, comma));
        if (number == -1) return std::nullopt;
        rest.remove_prefix(comma + 1);
    }
    if (rest.empty()) return std::nullopt;
    return makeColour(lowByte(numbers[0]), lowByte(numbers[1]), lowByte(readLong(rest)));
}

TextAlignment alignmentOfStatic(std::uint32_t style) {
    if (style & kStaticCenter) return TextAlignment::Center;
    if (style & kStaticRight) return TextAlignment::Right;
    return TextAlignment::Left;
}

TextRect placeMeasuredText(const TextRect& client, const TextRect& measured, TextAlignment alignment) {
    int shift = 0;
    if (alignment == TextAlignment::Center) shift = (client.right - measured.right) / 2;
    if (alignment == TextAlignment::Right) shift = client.right - measured.right;
    TextRect placed = measured;
    placed.left += shift;
    placed.right += shift;
    return placed;
}

}  // namespace corvid
