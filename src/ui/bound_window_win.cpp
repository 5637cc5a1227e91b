#ifndef _WIN32
#error "bound_window_win.cpp is for the Windows build only"
#endif

#include "ui/bound_window_win.h"

namespace corvid {

namespace {

// A property, not the user data: a subclassed control's user data is its owner's.
constexpr wchar_t kObjectProperty[] = L"corvid.BoundWindow";

BoundWindow* objectOf(HWND window) { return static_cast<BoundWindow*>(GetPropW(window, kObjectProperty)); }

}  // namespace

bool BoundWindow::bind(HWND window, Kind kind, WNDPROC previous) noexcept {
    if (!window || window_ || !SetPropW(window, kObjectProperty, this)) return false;
    window_ = window;
    kind_ = kind;
    previous_ = previous;
    return true;
}

LRESULT CALLBACK BoundWindow::windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == WM_NCCREATE) {
        auto* arriving = static_cast<BoundWindow*>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
        if (arriving) arriving->bind(window, Kind::Window, &DefWindowProcW);
    }
    // Messages before WM_NCCREATE (WM_GETMINMAXINFO) have no object yet.
    BoundWindow* self = objectOf(window);
    return self ? self->deliver(message, wParam, lParam) : DefWindowProcW(window, message, wParam, lParam);
}

INT_PTR CALLBACK BoundWindow::dialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == WM_INITDIALOG) {
        if (auto* arriving = reinterpret_cast<BoundWindow*>(lParam)) arriving->bind(window, Kind::Dialog, nullptr);
    }
    // Messages before WM_INITDIALOG (WM_SETFONT, ...) have no object yet.
    BoundWindow* self = objectOf(window);
    return self ? self->deliver(message, wParam, lParam) : FALSE;
}

bool BoundWindow::subclass(HWND window) noexcept {
    if (!window || window_) return false;
    const auto previous = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_WNDPROC));
    if (!previous || !bind(window, Kind::Control, previous)) return false;
    if (SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&controlProcedure)) != 0) return true;
    RemovePropW(window, kObjectProperty);
    window_ = nullptr;
    return false;
}

LRESULT CALLBACK BoundWindow::controlProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    BoundWindow* self = objectOf(window);
    return self ? self->deliver(message, wParam, lParam) : DefWindowProcW(window, message, wParam, lParam);
}

LRESULT BoundWindow::passOn(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (kind_ == Kind::Dialog) return FALSE;
    return CallWindowProcW(previous_, window_, message, wParam, lParam);
}

LRESULT BoundWindow::deliver(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message != WM_NCDESTROY) return handleMessage(message, wParam, lParam);
    // The window goes before its object, which sees this last message and
    // forgets the window; a subclassed control gets its own procedure back.
    const HWND window = window_;
    if (kind_ == Kind::Control) SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
    const LRESULT result = handleMessage(message, wParam, lParam);
    RemovePropW(window, kObjectProperty);
    window_ = nullptr;
    return result;
}

}  // namespace corvid
