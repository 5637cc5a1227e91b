// Points System.out and System.err at the configured files before main runs.
// Only Java's own stream classes are used, so everything the program prints,
// and every exception printed later, lands in them.
#pragma once

#include "java/java_api.h"
#include "platform/text.h"

namespace corvid {

class Launcher;

// Never fails the start: a file that cannot be opened is reported on the
// error stream and its stream keeps its target.
void redirectStandardStreams(Launcher& launcher);
// A new PrintStream over a new FileOutputStream for the path, or null.
jobject openPrintStream(const WideString& path, JNIEnv* env);

}  // namespace corvid
