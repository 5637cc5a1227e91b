// Single-instance mode: a second start hands its arguments to the running one.
#pragma once

#include <cstdint>

#include "platform/text.h"

namespace corvid {

class Launcher;
struct Platform;

// Sets singleInstance and isFirstInstance; false when the hand-over failed.
bool openInstanceChannel(Launcher& launcher);
// In a second instance: the running instance's answer, used as exit code.
std::int32_t waitForReply(Launcher& launcher);
void closeInstanceChannel(Launcher& launcher);

// The first instance's JVM as the forwarded requests see it: requests that
// come before jvmCreatedForInstances wait for it; from jvmClosingForInstances
// on, none reaches the JVM. Both do nothing outside a first instance.
void jvmCreatedForInstances(Launcher& launcher);
void jvmClosingForInstances(Launcher& launcher);

// What the two [Application] keys ask for, and why, for the trace.
enum class InstanceSwitch { On, NotAsked, Service };
InstanceSwitch readInstanceSwitch(Platform& platform, const WideString& configFile);

}  // namespace corvid
