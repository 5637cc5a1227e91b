// Resizable dialogs and window centring on real windows; the arithmetic is
// in dialog_geometry.h. Windows only.
#pragma once

#include <cstddef>
#include <vector>

#include "platform/windows_api.h"
#include "ui/dialog_geometry.h"

namespace corvid {

// Keeps a dialog's controls anchored while the user resizes it. The dialog
// calls initialize from WM_INITDIALOG (after centring it) and hands it
// WM_SIZE and WM_GETMINMAXINFO.
class DialogResizer {
public:
    // Records the layout of `map`'s controls as it is now. Adds a size grip
    // in the bottom-right corner when asked, makes the current outer size (the
    // client size for a child dialog) the smallest the user can drag to when
    // asked, and forces `forcedStyles` on the dialog.
    void initialize(HWND dialog, const ResizeMapItem* map, std::size_t count, bool addGrip, bool useMinTrackSize,
                    DWORD forcedStyles);
    template <std::size_t N>
    void initialize(HWND dialog, const ResizeMapItem (&map)[N], bool addGrip, bool useMinTrackSize,
                    DWORD forcedStyles) {
        initialize(dialog, map, N, addGrip, useMinTrackSize, forcedStyles);
    }

    // WM_SIZE: `kind` is its wParam (SIZE_RESTORED, SIZE_MAXIMIZED, ...).
    void onSize(WPARAM kind, int clientWidth, int clientHeight);
    // WM_GETMINMAXINFO.
    void onGetMinMaxInfo(MINMAXINFO& info) const;
    // Moves every recorded control for a client area of this size.
    void updateLayout(int clientWidth, int clientHeight);

private:
    bool isChild() const;

    HWND dialog_ = nullptr;
    std::vector<ResizeEntry> entries_;
    Size initialClientSize_;
    POINT minTrackSize_{-1, -1};
    bool hasGrip_ = false;
};

// Moves a window, without resizing or activating it, to the middle of its
// parent's client area (a child window), or of its owner when that is
// visible and not minimized, or else of the work area; never beyond the
// area's edges, and with its left and top edges inside when it is larger.
void centerWindow(HWND window);

}  // namespace corvid
