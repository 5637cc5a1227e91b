// Single-instance mode: a second start hands its arguments to the running one.
#pragma once

#include <cstdint>

#include "platform/text.h"

namespace corvid {

class Launcher;
struct Platform;

// Sets singleInstance and isFirstInstance; false when the hand-over failed.
// A second instance has its answer when this returns; one whose request the
// first instance ended without serving becomes a first instance itself.
bool openInstanceChannel(Launcher& launcher);
// In a second instance: the running instance's answer, used as exit code.
std::int32_t waitForReply(Launcher& launcher);
void closeInstanceChannel(Launcher& launcher);

// The first instance's JVM exists: forwarded requests that came earlier have
// waited for it and go ahead. Does nothing outside a first instance.
void jvmCreatedForInstances(Launcher& launcher);
// DestroyJavaVM has returned: no forwarded request reaches the JVM any more;
// later ones are told that nobody serves them. Does nothing outside a first
// instance.
void jvmDestroyedForInstances(Launcher& launcher);

// What the two [Application] keys ask for, and why, for the trace.
enum class InstanceSwitch { On, NotAsked, Service };
InstanceSwitch readInstanceSwitch(Platform& platform, const WideString& configFile);

}  // namespace corvid
