// Chooses the JVM library to load.
#pragma once

#include "launcher/text.h"

namespace corvid {

class Launcher;

// The full path of the JVM library, or empty when no runtime was found.
WideString selectRuntime(Launcher& launcher);

}  // namespace corvid
