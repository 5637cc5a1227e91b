// Loading the JVM library, creating the JVM on the Java thread, and
// destroying it at teardown.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/text.h"
#include "start/messages.h"

namespace corvid {

class Launcher;

// Loads jvmLibraryPath and resolves both JNI exports. False after message 222
// (not loadable) or 202 with 212 (an export missing) has been shown.
bool loadJvmLibrary(Launcher& launcher);
// Creates the JVM with jvmOptions on the calling thread and stores javaVm and
// jniEnv. False after message 203 with 213 and the reason has been shown.
bool createJavaVm(Launcher& launcher);
// The reason text of a JNI_CreateJavaVM result; none for unlisted codes.
std::optional<MessageId> jniErrorReason(std::int32_t result);
// Message 203 with 213 for a JVM that refused to start. Where the code says
// no more than "unknown" (JNI_ERR, or a JVM that ends the process), the JVM's
// own words are the reason when it said any; otherwise they follow the
// message.
WideString creationFailureMessage(UserInterface& ui, std::optional<MessageId> reason, const std::string& jvmText);
// Waits in DestroyJavaVM for the program's last non-daemon thread; nothing
// when no JVM was created.
void destroyJavaVm(Launcher& launcher);

}  // namespace corvid
