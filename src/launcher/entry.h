// The start shared by the Windows and the Linux entry points.
#pragma once

#include <cstdint>

#include "launcher/command_line.h"
#include "platform/platform.h"
#include "platform/text.h"

namespace corvid {

// Runs the three phases over the given platform and returns the exit code:
// -1 when initialisation fails, otherwise the run phase's result.
std::int32_t runLauncher(Platform& platform, ProcessArguments processArguments);

}  // namespace corvid
