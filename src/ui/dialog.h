// Modal dialogs built from the executable's dialog templates, each bound to
// the C++ object that runs it. Windows only.
#pragma once

#include <cstdint>

#include "platform/windows_api.h"

namespace corvid {

// The template `id` in exactly `language`, or null when the executable has
// none. The resource loader's own fallback is not used: it differs between
// systems (Wine's does not fall back between sub-languages), and a dialog
// must come in the language of the messages around it.
const DLGTEMPLATE* findDialogTemplate(HMODULE module, std::uint16_t id, std::uint16_t language);

// A dialog object: showModal passes `this` as the creation parameter, the
// dialog procedure binds it on WM_INITDIALOG and unbinds it on
// WM_NCDESTROY, and every message in between goes to handleMessage, which
// must not throw (no exception may cross the system's dialog procedure).
class Dialog {
public:
    Dialog() = default;
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;
    virtual ~Dialog() = default;

    // Shows template `id` of the executable in `language`, modal to `owner`
    // (may be null), and returns what the dialog ended with; -1 when it could
    // not be created, a missing template included.
    INT_PTR showModal(HWND owner, std::uint16_t id, std::uint16_t language);

protected:
    // The dialog window while it exists, else null.
    HWND window() const noexcept { return window_; }
    // A dialog procedure's answer: TRUE when the message was handled (the
    // result, where one is needed, set with DWLP_MSGRESULT), FALSE for the
    // system's default handling. WM_INITDIALOG answers as the procedure does.
    virtual INT_PTR handleMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept = 0;

private:
    static INT_PTR CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND window_ = nullptr;
};

}  // namespace corvid
