// A Java runtime version: four signed parts (major, minor, micro, update)
// and how many number groups the text held (5 when more followed the fourth).
#pragma once

#include <array>
#include <cstdint>

#include "platform/text.h"

namespace corvid {

struct JavaVersion {
    static constexpr std::int32_t kOpenUpper = 65535;

    std::array<std::int32_t, 4> parts{0, 0, 0, 0};
    std::int32_t count = 0;

    static JavaVersion openLower() { return {{0, 0, 0, 0}, 4}; }
    static JavaVersion openUpper() { return {{kOpenUpper, kOpenUpper, kOpenUpper, kOpenUpper}, 4}; }

    // Reads the digit groups of `text`, anything else separating them; parts
    // the text does not give become `fill`. On failure everything is 0.
    bool parse(WideView text, std::int32_t fill);
    bool isOpen() const;
    WideString format() const;
    // <0, 0, >0 by the four parts, major first; count plays no part.
    static int compare(const JavaVersion& a, const JavaVersion& b);
    // True when this wanted version's first `count` groups equal v's (and for
    // a count of 5, v also had five or more groups).
    bool isPrefixOf(const JavaVersion& v) const;
};

// The configured bounds: the exact text "any" opens them, and so does an empty
// upper bound; anything else is read with fill 0 (lower) or 65535 (upper), a
// failed read leaving 0.0.0.0.
JavaVersion readLowerBound(WideView text);
JavaVersion readUpperBound(WideView text);

}  // namespace corvid
