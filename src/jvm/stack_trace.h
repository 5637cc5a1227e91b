// The report of an exception that escaped main.
#pragma once

#include "java/java_api.h"
#include "platform/text.h"

namespace corvid {

class Launcher;

// What the throwable's printStackTrace writes, or empty text when any JNI
// step fails (a second exception is printed to the error stream).
WideString stackTraceText(jthrowable throwable, JNIEnv* env);
// True when the application is to be stopped.
bool reportUncaughtException(Launcher& launcher, jthrowable throwable, JNIEnv* env);

}  // namespace corvid
