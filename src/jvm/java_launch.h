// Bringing the JVM into the process and running the main class.
#pragma once

#include <cstdint>

namespace corvid {

class Launcher;

void prepareEnvironment(Launcher& launcher);
// False after its message has been shown.
bool loadJvmLibrary(Launcher& launcher);
bool buildJvmOptions(Launcher& launcher);
// 0 when the JVM was created, main ran and the thread detached cleanly.
std::int32_t runJavaThread(Launcher& launcher);
// Waits for the Java program's last non-daemon thread; nothing without a JVM.
void destroyJavaVm(Launcher& launcher);

}  // namespace corvid
