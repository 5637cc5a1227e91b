// corvid_test_splash: a stand-in for the Java runtime's splash library that
// records every call of its four entries, one line each, in the file named
// by CORVID_TEST_SPLASH_LOG (appended, so it may be the test JVM library's
// log too and the two interleave in call order). Bytes outside printable
// ASCII are written as \xHH, so the narrow path's code page shows.
//
//   SplashInit thread=T
//   SplashLoadFile <path bytes>
//   SplashSetFileJarName <path bytes> [<archive bytes>]
//   SplashClose thread=T
//
// Built without SplashInit when CORVID_TEST_SPLASH_WITHOUT_INIT is defined.
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#define SPLASH_EXPORT extern "C" __declspec(dllexport)
#else
#include <sys/syscall.h>
#include <unistd.h>
#define SPLASH_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {

std::mutex logMutex;

unsigned long threadId() {
#ifdef _WIN32
    return GetCurrentThreadId();
#else
    return static_cast<unsigned long>(syscall(SYS_gettid));
#endif
}

std::string escaped(const char* text) {
    if (!text) return "(null)";
    std::string out;
    for (const unsigned char* c = reinterpret_cast<const unsigned char*>(text); *c; ++c) {
        if (*c >= 0x20 && *c < 0x7F && *c != '\\') {
            out += static_cast<char>(*c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", *c);
            out += hex;
        }
    }
    return out;
}

void logLine(const std::string& line) {
    const char* path = std::getenv("CORVID_TEST_SPLASH_LOG");
    if (!path || !*path) return;
    std::lock_guard<std::mutex> lock(logMutex);
    if (std::FILE* file = std::fopen(path, "ab")) {
        std::fputs((line + "\n").c_str(), file);
        std::fclose(file);
    }
}

}  // namespace

#ifndef CORVID_TEST_SPLASH_WITHOUT_INIT
SPLASH_EXPORT void SplashInit() { logLine("SplashInit thread=" + std::to_string(threadId())); }
#endif

SPLASH_EXPORT int SplashLoadFile(const char* path) {
    logLine("SplashLoadFile " + escaped(path));
    return 1;
}

SPLASH_EXPORT void SplashSetFileJarName(const char* path, const char* archive) {
    logLine("SplashSetFileJarName " + escaped(path) + " [" + escaped(archive) + "]");
}

SPLASH_EXPORT void SplashClose() { logLine("SplashClose thread=" + std::to_string(threadId())); }
