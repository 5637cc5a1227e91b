#ifndef _WIN32
#error "main_win.cpp is for the Windows build only"
#endif

#include "launcher/entry.h"
#include "platform/windows_api.h"

// The windowed entry point: no console, no window of its own.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    corvid::installFatalErrorHandlers();
    // The current directory may be any folder a document was opened from;
    // no library (the JVM's dependencies included) is ever taken from it.
    SetDllDirectoryW(L"");
    // Messages are looked up in, and narrow text converted with, the thread's
    // locale; make that the system's default before anything is read.
    SetThreadLocale(GetSystemDefaultLCID());
    const std::int32_t result = corvid::runLauncher(corvid::systemPlatform(), {corvid::fromWide(GetCommandLineW()), std::nullopt});
    return static_cast<int>(result);
}
