// Modal dialogs built from the executable's dialog templates, each bound to
// the C++ object that runs it. Windows only.
#pragma once

#include <cstdint>

#include "platform/windows_api.h"
#include "ui/bound_window_win.h"

namespace corvid {

// The template `id` in exactly `language`, or null when the executable has
// none. The resource loader's own fallback is not used: it differs between
// systems (Wine's does not fall back between sub-languages), and a dialog
// must come in the language of the messages around it.
const DLGTEMPLATE* findDialogTemplate(HMODULE module, std::uint16_t id, std::uint16_t language);

// A dialog object: showModal binds it to the dialog (see BoundWindow), whose
// messages go to handleMessage from WM_INITDIALOG to WM_NCDESTROY.
class Dialog : public BoundWindow {
public:
    // Shows template `id` of the executable in `language`, modal to `owner`
    // (may be null), and returns what the dialog ended with; -1 when it could
    // not be created, a missing template included.
    INT_PTR showModal(HWND owner, std::uint16_t id, std::uint16_t language);
};

}  // namespace corvid
