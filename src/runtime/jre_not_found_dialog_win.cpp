#ifndef _WIN32
#error "jre_not_found_dialog_win.cpp is for the Windows build only"
#endif

#include "runtime/jre_not_found_dialog_win.h"

#include <shlobj.h>

#include <utility>

#include "launcher/messages.h"
#include "launcher/user_interface.h"
#include "resources/jre_not_found_ids.h"
#include "runtime/runtime_search.h"

namespace corvid {

namespace {

// Only file-system folders, the resizable picker, no button for new folders.
constexpr UINT kBrowseFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE | BIF_NONEWFOLDERBUTTON;

}  // namespace

void centerWindow(HWND window) {
    RECT rect{};
    if (!GetWindowRect(window, &rect)) return;
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    const bool child = (GetWindowLongPtrW(window, GWL_STYLE) & WS_CHILD) != 0;
    RECT area{};
    RECT reference{};
    if (child) {
        const HWND parent = GetParent(window);
        GetClientRect(parent, &area);
        reference = area;
    } else {
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
        const HWND owner = GetWindow(window, GW_OWNER);
        if (owner && IsWindowVisible(owner) && !IsIconic(owner)) {
            GetWindowRect(owner, &reference);
        } else {
            reference = area;
        }
    }
    int x = (reference.left + reference.right) / 2 - width / 2;
    int y = (reference.top + reference.bottom) / 2 - height / 2;
    if (x + width > area.right) x = area.right - width;
    if (y + height > area.bottom) y = area.bottom - height;
    if (x < area.left) x = area.left;
    if (y < area.top) y = area.top;
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

JreNotFoundDialog::JreNotFoundDialog(WideString messageText, JvmType jvmType, WideString downloadUrl,
                                     FileSystem& files)
    : messageText_(std::move(messageText)), jvmType_(jvmType), downloadUrl_(std::move(downloadUrl)), files_(files) {
    browseTitle_ = loadMessage(systemUserInterface(), MessageId::BrowseForJreFolder);
}

INT_PTR JreNotFoundDialog::show(HWND owner, WORD language) {
    // The template in exactly the messages' language: the resource loader's
    // own choice between sub-languages differs between systems.
    const HMODULE module = GetModuleHandleW(nullptr);
    const HRSRC found = FindResourceExW(module, MAKEINTRESOURCEW(5) /* RT_DIALOG */,
                                        MAKEINTRESOURCEW(IDD_JRE_NOT_FOUND), language);
    const HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const auto* templ = static_cast<const DLGTEMPLATE*>(loaded ? LockResource(loaded) : nullptr);
    if (!templ) return -1;
    const INT_PTR result =
        DialogBoxIndirectParamW(module, templ, owner, &dialogProc, reinterpret_cast<LPARAM>(this));
    return result == 0 ? -1 : result;
}

INT_PTR CALLBACK JreNotFoundDialog::dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<JreNotFoundDialog*>(lParam);
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        self->dialog_ = dialog;
    }
    auto* self = reinterpret_cast<JreNotFoundDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (!self) return FALSE;
    const INT_PTR result = self->handle(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(dialog, DWLP_USER, 0);
        self->dialog_ = nullptr;
    }
    return result;
}

INT_PTR JreNotFoundDialog::handle(UINT message, WPARAM wParam, LPARAM) noexcept {
    switch (message) {
    case WM_INITDIALOG:
        initialize();
        // No focus set: the dialog opens with no control focused.
        return FALSE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
        case IDCANCEL:
            EndDialog(dialog_, LOWORD(wParam));
            return TRUE;
        case IDC_JRE_BROWSE:
            if (HIWORD(wParam) == BN_CLICKED) browse();
            return TRUE;
        default:
            return FALSE;
        }
    default:
        return FALSE;
    }
}

void JreNotFoundDialog::initialize() noexcept {
    // An application's own runtime page becomes the link's label and target.
    if (!downloadUrl_.empty()) SetDlgItemTextW(dialog_, IDC_JRE_LINK, wide(downloadUrl_));
    link_.attach(GetDlgItem(dialog_, IDC_JRE_LINK));
    SetDlgItemTextW(dialog_, IDC_JRE_MESSAGE, wide(messageText_));
    if (const HICON icon = LoadIconW(nullptr, MAKEINTRESOURCEW(32513) /* IDI_ERROR */)) {
        SendDlgItemMessageW(dialog_, IDC_JRE_ICON, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
    }
    EnableWindow(GetDlgItem(dialog_, IDOK), FALSE);
    centerWindow(dialog_);
}

void JreNotFoundDialog::browse() noexcept {
    BROWSEINFOW info{};
    info.hwndOwner = dialog_;
    info.pidlRoot = nullptr;
    info.lpszTitle = wide(browseTitle_);
    info.ulFlags = kBrowseFlags;
    PIDLIST_ABSOLUTE picked = SHBrowseForFolderW(&info);
    if (!picked) return;
    wchar_t path[MAX_PATH] = {};
    const bool converted = SHGetPathFromIDListW(picked, path) != FALSE;
    CoTaskMemFree(picked);
    // A selection that is no file-system folder counts as no selection.
    if (!converted || path[0] == L'\0') return;
    SetDlgItemTextW(dialog_, IDC_JRE_PATH, path);
    chosenFolder_ = fromWide(path);
    if (!endsWith(chosenFolder_, u'\\')) chosenFolder_ += u'\\';
    jvmLibraryPath_ = findJvmLibrary(files_, chosenFolder_, jvmType_);
    EnableWindow(GetDlgItem(dialog_, IDOK), jvmLibraryPath_.empty() ? FALSE : TRUE);
}

}  // namespace corvid
