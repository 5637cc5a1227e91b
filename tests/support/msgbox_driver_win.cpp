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
#ifndef _WIN32
#error "msgbox_driver_win.cpp is for the Windows build only"
#endif

#include <cwchar>
#include <string>

#include "platform/win_handles.h"
#include "platform/windows_api.h"

namespace {

using corvid::UniqueHandle;

// The static control that holds a message box's text.
constexpr int kTextControlId = 0xFFFF;

struct Target {
    DWORD pid = 0;
    std::wstring image;  // file name only
};

void writeUtf8(DWORD stream, const std::wstring& text) {
    if (text.empty()) return;
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
    DWORD written = 0;
    WriteFile(GetStdHandle(stream), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

void fail(const std::wstring& text) { writeUtf8(STD_ERROR_HANDLE, L"corvid_uidriver: " + text + L"\n"); }

bool imageMatches(DWORD pid, const std::wstring& image) {
    UniqueHandle<corvid::KernelHandleTraits> process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    if (!process) return false;
    wchar_t path[MAX_PATH * 2];
    DWORD size = MAX_PATH * 2;
    if (!QueryFullProcessImageNameW(process.get(), 0, path, &size)) return false;
    const wchar_t* name = path;
    for (const wchar_t* c = path; *c; ++c) {
        if (*c == L'\\' || *c == L'/') name = c + 1;
    }
    return CompareStringOrdinal(name, -1, image.c_str(), -1, TRUE) == CSTR_EQUAL;
}

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
    const bool matches = search.target->pid ? pid == search.target->pid : imageMatches(pid, search.target->image);
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

}  // namespace

int wmain(int argc, wchar_t** argv) {
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
