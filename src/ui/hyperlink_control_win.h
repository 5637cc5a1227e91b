// A static text control of a dialog turned into a link: drawn in the link
// colour with an underlined copy of the dialog's font, a hand cursor and a
// tooltip with the target over the text, and the target opened with the
// shell's "open" verb on a click (or Space or Enter while it has the focus).
// The control subclasses the existing window; it creates none of its own.
#pragma once

#ifndef _WIN32
#error "hyperlink_control_win.h is for the Windows build only"
#endif

#include <optional>

#include "platform/text.h"
#include "platform/windows_api.h"

namespace corvid {

class HyperLinkControl {
public:
    HyperLinkControl() = default;
    HyperLinkControl(const HyperLinkControl&) = delete;
    HyperLinkControl& operator=(const HyperLinkControl&) = delete;
    // Releases the cursor and the link font; the window must be gone or
    // detached (its destruction detaches it).
    ~HyperLinkControl();

    // Subclasses `window` and sets the link up. When the window procedure
    // cannot be replaced the window stays a plain static text. Every other
    // failure (tooltip, font, colours) only degrades the link.
    void attach(HWND window) noexcept;

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    LRESULT passOn(UINT message, WPARAM wParam, LPARAM lParam) noexcept;

    void initialize() noexcept;
    void makeHandCursor() noexcept;
    void computeLinkRect() noexcept;
    void readLinkColours() noexcept;
    void paint(HDC dc) noexcept;
    void openTarget() noexcept;
    bool inLinkRect(POINT point) const noexcept;
    UINT alignmentFlags() const noexcept;
    const WideString* shownText() const noexcept;

    HWND window_ = nullptr;
    WNDPROC previousProc_ = nullptr;
    std::optional<WideString> label_;
    std::optional<WideString> target_;
    HCURSOR handCursor_ = nullptr;
    HFONT normalFont_ = nullptr;
    HFONT linkFont_ = nullptr;
    bool ownsLinkFont_ = false;
    RECT linkRect_{};
    HWND toolTip_ = nullptr;
    COLORREF linkColour_ = RGB(0, 0, 255);
    COLORREF visitedColour_ = RGB(128, 0, 128);
    bool visited_ = false;
};

}  // namespace corvid
