// corvid_jredriver: drives the launcher's runtime-not-found dialog for an
// end-to-end test, as a user would, and reports what the user would see.
//
//   corvid_jredriver --image NAME.exe [--timeout MS] COMMAND [ARGUMENT]
//
// Every command first waits for the dialog (a #32770 window of a process of
// that image name with the Browse button 202 and the link 205), then:
//   show              prints the state (below)
//   browse FOLDER     presses Browse, selects FOLDER in the folder picker's
//                     tree, presses the picker's OK, then prints the state
//   browse-cancel     presses Browse and cancels the picker, prints the state
//   ok | cancel       presses the button
//   escape            sends the Escape key to the dialog
//   close             chooses Close from the system menu (the close box)
//   hover             moves the pointer onto the link's text and waits for
//                     the tooltip; prints "tooltip=<its text>"
//   click             clicks the link's text
//   drag-out          presses on the link, moves below the dialog's buttons,
//                     and releases there
//   click-blank       clicks the link control near its right edge, past the
//                     end of a text shorter than the control
// The state is one "key=value" line each: title, message (item 203), link
// (item 205), path (item 201), ok (enabled or disabled), focus (the id of
// the focused control, 0 for none), linkrect (the link control's screen
// rectangle as left,top,right,bottom) and cursor (hand or other, while the
// pointer is on the link after "hover").
// Exit codes: 0 done, 1 no dialog or picker within the time, 2 bad
// arguments, 3 the step did not take effect.
#ifndef _WIN32
#error "jre_dialog_driver_win.cpp is for the Windows build only"
#endif

#include "platform/windows_api.h"

#include <commctrl.h>

#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

#include "platform/win_handles.h"
#include "support/win_test_tool.h"

namespace {

using corvid::testing::processImageIs;
using corvid::testing::writeUtf8;

using corvid::UniqueHandle;

constexpr int kBrowseId = 202;
constexpr int kLinkId = 205;
constexpr UINT kSetSelection = WM_USER + 103;  // BFFM_SETSELECTIONW

DWORD g_deadlineTimeout = 15000;
ULONGLONG g_deadline = 0;

void fail(const std::wstring& text) { writeUtf8(STD_ERROR_HANDLE, L"corvid_jredriver: " + text + L"\n"); }

bool expired() { return GetTickCount64() >= g_deadline; }

bool isDialogClass(HWND window) {
    wchar_t className[16];
    return GetClassNameW(window, className, 16) != 0 && std::wcscmp(className, L"#32770") == 0;
}

struct Search {
    const std::wstring* image = nullptr;  // the runtime-not-found dialog of this image
    HWND owner = nullptr;                 // or: a dialog owned by this window (the picker)
    HWND found = nullptr;
};

BOOL CALLBACK visitTopLevel(HWND window, LPARAM parameter) {
    auto& search = *reinterpret_cast<Search*>(parameter);
    if (!isDialogClass(window) || !IsWindowVisible(window)) return TRUE;
    if (search.owner) {
        if (GetWindow(window, GW_OWNER) != search.owner) return TRUE;
    } else {
        if (!GetDlgItem(window, kBrowseId) || !GetDlgItem(window, kLinkId)) return TRUE;
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        if (!processImageIs(pid, *search.image)) return TRUE;
    }
    search.found = window;
    return FALSE;
}

HWND waitFor(Search search) {
    for (;;) {
        search.found = nullptr;
        EnumWindows(visitTopLevel, reinterpret_cast<LPARAM>(&search));
        if (search.found) return search.found;
        if (expired()) return nullptr;
        Sleep(20);
    }
}

bool waitUntilGone(HWND window) {
    while (IsWindow(window) && IsWindowVisible(window)) {
        if (expired()) return false;
        Sleep(20);
    }
    return true;
}

std::wstring textOf(HWND window) {
    if (!window) return {};
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) return {};
    std::wstring buffer(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                             SMTO_ABORTIFHUNG, 5000, &copied)) {
        return {};
    }
    buffer.resize(copied);
    return buffer;
}

// Line breaks in a value would break the one-line format.
std::wstring oneLine(std::wstring text) {
    for (wchar_t& c : text) {
        if (c == L'\r' || c == L'\n') c = L' ';
    }
    return text;
}

std::wstring focusedId(HWND dialog) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    const DWORD thread = GetWindowThreadProcessId(dialog, nullptr);
    if (!GetGUIThreadInfo(thread, &info) || !info.hwndFocus || info.hwndFocus == dialog) return L"0";
    return std::to_wstring(GetDlgCtrlID(info.hwndFocus));
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
    out += L"focus=" + focusedId(dialog) + L"\n";
    out += L"linkrect=" + std::to_wstring(link.left) + L"," + std::to_wstring(link.top) + L"," +
           std::to_wstring(link.right) + L"," + std::to_wstring(link.bottom) + L"\n";
    writeUtf8(STD_OUTPUT_HANDLE, out);
}

// Hands the picker a folder path through its own "set selection" message;
// the text must live in the picker's process.
bool selectInPicker(HWND picker, const std::wstring& folder) {
    DWORD pid = 0;
    GetWindowThreadProcessId(picker, &pid);
    UniqueHandle<corvid::KernelHandleTraits> process(
        OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE | PROCESS_VM_READ, FALSE, pid));
    if (!process) return false;
    const SIZE_T bytes = (folder.size() + 1) * sizeof(wchar_t);
    void* remote = VirtualAllocEx(process.get(), nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!remote) return false;
    bool selected = false;
    if (WriteProcessMemory(process.get(), remote, folder.c_str(), bytes, nullptr)) {
        DWORD_PTR ignored = 0;
        selected = SendMessageTimeoutW(picker, kSetSelection, TRUE, reinterpret_cast<LPARAM>(remote),
                                       SMTO_ABORTIFHUNG, 5000, &ignored) != 0;
    }
    // The picker may still read the text while it updates its tree.
    Sleep(300);
    VirtualFreeEx(process.get(), remote, 0, MEM_RELEASE);
    return selected;
}

// The text of the picker's selected tree item, read through memory in the
// picker's process; empty when there is none.
std::wstring selectedTreeText(HWND picker) {
    const HWND tree = FindWindowExW(picker, nullptr, WC_TREEVIEWW, nullptr);
    if (!tree) return {};
    const auto item = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    if (!item) return {};
    DWORD pid = 0;
    GetWindowThreadProcessId(tree, &pid);
    UniqueHandle<corvid::KernelHandleTraits> process(
        OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE | PROCESS_VM_READ, FALSE, pid));
    if (!process) return {};
    constexpr int kTextChars = 260;
    const SIZE_T bytes = sizeof(TVITEMW) + kTextChars * sizeof(wchar_t);
    auto* remote = static_cast<char*>(VirtualAllocEx(process.get(), nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (!remote) return {};
    TVITEMW request{};
    request.mask = TVIF_TEXT;
    request.hItem = item;
    request.pszText = reinterpret_cast<wchar_t*>(remote + sizeof(TVITEMW));
    request.cchTextMax = kTextChars;
    std::wstring text;
    wchar_t buffer[kTextChars] = {};
    if (WriteProcessMemory(process.get(), remote, &request, sizeof request, nullptr) &&
        SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote)) &&
        ReadProcessMemory(process.get(), remote + sizeof(TVITEMW), buffer, sizeof buffer - sizeof(wchar_t), nullptr)) {
        text = buffer;
    }
    VirtualFreeEx(process.get(), remote, 0, MEM_RELEASE);
    return text;
}

// "C:\\a\\b" as the folders a user opens in turn: "C:\\", "C:\\a", "C:\\a\\b".
std::vector<std::wstring> levelsOf(const std::wstring& path) {
    std::size_t pos = path.find(L'\\');
    if (pos == std::wstring::npos) return {path};
    std::vector<std::wstring> levels{path.substr(0, pos + 1)};
    while (pos + 1 < path.size()) {
        std::size_t next = path.find(L'\\', pos + 1);
        if (next == std::wstring::npos) next = path.size();
        if (next > pos + 1) levels.push_back(path.substr(0, next));
        pos = next;
    }
    return levels;
}

// Selects `folder` in the open picker's tree; false when the tree does not
// show it selected before the deadline.
bool pickFolder(HWND picker, const std::wstring& folder) {
    const std::vector<std::wstring> levels = levelsOf(folder);
    const std::wstring& deepest = levels.back();
    const std::wstring name = levels.size() == 1 ? L"" : deepest.substr(deepest.find_last_of(L'\\') + 1);
    // The picker may ignore the first requests while it fills its tree.
    for (int asked = 0; !expired(); ++asked) {
        if (!selectInPicker(picker, folder)) return false;
        // A drive root's item shows the drive's name, not the path: asking
        // twice has to do.
        if (name.empty() ? asked >= 1
                         : CompareStringOrdinal(selectedTreeText(picker).c_str(), -1, name.c_str(), -1, TRUE) ==
                               CSTR_EQUAL) {
            return true;
        }
    }
    return false;
}

bool clickButton(HWND dialog, int id) {
    const HWND button = GetDlgItem(dialog, id);
    // Posted: a sent click would wait for what it opens.
    return button && PostMessageW(button, BM_CLICK, 0, 0);
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

void button(DWORD flag) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flag;
    SendInput(1, &input, sizeof input);
    Sleep(100);
}

POINT onLink(HWND dialog) {
    RECT link{};
    GetWindowRect(GetDlgItem(dialog, kLinkId), &link);
    return {link.left + 6, (link.top + link.bottom) / 2};
}

struct ToolTipSearch {
    DWORD pid = 0;
    HWND found = nullptr;
};

BOOL CALLBACK visitToolTip(HWND window, LPARAM parameter) {
    auto& search = *reinterpret_cast<ToolTipSearch*>(parameter);
    wchar_t className[32];
    if (!IsWindowVisible(window) || GetClassNameW(window, className, 32) == 0 ||
        std::wcscmp(className, TOOLTIPS_CLASSW) != 0) {
        return TRUE;
    }
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != search.pid) return TRUE;
    search.found = window;
    return FALSE;
}

int hover(HWND dialog) {
    const POINT at = onLink(dialog);
    // Approach from outside so that the link sees the pointer arrive.
    moveTo(at.x, at.y + 60);
    moveTo(at.x, at.y);
    moveTo(at.x + 2, at.y);
    ToolTipSearch search;
    GetWindowThreadProcessId(dialog, &search.pid);
    while (!search.found && !expired()) {
        EnumWindows(visitToolTip, reinterpret_cast<LPARAM>(&search));
        if (!search.found) Sleep(50);
    }
    CURSORINFO cursor{};
    cursor.cbSize = sizeof cursor;
    GetCursorInfo(&cursor);
    const bool arrow = cursor.hCursor == LoadCursorW(nullptr, IDC_ARROW);
    writeUtf8(STD_OUTPUT_HANDLE, L"tooltip=" + oneLine(textOf(search.found)) + L"\n" +
                                     std::wstring(L"cursor=") + (arrow ? L"arrow" : L"other") + L"\n");
    return search.found ? 0 : 3;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::wstring image;
    std::wstring command;
    std::wstring argument;
    const wchar_t* usage = L"usage: corvid_jredriver --image NAME [--timeout MS] COMMAND [ARGUMENT]";
    int i = 1;
    for (; i < argc; ++i) {
        const std::wstring option = argv[i];
        if (option == L"--image" && i + 1 < argc) {
            image = argv[++i];
        } else if (option == L"--timeout" && i + 1 < argc) {
            g_deadlineTimeout = static_cast<DWORD>(std::wcstoul(argv[++i], nullptr, 10));
        } else {
            break;
        }
    }
    if (i < argc) command = argv[i++];
    if (i < argc) argument = argv[i++];
    if (image.empty() || command.empty() || i != argc) {
        fail(usage);
        return 2;
    }
    g_deadline = GetTickCount64() + g_deadlineTimeout;

    Search search;
    search.image = &image;
    const HWND dialog = waitFor(search);
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
        if (command == L"browse" && argument.empty()) {
            fail(usage);
            return 2;
        }
        // Wine's picker now and then never takes a folder handed to it; a
        // cancelled Browse changes nothing, so such a picker is cancelled and
        // Browse pressed again.
        const ULONGLONG pickDeadline = g_deadline;
        for (int attempt = 0;; ++attempt) {
            if (!clickButton(dialog, kBrowseId)) return 3;
            Search pickerSearch;
            pickerSearch.owner = dialog;
            const HWND picker = waitFor(pickerSearch);
            if (!picker) {
                fail(L"no folder picker appeared");
                return 1;
            }
            Sleep(300);
            const bool cancelling = command == L"browse-cancel";
            bool taken = cancelling;
            if (!cancelling) {
                g_deadline = std::min(pickDeadline, GetTickCount64() + 6000);
                taken = pickFolder(picker, argument);
                g_deadline = pickDeadline;
            }
            const bool last = taken || attempt == 2;
            clickButton(picker, taken && !cancelling ? IDOK : IDCANCEL);
            if (!waitUntilGone(picker)) {
                fail(L"the folder picker did not close");
                return 3;
            }
            if (last && !taken) {
                fail(L"the picker did not take the folder " + argument);
                return 3;
            }
            if (last) break;
        }
        Sleep(200);
        printState(dialog);
        return 0;
    }
    if (command == L"ok" || command == L"cancel") {
        if (!clickButton(dialog, command == L"ok" ? IDOK : IDCANCEL)) return 3;
    } else if (command == L"escape") {
        PostMessageW(dialog, WM_KEYDOWN, VK_ESCAPE, 0);
        PostMessageW(dialog, WM_KEYUP, VK_ESCAPE, 0);
    } else if (command == L"close") {
        PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    } else if (command == L"hover") {
        return hover(dialog);
    } else if (command == L"click" || command == L"drag-out" || command == L"click-blank") {
        POINT at = onLink(dialog);
        if (command == L"click-blank") {
            RECT link{};
            GetWindowRect(GetDlgItem(dialog, kLinkId), &link);
            at.x = link.right - 3;
        }
        moveTo(at.x, at.y);
        button(MOUSEEVENTF_LEFTDOWN);
        if (command == L"drag-out") {
            RECT frame{};
            GetWindowRect(dialog, &frame);
            moveTo(at.x, frame.bottom - 4);
        }
        button(MOUSEEVENTF_LEFTUP);
        Sleep(500);
        return 0;
    } else {
        fail(L"unknown command " + command);
        return 2;
    }
    // The closing steps: the dialog must go away.
    if (!waitUntilGone(dialog)) {
        fail(L"the dialog did not close");
        return 3;
    }
    return 0;
}
