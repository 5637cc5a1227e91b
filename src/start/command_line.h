// The launcher's own command-line splitting. Only U+0020 separates arguments,
// a double quote opens an argument that the next quote closes at once, and
// there are no backslash escapes or doubled quotes.
#pragma once

#include <optional>

#include "platform/platform.h"
#include "platform/text.h"

namespace corvid {

WideList splitCommandLine(WideView commandLine);
// Trims white space, splits, and drops the program name.
WideList parseCommandLine(WideView commandLine);
WideList parseCommandLine(const ProcessArguments& process);
// True when "-nosplash" or "/nosplash" (exact letter case) is an argument.
bool hasNoSplashSwitch(const WideList& arguments);

}  // namespace corvid
