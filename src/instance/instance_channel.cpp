#include "instance/instance_channel.h"

#include "launcher/launcher.h"

namespace corvid {

// Single-instance mode is not built yet: every start runs on its own.
bool openInstanceChannel(Launcher& launcher) {
    launcher.singleInstance = false;
    launcher.isFirstInstance = false;
    return true;
}

std::int32_t waitForReply(Launcher&) { return -1; }

void closeInstanceChannel(Launcher&) {}

}  // namespace corvid
