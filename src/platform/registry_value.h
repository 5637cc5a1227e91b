// The registry's value types that hold text, by their numbers as Windows
// reports them (REG_SZ, REG_EXPAND_SZ); the Linux stand-in for the registry
// uses the same numbers.
#pragma once

#include <cstdint>

namespace corvid {

inline constexpr std::uint32_t kRegistryString = 1;        // REG_SZ
inline constexpr std::uint32_t kRegistryExpandString = 2;  // REG_EXPAND_SZ

}  // namespace corvid
