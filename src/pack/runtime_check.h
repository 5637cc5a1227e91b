// The runtime that --runtime bundles: a Java runtime for the target whose
// JVM library the 64-bit launcher can load, checked before anything is
// copied, since a wrong one would only fail on the user's machine.
#pragma once

#include <string>

#include "pack/options.h"
#include "platform/platform.h"
#include "platform/text.h"

namespace corvid::pack {

// Empty when `folder` (a path of this system) is such a runtime; else why
// not, naming the folder or the library.
std::string runtimeProblem(FileSystem& files, const WideString& folder, Target target);

}  // namespace corvid::pack
