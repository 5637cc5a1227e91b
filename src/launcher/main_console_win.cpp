#ifndef _WIN32
#error "main_console_win.cpp is for the Windows build only"
#endif

#include "launcher/entry.h"
#include "platform/windows_api.h"

// The console variant's entry point: the windowed one's start, with the
// console's standard streams and no window of any kind for a failure.
int wmain(int, wchar_t**) {
    SetDllDirectoryW(L"");
    SetThreadLocale(GetSystemDefaultLCID());
    const std::int32_t result =
        corvid::runLauncher(corvid::consolePlatform(), {corvid::fromWide(GetCommandLineW()), std::nullopt});
    return static_cast<int>(result);
}
