// Windows, dialogs and existing controls bound to the C++ object that handles
// their messages, without thunks. The object arrives with the window
// (CreateWindowExW's creation parameter on WM_NCCREATE, a dialog's
// initialisation parameter on WM_INITDIALOG, or subclass() for a control that
// exists already), is kept in a window property until WM_NCDESTROY, and gets
// every message in between through handleMessage, which must not throw.
#pragma once

#ifndef _WIN32
#error "bound_window_win.h is for the Windows build only"
#endif

#include "platform/windows_api.h"

namespace corvid {

class BoundWindow {
public:
    BoundWindow() = default;
    BoundWindow(const BoundWindow&) = delete;
    BoundWindow& operator=(const BoundWindow&) = delete;
    virtual ~BoundWindow() = default;

    // The window, from its first bound message until WM_NCDESTROY.
    HWND window() const noexcept { return window_; }

    // A window class's procedure: pass `this` as CreateWindowExW's last argument.
    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    // A dialog procedure: pass `this` as the dialog's initialisation parameter.
    static INT_PTR CALLBACK dialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

protected:
    // Takes over the procedure of a window that exists; false, and the window
    // unchanged, when it cannot. Its destruction gives the procedure back.
    bool subclass(HWND window) noexcept;

    // One message. A dialog answers as a dialog procedure does (TRUE when
    // handled, FALSE for the system's handling); other windows return the
    // message's result and hand what they do not handle to passOn.
    virtual LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept = 0;

    // What the window does without its object: DefWindowProcW, a subclassed
    // control's own procedure, or FALSE for a dialog.
    LRESULT passOn(UINT message, WPARAM wParam, LPARAM lParam) noexcept;

private:
    enum class Kind { Window, Dialog, Control };

    bool bind(HWND window, Kind kind, WNDPROC previous) noexcept;
    LRESULT deliver(UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    static LRESULT CALLBACK controlProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

    HWND window_ = nullptr;
    Kind kind_ = Kind::Window;
    WNDPROC previous_ = nullptr;
};

}  // namespace corvid
