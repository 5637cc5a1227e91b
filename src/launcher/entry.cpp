#include "launcher/entry.h"

#include "start/launcher.h"

namespace corvid {

std::int32_t runLauncher(Platform& platform, ProcessArguments processArguments) {
    Trace trace = Trace::fromEnvironment(platform.environment);
    Launcher launcher(platform, trace, std::move(processArguments));
    std::int32_t result = -1;
    if (launcher.initialize()) result = launcher.run();
    launcher.shutdown();
    if (trace.enabled()) trace.line("exit code " + std::to_string(result));
    return result;
}

}  // namespace corvid
