// corvid_splashprobe: looks at the launcher's splash window from outside, for
// the end-to-end tests under Wine.
//
//   corvid_splashprobe window --image NAME.exe [--timeout MS]
//       waits for a shown window of class SplashScreenWindow of that process
//       and prints "style=0x... exstyle=0x... classstyle=0x... rect=L,T,W,H".
//   corvid_splashprobe gone --image NAME.exe [--timeout MS]
//       waits until that process shows no such window (its process may live on).
//   corvid_splashprobe owner --image NAME.exe [--timeout MS]
//       waits for a message box of that process, prints "owner=CLASS" (the
//       class of the box's owner window, or "owner=none") and closes the box.
//
//   corvid_splashprobe emf PATH
//       writes an enhanced metafile of 400 x 300 pixels at 96 dpi (its size is
//       in hundredths of a millimetre, so it grows with the screen's dpi):
//       the top left quarter green, the rest red, as the suites' pictures.
//
// Exit codes: 0 done, 1 not within the time, 2 bad arguments.
#ifndef _WIN32
#error "splash_probe_win.cpp is for the Windows build only"
#endif

#include <cstdio>
#include <cwchar>
#include <string>

#include "platform/win_handles.h"
#include "platform/windows_api.h"
#include "support/win_test_tool.h"

namespace {

std::wstring imageName;

struct Search {
    const wchar_t* className;
    HWND found = nullptr;
};

BOOL CALLBACK visit(HWND window, LPARAM parameter) {
    auto& search = *reinterpret_cast<Search*>(parameter);
    wchar_t className[64];
    if (GetClassNameW(window, className, 64) == 0 || std::wcscmp(className, search.className) != 0) return TRUE;
    if (!IsWindowVisible(window)) return TRUE;
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (!corvid::testing::processImageIs(pid, imageName)) return TRUE;
    search.found = window;
    return FALSE;
}

HWND find(const wchar_t* className) {
    Search search{className};
    EnumWindows(visit, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Polls until `done` or the time is up.
template <typename Done>
bool waitFor(DWORD timeout, Done done) {
    const ULONGLONG deadline = GetTickCount64() + timeout;
    while (!done()) {
        if (GetTickCount64() >= deadline) return false;
        Sleep(5);
    }
    return true;
}

std::string className(HWND window) {
    if (!window) return "none";
    char name[64] = "";
    GetClassNameA(window, name, 64);
    return name;
}

}  // namespace

int writeMetafile(const wchar_t* path) {
    // 400 x 300 pixels at 96 dpi, in 0.01 mm, rounded.
    const RECT frame{0, 0, 10583, 7938};
    const HDC metafile = CreateEnhMetaFileW(nullptr, path, &frame, nullptr);
    if (!metafile) return 1;
    // Logical units of 0.01 mm, so the drawing fills the frame whatever the
    // dpi of the screen it was made on.
    SetMapMode(metafile, MM_HIMETRIC);
    const HBRUSH red = CreateSolidBrush(RGB(192, 48, 32));
    const HBRUSH green = CreateSolidBrush(RGB(32, 160, 64));
    const RECT all{0, 0, 10583, -7938};
    const RECT quarter{0, 0, 5292, -3969};
    FillRect(metafile, &all, red);
    FillRect(metafile, &quarter, green);
    DeleteObject(red);
    DeleteObject(green);
    const HENHMETAFILE done = CloseEnhMetaFile(metafile);
    if (!done) return 1;
    DeleteEnhMetaFile(done);
    return 0;
}

int wmain(int argc, wchar_t** argv) {
    if (argc == 3 && std::wcscmp(argv[1], L"emf") == 0) return writeMetafile(argv[2]);
    if (argc < 4 || std::wcscmp(argv[2], L"--image") != 0) {
        std::fputs("usage: corvid_splashprobe window|gone|owner --image NAME [--timeout MS]\n", stderr);
        return 2;
    }
    const std::wstring command = argv[1];
    imageName = argv[3];
    DWORD timeout = 10000;
    if (argc >= 6 && std::wcscmp(argv[4], L"--timeout") == 0) timeout = static_cast<DWORD>(std::wcstoul(argv[5], nullptr, 10));

    HWND window = nullptr;
    if (command == L"window") {
        if (!waitFor(timeout, [&] { return (window = find(L"SplashScreenWindow")) != nullptr; })) return 1;
        RECT rect{};
        GetWindowRect(window, &rect);
        std::printf("style=0x%08lX exstyle=0x%08lX classstyle=0x%08lX rect=%ld,%ld,%ld,%ld\n",
                    static_cast<unsigned long>(GetWindowLongW(window, GWL_STYLE)),
                    static_cast<unsigned long>(GetWindowLongW(window, GWL_EXSTYLE)),
                    static_cast<unsigned long>(GetClassLongW(window, GCL_STYLE)), rect.left, rect.top,
                    rect.right - rect.left, rect.bottom - rect.top);
        return 0;
    }
    if (command == L"gone") return waitFor(timeout, [] { return find(L"SplashScreenWindow") == nullptr; }) ? 0 : 1;
    if (command == L"owner") {
        if (!waitFor(timeout, [&] { return (window = find(L"#32770")) != nullptr; })) return 1;
        std::printf("owner=%s\n", className(GetWindow(window, GW_OWNER)).c_str());
        std::fflush(stdout);
        // Posted: a sent command would wait for the box's own thread.
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        waitFor(3000, [&] { return !IsWindow(window); });
        return 0;
    }
    std::fputs("unknown command\n", stderr);
    return 2;
}
