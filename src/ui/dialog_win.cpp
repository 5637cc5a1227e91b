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
    return DialogBoxIndirectParamW(module, dialogTemplate, owner, &Dialog::procedure, reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK Dialog::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Dialog* self = nullptr;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<Dialog*>(lParam);
        if (!self) return FALSE;
        SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
        self->window_ = window;
    } else {
        self = reinterpret_cast<Dialog*>(GetWindowLongPtrW(window, DWLP_USER));
    }
    // Messages before WM_INITDIALOG (WM_SETFONT, ...) have no object yet.
    if (!self) return FALSE;
    const INT_PTR result = self->handleMessage(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, DWLP_USER, 0);
        self->window_ = nullptr;
    }
    return result;
}

}  // namespace corvid
