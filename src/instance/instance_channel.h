// Single-instance mode: a second start hands its arguments to the running one.
#pragma once

#include <cstdint>

namespace corvid {

class Launcher;

// Sets singleInstance and isFirstInstance; false when the hand-over failed.
bool openInstanceChannel(Launcher& launcher);
// In a second instance: the running instance's answer, used as exit code.
std::int32_t waitForReply(Launcher& launcher);
void closeInstanceChannel(Launcher& launcher);

}  // namespace corvid
