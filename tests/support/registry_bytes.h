// What registry values hold, as bytes, for tests of code that reads them.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace corvid::testing {

// The bytes a registry string value stores: UTF-16 little-endian, with the
// terminating NUL unless `terminated` is false.
inline std::vector<std::uint8_t> registryText(std::u16string_view text, bool terminated = true) {
    std::vector<std::uint8_t> bytes;
    for (const char16_t c : text) {
        bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    if (terminated) bytes.insert(bytes.end(), {0, 0});
    return bytes;
}

}  // namespace corvid::testing
