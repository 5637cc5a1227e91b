#include "runtime/runtime_selection.h"

#include "launcher/launcher.h"

namespace corvid {

// No runtime source is built yet, so no runtime is ever found.
WideString selectRuntime(Launcher&) { return {}; }

}  // namespace corvid
