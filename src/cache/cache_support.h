// What every file of the cache uses and nothing outside cache/ does: its
// trace lines, and the pieces its file names and paths are made of.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "platform/text.h"
#include "start/launcher.h"

namespace corvid {

template <typename... Pieces>
void traceLine(Launcher& launcher, const Pieces&... pieces) {
    launcher.trace.line("startup cache: ", pieces...);
}

inline WideString decimal(std::uint64_t value) { return fromAscii(std::to_string(value)); }

inline WideString joinPath(const WideString& folder, WideView name) {
    WideString path = folder;
    path += kPathSeparator;
    path += name;
    return path;
}

}  // namespace corvid
