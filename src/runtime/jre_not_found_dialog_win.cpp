#ifndef _WIN32
#error "jre_not_found_dialog_win.cpp is for the Windows build only"
#endif

#include "runtime/jre_not_found_dialog_win.h"

#include <shlobj.h>

#include <utility>

#include "resources/resource_ids.h"
#include "runtime/runtime_search.h"
#include "start/messages.h"
#include "start/user_interface.h"
#include "ui/dialog_layout.h"

namespace corvid {

namespace {

// Only file-system folders, the resizable picker, no button for new folders.
constexpr UINT kBrowseFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE | BIF_NONEWFOLDERBUTTON;

}  // namespace

JreNotFoundDialog::JreNotFoundDialog(WideString messageText, JvmType jvmType, WideString downloadUrl,
                                     FileSystem& files)
    : messageText_(std::move(messageText)), jvmType_(jvmType), downloadUrl_(std::move(downloadUrl)), files_(files) {
    browseTitle_ = loadMessage(systemUserInterface(), MessageId::BrowseForJreFolder);
}

INT_PTR JreNotFoundDialog::handleMessage(UINT message, WPARAM wParam, LPARAM) noexcept {
    switch (message) {
    case WM_INITDIALOG:
        initialize();
        // No focus is set here, so no control is given the focus on opening.
        return FALSE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            // A disabled OK cannot be pressed, but another program can still
            // send the command; without a library there is nothing to accept.
            if (jvmLibraryPath_.empty()) return TRUE;
            EndDialog(window(), IDOK);
            return TRUE;
        case IDCANCEL:
            EndDialog(window(), IDCANCEL);
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
    if (!downloadUrl_.empty()) SetDlgItemTextW(window(), IDC_JRE_LINK, wide(downloadUrl_));
    link_.attach(GetDlgItem(window(), IDC_JRE_LINK));
    SetDlgItemTextW(window(), IDC_JRE_MESSAGE, wide(messageText_));
    // A shared system icon: never destroyed.
    if (const HICON icon = LoadIconW(nullptr, MAKEINTRESOURCEW(32513) /* IDI_ERROR */)) {
        SendDlgItemMessageW(window(), IDC_JRE_ICON, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
    }
    EnableWindow(GetDlgItem(window(), IDOK), FALSE);
    centerWindow(window());
}

void JreNotFoundDialog::browse() noexcept {
    BROWSEINFOW info{};
    info.hwndOwner = window();
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
    SetDlgItemTextW(window(), IDC_JRE_FOLDER, path);
    chosenFolder_ = fromWide(path);
    if (!endsWith(chosenFolder_, u'\\')) chosenFolder_ += u'\\';
    jvmLibraryPath_ = findJvmLibrary(files_, chosenFolder_, jvmType_);
    EnableWindow(GetDlgItem(window(), IDOK), jvmLibraryPath_.empty() ? FALSE : TRUE);
}

}  // namespace corvid
