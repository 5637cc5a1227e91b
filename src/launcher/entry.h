// The start shared by the Windows and the Linux entry points.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "platform/text.h"
#include "start/command_line.h"

namespace corvid {

// Runs the three phases over the given platform and returns the exit code:
// -1 when initialisation fails, otherwise the run phase's result.
std::int32_t runLauncher(Platform& platform, ProcessArguments processArguments);

// The console variant's platform on Windows: the system's, but message boxes
// and the runtime-not-found dialog become lines on standard error.
Platform& consolePlatform();

class Launcher;
// Makes the executable's folder the current directory; any failure is ignored.
void applyWorkingDirOverride(Launcher& launcher);

}  // namespace corvid
