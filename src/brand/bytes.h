// Little-endian reading and writing of the structures in executables and
// icon files. Reads are bounds-checked: a field past the end reads as absent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace corvid::brand {

using Bytes = std::vector<std::uint8_t>;

inline std::optional<std::uint32_t> readLe(const Bytes& data, std::size_t offset, std::size_t width) {
    if (offset > data.size() || width > data.size() - offset) return std::nullopt;
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < width; ++i) value |= static_cast<std::uint32_t>(data[offset + i]) << (8 * i);
    return value;
}
inline std::optional<std::uint16_t> read16(const Bytes& data, std::size_t offset) {
    const auto value = readLe(data, offset, 2);
    return value ? std::optional<std::uint16_t>(static_cast<std::uint16_t>(*value)) : std::nullopt;
}
inline std::optional<std::uint32_t> read32(const Bytes& data, std::size_t offset) { return readLe(data, offset, 4); }

// Writes into existing bytes; the caller has made room.
inline void put16(Bytes& data, std::size_t offset, std::uint32_t value) {
    data[offset] = static_cast<std::uint8_t>(value);
    data[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}
inline void put32(Bytes& data, std::size_t offset, std::uint32_t value) {
    put16(data, offset, value & 0xFFFF);
    put16(data, offset + 2, value >> 16);
}
inline void append16(Bytes& data, std::uint32_t value) {
    data.resize(data.size() + 2);
    put16(data, data.size() - 2, value);
}
inline void append32(Bytes& data, std::uint32_t value) {
    data.resize(data.size() + 4);
    put32(data, data.size() - 4, value);
}
inline void padTo(Bytes& data, std::size_t alignment) {
    while (data.size() % alignment != 0) data.push_back(0);
}
inline std::uint64_t alignUp(std::uint64_t value, std::uint64_t alignment) {
    return alignment == 0 ? value : (value + alignment - 1) / alignment * alignment;
}

}  // namespace corvid::brand
