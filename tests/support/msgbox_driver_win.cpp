// corvid_uidriver: answers a message box for an end-to-end test, as a user
// would. It waits for a dialog of class #32770 that belongs to the given
// process, prints the box's text as UTF-8 on standard output (exactly, with no
// line break added), and presses its OK button.
//
//   corvid_uidriver (--pid N | --image NAME.exe) [--timeout MS] [--with-title]
//
// --with-title prints the box's title and a line break before the text.
// --pid takes a Windows process id; --image matches the file name of any
// process's executable, ignoring letter case. Exit codes: 0 text printed and
// box closed, 1 no such dialog within the time, 2 bad arguments, 3 the text
// was printed but the box would not close.
//
// Dialog mode drives any dialog of the process, step by step:
//
//   corvid_uidriver dialog (--pid N | --image NAME.exe) [--title TEXT]
//                   [--timeout MS] STEP...
//
// It waits for a visible dialog (class #32770, and the exact title when
// given), then runs the steps in order:
//   controls        prints the dialog and each of its child controls, one
//                   line each, fields separated by tabs (texts with \, \r,
//                   \n, \t escaped):
//                     dialog TITLE STYLE EXSTYLE L,T,R,B CW,CH zoomed=0|1 focus=ID dpi=N
//                     control ID CLASS ENABLED VISIBLE L,T,R,B STYLE TEXT [lines=N first=N]
//                   where rectangles are screen coordinates for the dialog
//                   and client coordinates of the dialog for controls, CW,CH
//                   the client size, styles in hex, and edit controls add
//                   their line count and first visible line; dpi is the
//                   window's DPI awareness (0 unaware, 1 system, 2 per
//                   monitor; -1 before Windows 10 1607)
//   click ID        posts a click to the button ID
//   key esc|enter   posts the key to the dialog's focused control (or the
//                   dialog), as the keyboard would
//   close           the close box (WM_SYSCOMMAND SC_CLOSE, posted)
//   resize DW DH    asks for the outer size changed by DW x DH pixels, as a
//                   drag of the frame does (the system applies the dialog's
//                   limits)
//   maximize | restore | minimize
//                   as the caption's buttons and the system menu do
//   scroll ID top|up|down|bottom
//                   scrolls the control ID vertically as its scroll bar does:
//                   to the top, a page up, a page down, to the bottom
//   wait-gone       waits until the dialog has closed
//   sleep MS
// Exit codes: 0 every step done, 1 no such dialog within the time (or it
// closed before a step that needs it), 2 bad arguments, 3 wait-gone timed out.
//
// Resources mode reads an executable's version record and icon as the shell
// does, and prints them one a line:
//
//   corvid_uidriver resources FILE.exe
//
//     fixed FILEVERSION PRODUCTVERSION        (A.B.C.D each)
//     string KEY VALUE                        (the first translation's table)
//     icons N                                 (icon groups)
//     large|small WxH RRGGBB                  (the first icon, its centre pixel)
// Exit codes: 0 read, 1 no version record, 2 bad arguments.
#ifndef _WIN32
#error "msgbox_driver_win.cpp is for the Windows build only"
#endif

#include <cwchar>
#include <string>

#include "platform/win_handles.h"
#include "platform/windows_api.h"

#include <shellapi.h>
#include "support/win_test_tool.h"

namespace {

using corvid::testing::processImageIs;
using corvid::testing::writeUtf8;


// The static control that holds a message box's text.
constexpr int kTextControlId = 0xFFFF;

struct Target {
    DWORD pid = 0;
    std::wstring image;  // file name only
};

void fail(const std::wstring& text) { writeUtf8(STD_ERROR_HANDLE, L"corvid_uidriver: " + text + L"\n"); }

struct Search {
    const Target* target;
    HWND found = nullptr;
};

BOOL CALLBACK visitTopLevel(HWND window, LPARAM parameter) {
    auto& search = *reinterpret_cast<Search*>(parameter);
    wchar_t className[16];
    if (GetClassNameW(window, className, 16) == 0 || std::wcscmp(className, L"#32770") != 0) return TRUE;
    if (!IsWindowVisible(window)) return TRUE;
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    const bool matches = search.target->pid ? pid == search.target->pid : processImageIs(pid, search.target->image);
    if (!matches) return TRUE;
    search.found = window;
    return FALSE;
}

struct ChildSearch {
    HWND found = nullptr;
};

// Control ids are 16 bits in a dialog template; compare only those.
BOOL CALLBACK visitChild(HWND window, LPARAM parameter) {
    if ((GetDlgCtrlID(window) & 0xFFFF) != kTextControlId) return TRUE;
    reinterpret_cast<ChildSearch*>(parameter)->found = window;
    return FALSE;
}

// WM_GETTEXT across processes is marshalled by the system; time-limited so
// a hung target cannot hang the test.
bool readText(HWND dialog, std::wstring& text) {
    ChildSearch child;
    EnumChildWindows(dialog, visitChild, reinterpret_cast<LPARAM>(&child));
    if (!child.found) return false;
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(child.found, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) return false;
    std::wstring buffer(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(child.found, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                             SMTO_ABORTIFHUNG, 5000, &copied)) {
        return false;
    }
    buffer.resize(copied);
    text = buffer;
    return true;
}

bool waitUntilGone(HWND window, DWORD milliseconds) {
    const ULONGLONG deadline = GetTickCount64() + milliseconds;
    while (IsWindow(window)) {
        if (GetTickCount64() >= deadline) return false;
        Sleep(20);
    }
    return true;
}

bool pressOk(HWND dialog) {
    const HWND button = GetDlgItem(dialog, IDOK);
    // Posted, not sent: under Wine a sent click returns only about two seconds
    // after the box has closed.
    if (button && PostMessageW(button, BM_CLICK, 0, 0) && waitUntilGone(dialog, 3000)) return true;
    // A click can be lost when the box is not the active window; the command
    // it would have produced closes the box as well.
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    return waitUntilGone(dialog, 3000);
}

// ---- dialog mode ---------------------------------------------------------

struct DialogSearch {
    const Target* target;
    const std::wstring* title;  // null: any title
    HWND found = nullptr;
};

// SendMessageTimeout's answer, or `fallback` when the target does not answer.
LRESULT ask(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0, LRESULT fallback = 0) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &result)) return fallback;
    return static_cast<LRESULT>(result);
}

std::wstring windowText(HWND window) {
    const auto length = static_cast<std::size_t>(ask(window, WM_GETTEXTLENGTH));
    std::wstring buffer(length + 1, L'\0');
    const auto copied =
        static_cast<std::size_t>(ask(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data())));
    buffer.resize(copied < buffer.size() ? copied : length);
    return buffer;
}

BOOL CALLBACK visitDialog(HWND window, LPARAM parameter) {
    auto& search = *reinterpret_cast<DialogSearch*>(parameter);
    wchar_t className[16];
    if (GetClassNameW(window, className, 16) == 0 || std::wcscmp(className, L"#32770") != 0) return TRUE;
    if (!IsWindowVisible(window)) return TRUE;
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    const bool matches = search.target->pid ? pid == search.target->pid : processImageIs(pid, search.target->image);
    if (!matches) return TRUE;
    if (search.title && windowText(window) != *search.title) return TRUE;
    search.found = window;
    return FALSE;
}

std::wstring escaped(const std::wstring& text) {
    std::wstring result;
    for (const wchar_t c : text) {
        switch (c) {
        case L'\\': result += L"\\\\"; break;
        case L'\r': result += L"\\r"; break;
        case L'\n': result += L"\\n"; break;
        case L'\t': result += L"\\t"; break;
        default: result += c;
        }
    }
    return result;
}

std::wstring hex(DWORD value) {
    wchar_t buffer[16];
    swprintf(buffer, 16, L"0x%08X", static_cast<unsigned>(value));
    return buffer;
}

std::wstring rectText(const RECT& r) {
    return std::to_wstring(r.left) + L"," + std::to_wstring(r.top) + L"," + std::to_wstring(r.right) + L"," +
           std::to_wstring(r.bottom);
}

HWND focusOf(HWND dialog) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info)) return nullptr;
    return info.hwndFocus;
}

int dpiAwarenessOf(HWND window) {
    using GetContext = void*(WINAPI*)(HWND);
    using GetAwareness = int(WINAPI*)(void*);
    const HMODULE user32 = GetModuleHandleW(L"user32.dll");
    const auto getContext = reinterpret_cast<GetContext>(
        reinterpret_cast<void (*)()>(GetProcAddress(user32, "GetWindowDpiAwarenessContext")));
    const auto getAwareness = reinterpret_cast<GetAwareness>(
        reinterpret_cast<void (*)()>(GetProcAddress(user32, "GetAwarenessFromDpiAwarenessContext")));
    return getContext && getAwareness ? getAwareness(getContext(window)) : -1;
}

void printControls(HWND dialog) {
    RECT outer{};
    GetWindowRect(dialog, &outer);
    RECT client{};
    GetClientRect(dialog, &client);
    const HWND focus = focusOf(dialog);
    std::wstring out = L"dialog\t" + escaped(windowText(dialog)) + L"\t" +
                       hex(static_cast<DWORD>(GetWindowLongW(dialog, GWL_STYLE))) + L"\t" +
                       hex(static_cast<DWORD>(GetWindowLongW(dialog, GWL_EXSTYLE))) + L"\t" + rectText(outer) + L"\t" +
                       std::to_wstring(client.right) + L"," + std::to_wstring(client.bottom) + L"\tzoomed=" +
                       (IsZoomed(dialog) ? L"1" : L"0") + L"\tfocus=" +
                       std::to_wstring(focus && IsChild(dialog, focus) ? GetDlgCtrlID(focus) & 0xFFFF : 0) +
                       L"\tdpi=" + std::to_wstring(dpiAwarenessOf(dialog)) + L"\n";
    for (HWND control = GetWindow(dialog, GW_CHILD); control; control = GetWindow(control, GW_HWNDNEXT)) {
        wchar_t className[64] = L"";
        GetClassNameW(control, className, 64);
        RECT r{};
        GetWindowRect(control, &r);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
        out += L"control\t" + std::to_wstring(GetDlgCtrlID(control) & 0xFFFF) + L"\t" + className + L"\t" +
               (IsWindowEnabled(control) ? L"1" : L"0") + L"\t" + (IsWindowVisible(control) ? L"1" : L"0") + L"\t" +
               rectText(r) + L"\t" + hex(static_cast<DWORD>(GetWindowLongW(control, GWL_STYLE))) + L"\t" +
               escaped(windowText(control));
        if (CompareStringOrdinal(className, -1, L"Edit", -1, TRUE) == CSTR_EQUAL) {
            out += L"\tlines=" + std::to_wstring(ask(control, EM_GETLINECOUNT)) +
                   L"\tfirst=" + std::to_wstring(ask(control, EM_GETFIRSTVISIBLELINE));
        }
        out += L"\n";
    }
    writeUtf8(STD_OUTPUT_HANDLE, out);
}

// Makes sure the dialog's thread has handled everything posted before.
void settle(HWND dialog) {
    Sleep(50);
    ask(dialog, WM_NULL);
}

bool postKey(HWND dialog, const std::wstring& name) {
    WPARAM key = 0;
    if (name == L"esc") key = VK_ESCAPE;
    if (name == L"enter") key = VK_RETURN;
    if (!key) return false;
    HWND target = focusOf(dialog);
    if (!target || (target != dialog && !IsChild(dialog, target))) target = dialog;
    const UINT scan = MapVirtualKeyW(static_cast<UINT>(key), MAPVK_VK_TO_VSC);
    PostMessageW(target, WM_KEYDOWN, key, 1 | (static_cast<LPARAM>(scan) << 16));
    PostMessageW(target, WM_KEYUP, key, 1 | (static_cast<LPARAM>(scan) << 16) | (3LL << 30));
    return true;
}

int runDialogSteps(int argc, wchar_t** argv) {
    Target target;
    DWORD timeout = 10000;
    std::wstring title;
    bool withTitle = false;
    int i = 2;
    const wchar_t* usage = L"usage: corvid_uidriver dialog (--pid N | --image NAME) [--title TEXT] [--timeout MS] STEP...";
    for (; i + 1 < argc && std::wcsncmp(argv[i], L"--", 2) == 0; i += 2) {
        const std::wstring option = argv[i];
        const wchar_t* value = argv[i + 1];
        if (option == L"--pid") {
            target.pid = static_cast<DWORD>(std::wcstoul(value, nullptr, 10));
        } else if (option == L"--image") {
            target.image = value;
        } else if (option == L"--title") {
            title = value;
            withTitle = true;
        } else if (option == L"--timeout") {
            timeout = static_cast<DWORD>(std::wcstoul(value, nullptr, 10));
        } else {
            fail(L"unknown option " + option);
            return 2;
        }
    }
    if ((target.pid == 0) == target.image.empty()) {
        fail(usage);
        return 2;
    }

    const ULONGLONG deadline = GetTickCount64() + timeout;
    DialogSearch search{&target, withTitle ? &title : nullptr};
    for (;;) {
        EnumWindows(visitDialog, reinterpret_cast<LPARAM>(&search));
        if (search.found) break;
        if (GetTickCount64() >= deadline) {
            fail(L"no dialog appeared");
            return 1;
        }
        Sleep(20);
    }
    const HWND dialog = search.found;
    settle(dialog);

    for (; i < argc; ++i) {
        const std::wstring step = argv[i];
        const auto number = [&](int& value) {
            if (i + 1 >= argc) return false;
            wchar_t* end = nullptr;
            value = static_cast<int>(std::wcstol(argv[++i], &end, 10));
            return end && *end == L'\0';
        };
        if (step == L"wait-gone") {
            if (!waitUntilGone(dialog, timeout)) {
                fail(L"the dialog did not close");
                return 3;
            }
            continue;
        }
        if (step == L"sleep") {
            int milliseconds = 0;
            if (!number(milliseconds)) break;
            Sleep(static_cast<DWORD>(milliseconds));
            continue;
        }
        if (!IsWindow(dialog)) {
            fail(L"the dialog closed before " + step);
            return 1;
        }
        if (step == L"controls") {
            printControls(dialog);
        } else if (step == L"click") {
            int id = 0;
            if (!number(id)) break;
            const HWND button = GetDlgItem(dialog, id);
            if (!button) {
                fail(L"no control " + std::to_wstring(id));
                return 2;
            }
            PostMessageW(button, BM_CLICK, 0, 0);
        } else if (step == L"key") {
            if (i + 1 >= argc || !postKey(dialog, argv[++i])) break;
        } else if (step == L"close") {
            PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        } else if (step == L"resize") {
            int dw = 0;
            int dh = 0;
            if (!number(dw) || !number(dh)) break;
            RECT r{};
            GetWindowRect(dialog, &r);
            SetWindowPos(dialog, nullptr, 0, 0, r.right - r.left + dw, r.bottom - r.top + dh,
                         SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
            settle(dialog);
        } else if (step == L"maximize" || step == L"restore" || step == L"minimize") {
            const WPARAM command = step == L"maximize" ? SC_MAXIMIZE : step == L"restore" ? SC_RESTORE : SC_MINIMIZE;
            ask(dialog, WM_SYSCOMMAND, command);
            settle(dialog);
        } else if (step == L"scroll") {
            int id = 0;
            if (!number(id) || i + 1 >= argc) break;
            const std::wstring direction = argv[++i];
            const WPARAM request = direction == L"top"    ? SB_TOP
                                   : direction == L"up"   ? SB_PAGEUP
                                   : direction == L"down" ? SB_PAGEDOWN
                                   : direction == L"bottom" ? SB_BOTTOM
                                                            : ~WPARAM{0};
            if (request == ~WPARAM{0}) {
                fail(L"unknown scroll direction " + direction);
                return 2;
            }
            ask(GetDlgItem(dialog, id), WM_VSCROLL, request);
            settle(dialog);
        } else {
            fail(L"unknown step " + step);
            return 2;
        }
    }
    if (i < argc) {
        fail(L"incomplete step " + std::wstring(argv[i - 1]));
        return 2;
    }
    return 0;
}

// ---- resources mode ------------------------------------------------------

std::wstring versionText(DWORD ms, DWORD ls) {
    return std::to_wstring(HIWORD(ms)) + L"." + std::to_wstring(LOWORD(ms)) + L"." + std::to_wstring(HIWORD(ls)) +
           L"." + std::to_wstring(LOWORD(ls));
}

std::wstring iconText(HICON icon) {
    ICONINFO info{};
    if (!icon || !GetIconInfo(icon, &info)) return L"none";
    BITMAP bitmap{};
    GetObjectW(info.hbmColor, sizeof bitmap, &bitmap);
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    format.bmiHeader.biWidth = bitmap.bmWidth;
    format.bmiHeader.biHeight = -bitmap.bmHeight;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    std::wstring pixels(static_cast<std::size_t>(bitmap.bmWidth) * bitmap.bmHeight * 2, L'\0');
    const HDC screen = GetDC(nullptr);
    GetDIBits(screen, info.hbmColor, 0, bitmap.bmHeight, pixels.data(), &format, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    const auto* rgb = reinterpret_cast<const BYTE*>(pixels.data()) +
                      (static_cast<std::size_t>(bitmap.bmHeight / 2) * bitmap.bmWidth + bitmap.bmWidth / 2) * 4;
    wchar_t colour[8];
    swprintf(colour, 8, L"%02x%02x%02x", rgb[2], rgb[1], rgb[0]);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return std::to_wstring(bitmap.bmWidth) + L"x" + std::to_wstring(bitmap.bmHeight) + L" " + colour;
}

int readResources(const wchar_t* file) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(file, &ignored);
    std::wstring block(size / sizeof(wchar_t) + 1, L'\0');
    if (size == 0 || !GetFileVersionInfoW(file, 0, size, block.data())) {
        fail(L"no version record in " + std::wstring(file));
        return 1;
    }
    std::wstring out;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) && fixed) {
        out += L"fixed " + versionText(fixed->dwFileVersionMS, fixed->dwFileVersionLS) + L" " +
               versionText(fixed->dwProductVersionMS, fixed->dwProductVersionLS) + L"\n";
    }
    WORD* translation = nullptr;
    if (VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length) &&
        length >= 4) {
        wchar_t table[16];
        swprintf(table, 16, L"%04x%04x", translation[0], translation[1]);
        for (const wchar_t* key : {L"CompanyName", L"FileDescription", L"FileVersion", L"InternalName", L"LegalCopyright",
                                   L"OriginalFilename", L"ProductName", L"ProductVersion"}) {
            wchar_t* value = nullptr;
            const std::wstring path = L"\\StringFileInfo\\" + std::wstring(table) + L"\\" + key;
            if (VerQueryValueW(block.data(), path.c_str(), reinterpret_cast<void**>(&value), &length) && value) {
                out += L"string " + std::wstring(key) + L" " + value + L"\n";
            }
        }
    }
    out += L"icons " + std::to_wstring(ExtractIconExW(file, -1, nullptr, nullptr, 0)) + L"\n";
    HICON large = nullptr;
    HICON smallIcon = nullptr;
    ExtractIconExW(file, 0, &large, &smallIcon, 1);
    out += L"large " + iconText(large) + L"\nsmall " + iconText(smallIcon) + L"\n";
    if (large) DestroyIcon(large);
    if (smallIcon) DestroyIcon(smallIcon);
    writeUtf8(STD_OUTPUT_HANDLE, out);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc > 1 && std::wcscmp(argv[1], L"dialog") == 0) return runDialogSteps(argc, argv);
    if (argc > 1 && std::wcscmp(argv[1], L"resources") == 0) {
        if (argc != 3) {
            fail(L"usage: corvid_uidriver resources FILE.exe");
            return 2;
        }
        return readResources(argv[2]);
    }
    Target target;
    DWORD timeout = 10000;
    bool withTitle = false;
    const wchar_t* usage = L"usage: corvid_uidriver (--pid N | --image NAME) [--timeout MS] [--with-title]";
    for (int i = 1; i < argc; ++i) {
        const std::wstring option = argv[i];
        if (option == L"--with-title") {
            withTitle = true;
            continue;
        }
        if (i + 1 >= argc) {
            fail(usage);
            return 2;
        }
        const wchar_t* value = argv[++i];
        if (option == L"--pid") {
            target.pid = static_cast<DWORD>(std::wcstoul(value, nullptr, 10));
        } else if (option == L"--image") {
            target.image = value;
        } else if (option == L"--timeout") {
            timeout = static_cast<DWORD>(std::wcstoul(value, nullptr, 10));
        } else {
            fail(L"unknown option " + option);
            return 2;
        }
    }
    if ((target.pid == 0) == target.image.empty()) {
        fail(usage);
        return 2;
    }

    const ULONGLONG deadline = GetTickCount64() + timeout;
    Search search{&target};
    for (;;) {
        EnumWindows(visitTopLevel, reinterpret_cast<LPARAM>(&search));
        if (search.found) break;
        if (GetTickCount64() >= deadline) {
            fail(L"no message box appeared");
            return 1;
        }
        Sleep(20);
    }

    std::wstring text;
    // The box may still be building its controls when it becomes visible.
    while (!readText(search.found, text)) {
        if (GetTickCount64() >= deadline || !IsWindow(search.found)) {
            fail(L"the message box has no text control");
            return 1;
        }
        Sleep(20);
    }
    if (withTitle) {
        wchar_t title[256] = L"";
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(search.found, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(title), SMTO_ABORTIFHUNG, 5000,
                            &ignored);
        text = std::wstring(title) + L"\n" + text;
    }
    writeUtf8(STD_OUTPUT_HANDLE, text);
    if (!pressOk(search.found)) {
        fail(L"the message box did not close");
        return 3;
    }
    return 0;
}
