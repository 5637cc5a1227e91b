// The runtime-not-found dialog (template 201): the message naming the
// runtime that is needed, the download link, and Browse for a runtime folder
// already on the disk. OK is enabled exactly while the last folder picked
// holds a JVM library.
#pragma once

#ifndef _WIN32
#error "jre_not_found_dialog_win.h is for the Windows build only"
#endif

#include "launcher/launcher.h"
#include "platform/text.h"
#include "platform/windows_api.h"
#include "ui/hyperlink_control_win.h"

namespace corvid {

class FileSystem;

class JreNotFoundDialog {
public:
    // `downloadUrl` replaces the template's link text unless it is empty.
    JreNotFoundDialog(WideString messageText, JvmType jvmType, WideString downloadUrl, FileSystem& files);
    JreNotFoundDialog(const JreNotFoundDialog&) = delete;
    JreNotFoundDialog& operator=(const JreNotFoundDialog&) = delete;

    // Runs the dialog modally from the template in `language`: IDOK, IDCANCEL,
    // or -1 when it could not be created.
    INT_PTR show(HWND owner, WORD language);

    const WideString& chosenFolder() const { return chosenFolder_; }
    const WideString& jvmLibraryPath() const { return jvmLibraryPath_; }

private:
    static INT_PTR CALLBACK dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    void initialize() noexcept;
    void browse() noexcept;

    WideString messageText_;
    JvmType jvmType_;
    WideString downloadUrl_;
    FileSystem& files_;
    WideString browseTitle_;
    WideString chosenFolder_;
    WideString jvmLibraryPath_;
    HyperLinkControl link_;
    HWND dialog_ = nullptr;
};

// Places a top-level window over its owner when the owner is visible and not
// minimized, else in the middle of the work area, and keeps it inside the
// work area; a child window is centred in its parent's client area.
void centerWindow(HWND window);

}  // namespace corvid
