// The JVM's "exit" and "abort" hooks, handed over at creation. They keep the
// trace's last line the exit code when the JVM ends the process itself, and
// turn a JVM that ends the process before main runs into a failed start: the
// message with the JVM's own words, and the exit code -1.
#pragma once

#include <string>

#include "java/java_api.h"
#include "platform/text.h"

namespace corvid {

class Launcher;

enum class JvmStage { Creating, LoadingMain, Running };

// The start the hooks act for, from creation on.
void hostJvm(Launcher& launcher, JvmStage stage);
void setJvmStage(JvmStage stage);

void JNICALL jvmExitHook(jint code);
void JNICALL jvmAbortHook();

// Shows the message, ends the trace with the exit code -1 and ends the
// process with it, from a hook inside the JVM.
[[noreturn]] void endFailedStart(Launcher& launcher, const WideString& message);

}  // namespace corvid
