// The runtime-not-found dialog (template 201): the message naming the
// runtime that is needed, the download link, and Browse for a runtime folder
// already on the disk. OK is enabled exactly while the last folder picked
// holds a JVM library.
#pragma once

#ifndef _WIN32
#error "jre_not_found_dialog_win.h is for the Windows build only"
#endif

#include "platform/text.h"
#include "platform/windows_api.h"
#include "start/launcher.h"
#include "ui/dialog.h"
#include "ui/hyperlink_control_win.h"

namespace corvid {

class FileSystem;

class JreNotFoundDialog final : public Dialog {
public:
    // `downloadUrl` replaces the template's link text unless it is empty.
    JreNotFoundDialog(WideString messageText, JvmType jvmType, WideString downloadUrl, FileSystem& files);

    // After the dialog has ended: the last folder picked (ending in a
    // backslash) and the library found in it (empty when none was).
    const WideString& chosenFolder() const { return chosenFolder_; }
    const WideString& jvmLibraryPath() const { return jvmLibraryPath_; }

private:
    INT_PTR handleMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept override;
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
};

}  // namespace corvid
