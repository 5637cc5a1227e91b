// A window bound to the C++ object that handles its messages, without thunks:
// the object's address travels in CreateWindowExW's creation parameter, is
// kept in the window's user data from WM_NCCREATE on, and is cleared on
// WM_NCDESTROY. No exception leaves the window procedure.
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

    // The window, from its first message until WM_NCDESTROY.
    HWND windowHandle() const noexcept { return windowHandle_; }

    // The class's window procedure: pass `this` as CreateWindowExW's last
    // argument.
    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
        auto* self = reinterpret_cast<BoundWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (message == WM_NCCREATE) {
            const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
            self = static_cast<BoundWindow*>(create->lpCreateParams);
            if (self) {
                self->windowHandle_ = window;
                SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
            }
        }
        // Messages before WM_NCCREATE (WM_GETMINMAXINFO) have no object yet.
        if (!self) return DefWindowProcW(window, message, wParam, lParam);
        const LRESULT result = self->processWindowMessage(message, wParam, lParam);
        if (message == WM_NCDESTROY) {
            SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            self->windowHandle_ = nullptr;
        }
        return result;
    }

protected:
    // Handles one message; what it does not handle goes to DefWindowProcW.
    virtual LRESULT processWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
        return DefWindowProcW(windowHandle_, message, wParam, lParam);
    }

private:
    HWND windowHandle_ = nullptr;
};

}  // namespace corvid
