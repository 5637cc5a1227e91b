// corvid_uidriver: drives and probes the launcher's windows from outside for
// the end-to-end tests under Wine, as a user would. Every mode but emf first
// waits for its window (visible, of a process given as --pid N or as
// --image NAME.exe, the file name of its executable, letter case ignored);
// --timeout MS bounds every wait (default 10000, 15000 for picker).
//
//   corvid_uidriver [box] TARGET [--timeout MS] [--with-title]
//       Message box: a #32770 window of the process. Prints its text as UTF-8
//       (exactly, no line break added; with --with-title its title and a line
//       break first) and presses OK. Exit 3: printed, but it would not close.
//
//   corvid_uidriver dialog TARGET [--title TEXT] [--timeout MS] STEP...
//       Any dialog (#32770, of exactly that title when given), step by step:
//         controls       prints the dialog and each child control, one line
//                        each, fields separated by tabs (texts with \, \r, \n,
//                        \t escaped):
//                          dialog TITLE STYLE EXSTYLE L,T,R,B CW,CH zoomed=0|1 focus=ID dpi=N
//                          control ID CLASS ENABLED VISIBLE L,T,R,B STYLE TEXT [lines=N first=N]
//                        rectangles in screen coordinates for the dialog and
//                        in the dialog's client coordinates for controls, CW,CH
//                        the client size, styles in hex; edit controls add
//                        their line count and first visible line; dpi is the
//                        dialog's DPI awareness (0 unaware, 1 system, 2 per
//                        monitor; -1 before Windows 10 1607)
//         click ID       posts a click to the button ID
//         key esc|enter  posts the key to the focused control (or the dialog)
//         close          the close box (WM_SYSCOMMAND SC_CLOSE, posted)
//         resize DW DH   the outer size changed by DW x DH pixels, as a drag of
//                        the frame (the system applies the dialog's limits)
//         maximize | restore | minimize   as the caption's buttons do
//         scroll ID top|up|down|bottom    as the control's vertical scroll bar
//         wait-gone      waits until the dialog has closed
//         sleep MS
//       Exit 1 also when the dialog closed before a step that needs it; 3 when
//       wait-gone timed out.
//
//   corvid_uidriver picker TARGET [--timeout MS] COMMAND [ARGUMENT]
//       The runtime-not-found dialog (a #32770 with the Browse button 202 and
//       the link 205) and its folder picker:
//         show            prints the state (below)
//         browse FOLDER   Browse, selects FOLDER in the picker's tree, the
//                         picker's OK, then prints the state
//         browse-cancel   Browse and the picker's Cancel, prints the state
//         ok | cancel | escape | close
//                         the button, the key, the close box; waits for the
//                         dialog to close
//         hover           moves the pointer onto the link's text, waits for the
//                         tooltip; prints "tooltip=TEXT" and "cursor=arrow|other"
//         click           clicks the link's text
//         drag-out        presses on the link, releases below the dialog's buttons
//         click-blank     clicks the link control past the end of its text
//       The state is one "key=value" line each: title, message (item 203), link
//       (205), path (201), ok (enabled or disabled), focus (id of the focused
//       control, 0 for none), linkrect (the link's screen rectangle L,T,R,B).
//       Exit 1 also when no picker appears; 3 when a step did not take effect.
//
//   corvid_uidriver probe window|gone|owner TARGET [--timeout MS]
//       window: waits for a SplashScreenWindow and prints
//               "style=0x... exstyle=0x... classstyle=0x... rect=L,T,W,H"
//       gone:   waits until the process shows no such window
//       owner:  waits for a message box, prints "owner=CLASS" (its owner's
//               class, or "owner=none") and closes it
//
//   corvid_uidriver resources FILE.exe
//       reads the executable's version record and icon as the shell does and
//       prints them one a line (exit 1: no version record):
//         fixed FILEVERSION PRODUCTVERSION        (A.B.C.D each)
//         string KEY VALUE                        (the first translation's table)
//         icons N                                 (icon groups)
//         large|small WxH RRGGBB                  (the first icon, its centre pixel)
//
//   corvid_uidriver shortcut FILE.lnk
//       reads a shell link as the shell does and prints one a line (exit 1:
//       it cannot be read):
//         target PATH
//         arguments TEXT
//         folder PATH                             (the working folder)
//         description TEXT
//
//   corvid_uidriver emf PATH
//       writes an enhanced metafile of 400 x 300 pixels at 96 dpi (its size is
//       physical, so it grows with the screen's dpi): the top left quarter
//       green, the rest red, as the suites' pictures.
//
// Exit codes: 0 done, 1 no such window within the time, 2 bad arguments,
// 3 as the mode says.
#ifndef _WIN32
#error "ui_driver_win.cpp is for the Windows build only"
#endif

#include "platform/windows_api.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cwchar>
#include <functional>
#include <string>
#include <vector>

#include "platform/win_handles.h"
#include "support/win_test_tool.h"

namespace {

using corvid::testing::processImageIs;
using corvid::testing::writeUtf8;

constexpr wchar_t kDialogClass[] = L"#32770";

struct Options {
    std::wstring mode;
    DWORD pid = 0;
    std::wstring image;  // file name only
    DWORD timeout = 10000;
    std::wstring title;      // dialog: only a dialog of this title
    bool byTitle = false;
    bool printTitle = false;  // box: the title before the text
    std::vector<std::wstring> arguments;  // steps, commands and their values
};

ULONGLONG g_deadline = 0;

void fail(const std::wstring& text) { writeUtf8(STD_ERROR_HANDLE, L"corvid_uidriver: " + text + L"\n"); }

// ---- finding windows --------------------------------------------------------

// A visible top-level window of a class that belongs to the target process,
// or that `owner` owns; `accept`, when set, has the last word.
struct WindowQuery {
    WindowQuery() = default;
    WindowQuery(const wchar_t* windowClass, const Options* process) : className(windowClass), target(process) {}

    const wchar_t* className = kDialogClass;
    const Options* target = nullptr;
    HWND owner = nullptr;
    std::function<bool(HWND)> accept;
    HWND found = nullptr;
};

BOOL CALLBACK visitTopLevel(HWND window, LPARAM parameter) {
    auto& query = *reinterpret_cast<WindowQuery*>(parameter);
    wchar_t className[64];
    if (GetClassNameW(window, className, 64) == 0 || std::wcscmp(className, query.className) != 0) return TRUE;
    if (!IsWindowVisible(window)) return TRUE;
    if (query.owner) {
        if (GetWindow(window, GW_OWNER) != query.owner) return TRUE;
    } else {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        if (query.target->pid ? pid != query.target->pid : !processImageIs(pid, query.target->image)) return TRUE;
    }
    if (query.accept && !query.accept(window)) return TRUE;
    query.found = window;
    return FALSE;
}

HWND findWindow(WindowQuery query) {
    EnumWindows(visitTopLevel, reinterpret_cast<LPARAM>(&query));
    return query.found;
}

// Polls until `done` or the deadline.
bool waitUntil(ULONGLONG deadline, const std::function<bool()>& done) {
    while (!done()) {
        if (GetTickCount64() >= deadline) return false;
        Sleep(10);
    }
    return true;
}

HWND waitForWindow(const WindowQuery& query) {
    HWND found = nullptr;
    waitUntil(g_deadline, [&] { return (found = findWindow(query)) != nullptr; });
    return found;
}

bool waitUntilGone(HWND window, ULONGLONG deadline) {
    return waitUntil(deadline, [&] { return !IsWindow(window) || !IsWindowVisible(window); });
}

// ---- reading windows --------------------------------------------------------

// SendMessageTimeout's answer, or `fallback` when the target does not answer:
// a hung target cannot hang the test.
LRESULT ask(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0, LRESULT fallback = 0) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &result)) return fallback;
    return static_cast<LRESULT>(result);
}

// The window's text, marshalled across processes by the system; false when
// the window does not answer.
bool readText(HWND window, std::wstring& text) {
    if (!window) return false;
    const LRESULT length = ask(window, WM_GETTEXTLENGTH, 0, 0, -1);
    if (length < 0) return false;
    std::wstring buffer(static_cast<std::size_t>(length) + 1, L'\0');
    const LRESULT copied = ask(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()), -1);
    if (copied < 0) return false;
    buffer.resize(std::min(static_cast<std::size_t>(copied), static_cast<std::size_t>(length)));
    text = buffer;
    return true;
}

std::wstring textOf(HWND window) {
    std::wstring text;
    readText(window, text);
    return text;
}

// The control of the dialog that has the keyboard focus, else null.
HWND focusOf(HWND dialog) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info)) return nullptr;
    return info.hwndFocus && IsChild(dialog, info.hwndFocus) ? info.hwndFocus : nullptr;
}

int focusedControl(HWND dialog) {
    const HWND focus = focusOf(dialog);
    return focus ? GetDlgCtrlID(focus) & 0xFFFF : 0;
}

std::wstring rectText(const RECT& r) {
    return std::to_wstring(r.left) + L"," + std::to_wstring(r.top) + L"," + std::to_wstring(r.right) + L"," +
           std::to_wstring(r.bottom);
}

std::wstring hex(DWORD value) {
    wchar_t buffer[16];
    swprintf(buffer, 16, L"0x%08X", static_cast<unsigned>(value));
    return buffer;
}

// ---- acting on windows ------------------------------------------------------

// Posted, not sent: a sent click waits for what it opens, and under Wine
// returns only about two seconds after a message box has closed.
bool clickButton(HWND dialog, int id) {
    const HWND button = GetDlgItem(dialog, id);
    return button && PostMessageW(button, BM_CLICK, 0, 0);
}

bool postKey(HWND dialog, const std::wstring& name) {
    WPARAM key = 0;
    if (name == L"esc") key = VK_ESCAPE;
    if (name == L"enter") key = VK_RETURN;
    if (!key) return false;
    const HWND focus = focusOf(dialog);
    const HWND target = focus ? focus : dialog;
    const UINT scan = MapVirtualKeyW(static_cast<UINT>(key), MAPVK_VK_TO_VSC);
    PostMessageW(target, WM_KEYDOWN, key, 1 | (static_cast<LPARAM>(scan) << 16));
    PostMessageW(target, WM_KEYUP, key, 1 | (static_cast<LPARAM>(scan) << 16) | (3LL << 30));
    return true;
}

// Makes sure the dialog's thread has handled everything posted before.
void settle(HWND dialog) {
    Sleep(50);
    ask(dialog, WM_NULL);
}

void moveTo(int x, int y) {
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = static_cast<LONG>((x * 65535LL + width / 2) / (width - 1));
    input.mi.dy = static_cast<LONG>((y * 65535LL + height / 2) / (height - 1));
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof input);
    Sleep(100);
}

void mouseButton(DWORD flag) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flag;
    SendInput(1, &input, sizeof input);
    Sleep(100);
}

// ---- box --------------------------------------------------------------------

// The static control that holds a message box's text; control ids are 16 bits
// in a dialog template, so only those are compared.
HWND boxTextControl(HWND box) {
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if ((GetDlgCtrlID(child) & 0xFFFF) == 0xFFFF) return child;
    }
    return nullptr;
}

int runBox(const Options& options) {
    const HWND box = waitForWindow({kDialogClass, &options});
    if (!box) {
        fail(L"no message box appeared");
        return 1;
    }
    std::wstring text;
    // The box may still be building its controls when it becomes visible.
    if (!waitUntil(g_deadline, [&] { return IsWindow(box) && readText(boxTextControl(box), text); })) {
        fail(L"the message box has no text control");
        return 1;
    }
    if (options.printTitle) text = textOf(box) + L"\n" + text;
    writeUtf8(STD_OUTPUT_HANDLE, text);
    // A click can be lost when the box is not the active window; the command
    // it would have produced closes the box as well.
    if (clickButton(box, IDOK) && waitUntilGone(box, GetTickCount64() + 3000)) return 0;
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
    if (waitUntilGone(box, GetTickCount64() + 3000)) return 0;
    fail(L"the message box did not close");
    return 3;
}

// ---- dialog -----------------------------------------------------------------

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
    std::wstring out = L"dialog\t" + escaped(textOf(dialog)) + L"\t" +
                       hex(static_cast<DWORD>(GetWindowLongW(dialog, GWL_STYLE))) + L"\t" +
                       hex(static_cast<DWORD>(GetWindowLongW(dialog, GWL_EXSTYLE))) + L"\t" + rectText(outer) + L"\t" +
                       std::to_wstring(client.right) + L"," + std::to_wstring(client.bottom) + L"\tzoomed=" +
                       (IsZoomed(dialog) ? L"1" : L"0") + L"\tfocus=" + std::to_wstring(focusedControl(dialog)) +
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
               escaped(textOf(control));
        if (CompareStringOrdinal(className, -1, L"Edit", -1, TRUE) == CSTR_EQUAL) {
            out += L"\tlines=" + std::to_wstring(ask(control, EM_GETLINECOUNT)) +
                   L"\tfirst=" + std::to_wstring(ask(control, EM_GETFIRSTVISIBLELINE));
        }
        out += L"\n";
    }
    writeUtf8(STD_OUTPUT_HANDLE, out);
}

int runDialog(const Options& options) {
    WindowQuery query{kDialogClass, &options};
    if (options.byTitle) query.accept = [&](HWND window) { return textOf(window) == options.title; };
    const HWND dialog = waitForWindow(query);
    if (!dialog) {
        fail(L"no dialog appeared");
        return 1;
    }
    settle(dialog);

    const std::vector<std::wstring>& steps = options.arguments;
    std::size_t i = 0;
    const auto number = [&](int& value) {
        if (i + 1 >= steps.size()) return false;
        wchar_t* end = nullptr;
        value = static_cast<int>(std::wcstol(steps[++i].c_str(), &end, 10));
        return end && *end == L'\0';
    };
    for (; i < steps.size(); ++i) {
        const std::wstring& step = steps[i];
        if (step == L"wait-gone") {
            if (!waitUntilGone(dialog, GetTickCount64() + options.timeout)) {
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
            if (!clickButton(dialog, id)) {
                fail(L"no control " + std::to_wstring(id));
                return 2;
            }
        } else if (step == L"key") {
            if (i + 1 >= steps.size() || !postKey(dialog, steps[++i])) break;
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
            if (!number(id) || i + 1 >= steps.size()) break;
            const std::wstring& direction = steps[++i];
            const WPARAM request = direction == L"top"      ? SB_TOP
                                   : direction == L"up"     ? SB_PAGEUP
                                   : direction == L"down"   ? SB_PAGEDOWN
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
    if (i < steps.size()) {
        fail(L"incomplete step " + steps[i]);
        return 2;
    }
    return 0;
}

// ---- picker -----------------------------------------------------------------

constexpr int kBrowseId = 202;
constexpr int kLinkId = 205;
constexpr UINT kSetSelection = WM_USER + 103;  // BFFM_SETSELECTIONW

// Line breaks in a value would break the one-line format.
std::wstring oneLine(std::wstring text) {
    std::replace_if(text.begin(), text.end(), [](wchar_t c) { return c == L'\r' || c == L'\n'; }, L' ');
    return text;
}

void printState(HWND dialog) {
    RECT link{};
    GetWindowRect(GetDlgItem(dialog, kLinkId), &link);
    std::wstring out;
    out += L"title=" + oneLine(textOf(dialog)) + L"\n";
    out += L"message=" + oneLine(textOf(GetDlgItem(dialog, 203))) + L"\n";
    out += L"link=" + oneLine(textOf(GetDlgItem(dialog, kLinkId))) + L"\n";
    out += L"path=" + oneLine(textOf(GetDlgItem(dialog, 201))) + L"\n";
    out += std::wstring(L"ok=") + (IsWindowEnabled(GetDlgItem(dialog, IDOK)) ? L"enabled" : L"disabled") + L"\n";
    out += L"focus=" + std::to_wstring(focusedControl(dialog)) + L"\n";
    out += L"linkrect=" + rectText(link) + L"\n";
    writeUtf8(STD_OUTPUT_HANDLE, out);
}

// Memory in another process, for messages whose pointers it reads there.
class RemoteMemory {
public:
    RemoteMemory(HWND owner, SIZE_T bytes) {
        DWORD pid = 0;
        GetWindowThreadProcessId(owner, &pid);
        process_.reset(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE | PROCESS_VM_READ, FALSE, pid));
        if (!process_) return;
        address_ = VirtualAllocEx(process_.get(), nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    }
    ~RemoteMemory() {
        if (address_) VirtualFreeEx(process_.get(), address_, 0, MEM_RELEASE);
    }
    RemoteMemory(const RemoteMemory&) = delete;
    RemoteMemory& operator=(const RemoteMemory&) = delete;

    char* address() const { return static_cast<char*>(address_); }
    bool write(const void* data, SIZE_T bytes, SIZE_T offset = 0) const {
        return address_ && WriteProcessMemory(process_.get(), address() + offset, data, bytes, nullptr);
    }
    bool read(void* data, SIZE_T bytes, SIZE_T offset) const {
        return address_ && ReadProcessMemory(process_.get(), address() + offset, data, bytes, nullptr);
    }

private:
    corvid::UniqueKernelHandle process_;
    void* address_ = nullptr;
};

// Hands the picker a folder path through its own "set selection" message.
bool selectInPicker(HWND picker, const std::wstring& folder) {
    const SIZE_T bytes = (folder.size() + 1) * sizeof(wchar_t);
    const RemoteMemory remote(picker, bytes);
    if (!remote.write(folder.c_str(), bytes)) return false;
    DWORD_PTR ignored = 0;
    const bool selected = SendMessageTimeoutW(picker, kSetSelection, TRUE, reinterpret_cast<LPARAM>(remote.address()),
                                              SMTO_ABORTIFHUNG, 5000, &ignored) != 0;
    // The picker may still read the text while it updates its tree.
    Sleep(300);
    return selected;
}

// The text of the picker's selected tree item; empty when there is none.
std::wstring selectedTreeText(HWND picker) {
    const HWND tree = FindWindowExW(picker, nullptr, WC_TREEVIEWW, nullptr);
    if (!tree) return {};
    const auto item = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    if (!item) return {};
    constexpr int kTextChars = 260;
    const RemoteMemory remote(tree, sizeof(TVITEMW) + kTextChars * sizeof(wchar_t));
    TVITEMW request{};
    request.mask = TVIF_TEXT;
    request.hItem = item;
    request.pszText = reinterpret_cast<wchar_t*>(remote.address() + sizeof(TVITEMW));
    request.cchTextMax = kTextChars;
    wchar_t buffer[kTextChars] = {};
    if (remote.write(&request, sizeof request) &&
        SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote.address())) &&
        remote.read(buffer, sizeof buffer - sizeof(wchar_t), sizeof(TVITEMW))) {
        return buffer;
    }
    return {};
}

// The last component of a path; empty for a drive root, whose item shows the
// drive's name instead.
std::wstring folderName(const std::wstring& path) {
    std::wstring trimmed = path;
    while (!trimmed.empty() && trimmed.back() == L'\\') trimmed.pop_back();
    const std::size_t slash = trimmed.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : trimmed.substr(slash + 1);
}

// Selects `folder` in the open picker's tree; false when the tree does not
// show it selected in time.
bool pickFolder(HWND picker, const std::wstring& folder, ULONGLONG deadline) {
    const std::wstring name = folderName(folder);
    // The picker may ignore the first requests while it fills its tree.
    for (int asked = 0; GetTickCount64() < deadline; ++asked) {
        if (!selectInPicker(picker, folder)) return false;
        // A drive root cannot be compared: asking twice has to do.
        if (name.empty() ? asked >= 1
                         : CompareStringOrdinal(selectedTreeText(picker).c_str(), -1, name.c_str(), -1, TRUE) ==
                               CSTR_EQUAL) {
            return true;
        }
    }
    return false;
}

int browse(HWND dialog, bool cancelling, const std::wstring& folder) {
    // Wine's picker now and then never takes a folder handed to it; a
    // cancelled Browse changes nothing, so such a picker is cancelled and
    // Browse pressed again.
    for (int attempt = 0;; ++attempt) {
        if (!clickButton(dialog, kBrowseId)) return 3;
        WindowQuery query;
        query.owner = dialog;
        const HWND picker = waitForWindow(query);
        if (!picker) {
            fail(L"no folder picker appeared");
            return 1;
        }
        Sleep(300);
        const bool taken = cancelling || pickFolder(picker, folder, std::min(g_deadline, GetTickCount64() + 6000));
        const bool last = taken || attempt == 2;
        clickButton(picker, taken && !cancelling ? IDOK : IDCANCEL);
        if (!waitUntilGone(picker, g_deadline)) {
            fail(L"the folder picker did not close");
            return 3;
        }
        if (last && !taken) {
            fail(L"the picker did not take the folder " + folder);
            return 3;
        }
        if (last) break;
    }
    Sleep(200);
    printState(dialog);
    return 0;
}

POINT onLink(HWND dialog) {
    RECT link{};
    GetWindowRect(GetDlgItem(dialog, kLinkId), &link);
    return {link.left + 6, (link.top + link.bottom) / 2};
}

int hover(HWND dialog, const Options& options) {
    const POINT at = onLink(dialog);
    // Approach from outside so that the link sees the pointer arrive.
    moveTo(at.x, at.y + 60);
    moveTo(at.x, at.y);
    moveTo(at.x + 2, at.y);
    const HWND toolTip = waitForWindow({TOOLTIPS_CLASSW, &options});
    CURSORINFO cursor{};
    cursor.cbSize = sizeof cursor;
    GetCursorInfo(&cursor);
    const bool arrow = cursor.hCursor == LoadCursorW(nullptr, IDC_ARROW);
    writeUtf8(STD_OUTPUT_HANDLE, L"tooltip=" + oneLine(textOf(toolTip)) + L"\n" + std::wstring(L"cursor=") +
                                     (arrow ? L"arrow" : L"other") + L"\n");
    return toolTip ? 0 : 3;
}

int clickLink(HWND dialog, const std::wstring& command) {
    POINT at = onLink(dialog);
    if (command == L"click-blank") {
        RECT link{};
        GetWindowRect(GetDlgItem(dialog, kLinkId), &link);
        at.x = link.right - 3;
    }
    moveTo(at.x, at.y);
    mouseButton(MOUSEEVENTF_LEFTDOWN);
    if (command == L"drag-out") {
        RECT frame{};
        GetWindowRect(dialog, &frame);
        moveTo(at.x, frame.bottom - 4);
    }
    mouseButton(MOUSEEVENTF_LEFTUP);
    Sleep(500);
    return 0;
}

int runPicker(const Options& options) {
    const std::vector<std::wstring>& args = options.arguments;
    const std::wstring command = args.empty() ? L"" : args[0];
    const std::wstring argument = args.size() > 1 ? args[1] : L"";
    if (command.empty() || args.size() > 2 || (command == L"browse" && argument.empty())) {
        fail(L"usage: corvid_uidriver picker --image NAME [--timeout MS] COMMAND [ARGUMENT]");
        return 2;
    }
    WindowQuery query{kDialogClass, &options};
    query.accept = [](HWND window) { return GetDlgItem(window, kBrowseId) && GetDlgItem(window, kLinkId); };
    const HWND dialog = waitForWindow(query);
    if (!dialog) {
        fail(L"no runtime-not-found dialog appeared");
        return 1;
    }
    // The dialog may still be setting itself up when it becomes visible.
    Sleep(200);

    if (command == L"show") {
        printState(dialog);
        return 0;
    }
    if (command == L"browse" || command == L"browse-cancel") {
        return browse(dialog, command == L"browse-cancel", argument);
    }
    if (command == L"hover") return hover(dialog, options);
    if (command == L"click" || command == L"drag-out" || command == L"click-blank") return clickLink(dialog, command);
    if (command == L"ok" || command == L"cancel") {
        if (!clickButton(dialog, command == L"ok" ? IDOK : IDCANCEL)) return 3;
    } else if (command == L"escape") {
        postKey(dialog, L"esc");
    } else if (command == L"close") {
        PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    } else {
        fail(L"unknown command " + command);
        return 2;
    }
    if (!waitUntilGone(dialog, g_deadline)) {
        fail(L"the dialog did not close");
        return 3;
    }
    return 0;
}

// ---- probe and emf ----------------------------------------------------------

std::wstring classOf(HWND window) {
    wchar_t name[64] = L"none";
    if (window) GetClassNameW(window, name, 64);
    return name;
}

int runProbe(const Options& options) {
    const std::wstring command = options.arguments.size() == 1 ? options.arguments[0] : L"";
    const WindowQuery splash{L"SplashScreenWindow", &options};
    if (command == L"window") {
        const HWND window = waitForWindow(splash);
        if (!window) return 1;
        RECT rect{};
        GetWindowRect(window, &rect);
        writeUtf8(STD_OUTPUT_HANDLE, L"style=" + hex(static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE))) +
                                         L" exstyle=" + hex(static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE))) +
                                         L" classstyle=" + hex(GetClassLongW(window, GCL_STYLE)) + L" rect=" +
                                         std::to_wstring(rect.left) + L"," + std::to_wstring(rect.top) + L"," +
                                         std::to_wstring(rect.right - rect.left) + L"," +
                                         std::to_wstring(rect.bottom - rect.top) + L"\n");
        return 0;
    }
    if (command == L"gone") return waitUntil(g_deadline, [&] { return !findWindow(splash); }) ? 0 : 1;
    if (command == L"owner") {
        const HWND box = waitForWindow({kDialogClass, &options});
        if (!box) return 1;
        writeUtf8(STD_OUTPUT_HANDLE, L"owner=" + classOf(GetWindow(box, GW_OWNER)) + L"\n");
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        waitUntil(GetTickCount64() + 3000, [&] { return !IsWindow(box); });
        return 0;
    }
    fail(L"usage: corvid_uidriver probe window|gone|owner --image NAME [--timeout MS]");
    return 2;
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

// ---- shortcut mode -------------------------------------------------------

int readShortcut(const wchar_t* file) {
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
    IShellLinkW* link = nullptr;
    IPersistFile* persist = nullptr;
    int status = 1;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&link))) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist))) &&
        SUCCEEDED(persist->Load(file, STGM_READ))) {
        wchar_t target[MAX_PATH] = L"";
        wchar_t arguments[1024] = L"";
        wchar_t folder[MAX_PATH] = L"";
        wchar_t description[1024] = L"";
        link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
        link->GetArguments(arguments, 1024);
        link->GetWorkingDirectory(folder, MAX_PATH);
        link->GetDescription(description, 1024);
        writeUtf8(STD_OUTPUT_HANDLE, L"target " + std::wstring(target) + L"\narguments " + arguments + L"\nfolder " +
                                         folder + L"\ndescription " + description + L"\n");
        status = 0;
    } else {
        fail(L"cannot read the shortcut " + std::wstring(file));
    }
    if (persist) persist->Release();
    if (link) link->Release();
    CoUninitialize();
    return status;
}

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

// The mode, the options wherever they stand, and the rest in order; false on
// an option without its value or a process named twice or not at all.
bool parse(int argc, wchar_t** argv, Options& options) {
    int i = 1;
    options.mode = argc > 1 && std::wcsncmp(argv[1], L"--", 2) != 0 ? argv[i++] : L"box";
    if (options.mode == L"picker") options.timeout = 15000;
    for (; i < argc; ++i) {
        const std::wstring word = argv[i];
        if (word == L"--with-title") {
            options.printTitle = true;
            continue;
        }
        if (word.rfind(L"--", 0) != 0) {
            options.arguments.push_back(word);
            continue;
        }
        if (i + 1 >= argc) return false;
        const wchar_t* value = argv[++i];
        if (word == L"--pid") {
            options.pid = static_cast<DWORD>(std::wcstoul(value, nullptr, 10));
        } else if (word == L"--image") {
            options.image = value;
        } else if (word == L"--timeout") {
            options.timeout = static_cast<DWORD>(std::wcstoul(value, nullptr, 10));
        } else if (word == L"--title") {
            options.title = value;
            options.byTitle = true;
        } else {
            fail(L"unknown option " + word);
            return false;
        }
    }
    return options.mode == L"emf" || options.mode == L"resources" || options.mode == L"shortcut" ||
           (options.pid == 0) != options.image.empty();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    Options options;
    if (!parse(argc, argv, options)) {
        fail(L"usage: corvid_uidriver [box|dialog|picker|probe|emf|resources|shortcut] (--pid N | --image NAME) [--timeout MS] ...");
        return 2;
    }
    g_deadline = GetTickCount64() + options.timeout;
    if (options.mode == L"box" && options.arguments.empty()) return runBox(options);
    if (options.mode == L"dialog") return runDialog(options);
    if (options.mode == L"picker") return runPicker(options);
    if (options.mode == L"probe") return runProbe(options);
    if (options.mode == L"emf" && options.arguments.size() == 1) return writeMetafile(options.arguments[0].c_str());
    if (options.mode == L"resources" && options.arguments.size() == 1) return readResources(options.arguments[0].c_str());
    if (options.mode == L"shortcut" && options.arguments.size() == 1) return readShortcut(options.arguments[0].c_str());
    fail(L"unknown mode or arguments: " + options.mode);
    return 2;
}
