#ifndef _WIN32
#error "dialog_win.cpp is for the Windows build only"
#endif

#include "ui/dialog.h"

namespace corvid {

const DLGTEMPLATE* findDialogTemplate(HMODULE module, std::uint16_t id, std::uint16_t language) {
    const HRSRC resource = FindResourceExW(module, MAKEINTRESOURCEW(5) /* RT_DIALOG */, MAKEINTRESOURCEW(id), language);
    if (!resource) return nullptr;
    const HGLOBAL loaded = LoadResource(module, resource);
    return static_cast<const DLGTEMPLATE*>(loaded ? LockResource(loaded) : nullptr);
}

INT_PTR Dialog::showModal(HWND owner, std::uint16_t id, std::uint16_t language) {
    const HMODULE module = GetModuleHandleW(nullptr);
    const DLGTEMPLATE* dialogTemplate = findDialogTemplate(module, id, language);
    if (!dialogTemplate) return -1;
    return DialogBoxIndirectParamW(module, dialogTemplate, owner, &BoundWindow::dialogProcedure, reinterpret_cast<LPARAM>(this));
}

}  // namespace corvid
