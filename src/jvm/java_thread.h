// The Java thread: it creates the JVM, redirects the standard streams and
// runs main; the main thread waits for it.
#pragma once

#include <cstdint>

namespace corvid {

class Launcher;

// The Java thread's exit code when an exception escaped main and nothing
// stopped the program: the process ends with 1 once its other threads end.
inline constexpr std::int32_t kJavaThreadMainThrew = 2;

// Runs the Java thread with threadStackSize (asked from the JVM library when
// not configured) and returns its exit code: 0 when main was called and the
// thread detached, kJavaThreadMainThrew when main threw, 1 otherwise.
std::int32_t runJavaThread(Launcher& launcher);
// The thread's body.
std::uint32_t javaThreadMain(Launcher& launcher);

}  // namespace corvid
