// The shared block through which a second start hands its arguments to the
// running instance, and the pure rules for what goes into it. The block is
// writable by every process of the user, so the readers here take any bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "platform/text.h"

namespace corvid {

inline constexpr std::size_t kArgumentListSize = 1040;

// Little-endian on every target the launcher runs on (x86-64).
struct InstanceBlock {
    std::uint32_t listenerThreadId;
    std::uint32_t processId;
    std::uint32_t messageId;
    unsigned char argumentList[kArgumentListSize];
};
static_assert(sizeof(InstanceBlock) == 1052, "the block's size is shared with other processes");
static_assert(offsetof(InstanceBlock, listenerThreadId) == 0 && offsetof(InstanceBlock, processId) == 4 &&
                  offsetof(InstanceBlock, messageId) == 8 && offsetof(InstanceBlock, argumentList) == 12,
              "the block's layout is shared with other processes");

// A request's own copy of the argument list, taken out of the shared block.
using ArgumentList = std::array<unsigned char, kArgumentListSize>;

// Each argument in the narrow form followed by a NUL, one more NUL after the
// last, the rest zero. False (and the list untouched) when that takes more
// than `size` bytes.
bool packArguments(const WideList& arguments, unsigned char* list, std::size_t size);
// Reads what packArguments wrote, or any bytes at all: the scan looks at no
// byte past `size`, stops at the first pair of NULs, and drops a string that
// is still open when the list ends. An empty argument thus ends the list, and
// a list without arguments reads as one empty text.
WideList unpackArguments(const unsigned char* list, std::size_t size);

// The executable's path with every backslash turned into "_": the name of the
// channel's objects. Letter case is kept, so it tells paths apart by case.
WideString instanceName(WideView modulePath);

}  // namespace corvid
