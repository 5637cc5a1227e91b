#ifndef _WIN32
#error "main_win.cpp is for the Windows build only"
#endif

#include "launcher/entry.h"
#include "platform/windows_api.h"

// The windowed entry point: no console, no window of its own.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // Messages are looked up in, and narrow text converted with, the thread's
    // locale; make that the system's default before anything is read.
    SetThreadLocale(GetSystemDefaultLCID());
    const std::int32_t result = corvid::runLauncher(corvid::systemPlatform(), {corvid::fromWide(GetCommandLineW()), std::nullopt});
    return static_cast<int>(result);
}
