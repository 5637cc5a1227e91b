// The portable parts of the link control: reading a link colour from the
// text the browser settings keep, and placing the measured text inside the
// control the way the static control's alignment places it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "platform/registry_value.h"

namespace corvid {

// A colour as the system stores it: 0x00BBGGRR.
using ColourRef = std::uint32_t;

inline constexpr ColourRef makeColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return static_cast<ColourRef>(red) | static_cast<ColourRef>(green) << 8 | static_cast<ColourRef>(blue) << 16;
}

inline constexpr ColourRef kDefaultLinkColour = makeColour(0, 0, 255);
inline constexpr ColourRef kDefaultVisitedColour = makeColour(128, 0, 128);

// The colour values are read into a buffer of this many bytes; a longer value
// does not fit and is not read at all.
inline constexpr std::size_t kColourValueCapacity = 24;

// The colour in a registry value "red,green,blue" of `type` whose stored bytes
// are `data` (UTF-16, little-endian, NUL-terminated). nullopt, so that the
// caller keeps its colour, when the value does not fit the buffer, is not
// text, is not NUL-terminated, lacks a comma, or has a first or second number
// that reads as -1. Numbers read like a base-10 long (blanks and a sign
// first, 0 without digits) and are cut to their low 8 bits.
std::optional<ColourRef> parseColourValue(std::uint32_t type, const std::uint8_t* data, std::size_t size);

struct TextRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool operator==(const TextRect& other) const {
        return left == other.left && top == other.top && right == other.right && bottom == other.bottom;
    }
};

// Static control styles that set the text's alignment.
inline constexpr std::uint32_t kStaticCenter = 0x1;
inline constexpr std::uint32_t kStaticRight = 0x2;

enum class TextAlignment { Left, Center, Right };
TextAlignment alignmentOfStatic(std::uint32_t style);

// Where the text measured at the left of the client area (DT_CALCRECT always
// measures from the left edge) is drawn: moved right by half the room left
// (centred, rounded toward zero) or all of it (right-aligned).
TextRect placeMeasuredText(const TextRect& client, const TextRect& measured, TextAlignment alignment);

}  // namespace corvid
