// What a program reads as the options its JVM was started with
// (RuntimeMXBean.getInputArguments(), the list a program that restarts
// itself hands to a new `java`): the options as java would hand them over,
// never the hooks, the logging switch or the start-up cache's options the
// launcher adds for itself. HotSpot lists every option string it was given,
// so after creation, before anything has asked, the native method behind
// that list is bound to the launcher's own list. HotSpot's own diagnostics
// (jcmd VM.command_line, jps -v) keep the full list.
#pragma once

#include "start/launcher.h"

namespace corvid {

// The options among `options` that the program may see: all but those the
// JVM itself keeps out of its list (the class path, sun.java.command,
// sun.java.launcher), which java sets.
JvmOptionList inputArgumentsOf(const JvmOptionList& options);

// Keeps HotSpot's warning about a rebound platform method (unified logging,
// on standard output) out of the program's output.
inline constexpr char kQuietRebinding[] = "-Xlog:jni+resolve=off";

// Whether the JVM library answers JNI 9: a runtime of version 9 or later,
// whose unified logging takes kQuietRebinding. Older ones would refuse the
// option, so their list is left as it is.
bool jvmHasUnifiedLogging(Launcher& launcher);

// Binds sun.management.VMManagementImpl.getVmArguments0 to
// launcher.inputArguments on the calling (Java) thread when
// launcher.rebindInputArguments is set; a trace line tells when it cannot
// (a runtime without java.management, or one before 9).
void bindInputArguments(Launcher& launcher);

}  // namespace corvid
