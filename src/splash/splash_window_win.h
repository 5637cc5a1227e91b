// The Windows splash window's parts, exposed for the Wine tests.
#pragma once

#ifndef _WIN32
#error "splash_window_win.h is for the Windows build only"
#endif

#include <objidl.h>

#include "platform/text.h"
#include "platform/windows_api.h"
#include "ui/bound_window_win.h"

namespace corvid {

class Launcher;

// The splash window's object: the picture, rendered once at the window's
// size, and the window that shows it. It outlives the window, which its
// thread destroys before the object is deleted.
class SplashScreenWindow final : public BoundWindow {
public:
    // The launcher, when given, receives the trace of the first paint.
    explicit SplashScreenWindow(Launcher* launcher = nullptr) : launcher_(launcher) {}
    ~SplashScreenWindow() override;

    HBITMAP bitmap = nullptr;

protected:
    // WM_PAINT is one copy of the bitmap; the background is never erased;
    // there is no timer and no input handling.
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept override;

private:
    void traceFirstPaint(Launcher& launcher);
    Launcher* launcher_;
    bool painted = false;
};

// Loads the picture, registers the class, and makes the hidden window,
// centred, at the picture's size (nothing for a picture that cannot be
// loaded: 0 x 0); renders the picture into window.bitmap. Null when no
// window could be made.
HWND createSplashWindow(SplashScreenWindow& window, const WideString& path, bool shadow, Launcher* launcher);

// A picture decoded by the Windows Imaging Component at its pixel size, its
// alpha composited over an opaque background; bitmap is null on failure and
// then owned by nobody, otherwise by the caller.
struct PictureBitmap {
    HBITMAP bitmap = nullptr;
    int width = 0;
    int height = 0;
};
// Needs COM on the calling thread.
PictureBitmap loadPictureWithImagingComponent(IStream* stream, COLORREF background);

}  // namespace corvid
