// The few operating-system services the test JVM library needs, with a
// Windows and a POSIX half.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

namespace corvid_test_jvm {

std::uint64_t currentThreadId();
// The size of the calling thread's stack reservation in bytes.
std::uint64_t currentThreadStackSize();
struct DpiAwareness {
    int awareness = 0;     // 0 unaware, 1 system, 2 per monitor
    bool ownOfThread = false;  // set for the thread itself, not the process default
};
// The calling thread's DPI awareness; nullopt where the system has no such
// notion.
std::optional<DpiAwareness> currentThreadDpiAwareness();
// The process environment as the operating system holds it right now (on
// Windows not the C runtime's start-up copy), in UTF-8.
std::optional<std::string> environmentVariable(const char* name);
// Opens a file named in UTF-8; nullptr with errorText set on failure.
std::FILE* openFile(const std::string& utf8Path, const char* mode, std::string& errorText);
// A stream over a descriptor (POSIX) or handle (Windows) a FileDescriptor
// holds, which closing the stream closes; nullptr with errorText on failure.
std::FILE* openDescriptor(std::int64_t descriptor, std::string& errorText);
// Writes to the process's own standard output or error, byte for byte.
void writeStandardStream(bool toErr, const std::string& bytes);
[[noreturn]] void exitProcess(int code);
// How the process was started, for the log: "console=yes|none priority=N
// stdout=yes|none" on Windows; empty elsewhere.
std::string processFacts();
void sleepMilliseconds(unsigned milliseconds);

// The variable that holds the search path for executables and libraries.
extern const char* const kPathVariable;
// The line separator a JVM on this platform writes.
extern const char* const kLineSeparator;

}  // namespace corvid_test_jvm
