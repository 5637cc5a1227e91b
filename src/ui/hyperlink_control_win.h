// A static text control of a dialog turned into a link: drawn in the link
// colour with an underlined copy of the dialog's font, a hand cursor and a
// tooltip with the target over the text, and the target opened with the
// shell's "open" verb on a click (or Space or Enter while it has the focus).
// The control subclasses the existing window (see BoundWindow); it creates
// none of its own.
#pragma once

#ifndef _WIN32
#error "hyperlink_control_win.h is for the Windows build only"
#endif

#include <optional>

#include "platform/text.h"
#include "platform/windows_api.h"
#include "ui/bound_window_win.h"

namespace corvid {

class HyperLinkControl final : public BoundWindow {
public:
    HyperLinkControl() = default;
    // Releases the cursor and the link font; the window must be gone or
    // detached (its destruction detaches it).
    ~HyperLinkControl() override;

    // Subclasses `window` and sets the link up. When the window procedure
    // cannot be replaced the window stays a plain static text. Every other
    // failure (tooltip, font, colours) only degrades the link.
    void attach(HWND window) noexcept;

private:
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept override;

    void initialize() noexcept;
    void makeHandCursor() noexcept;
    void computeLinkRect() noexcept;
    void readLinkColours() noexcept;
    void paint(HDC dc) noexcept;
    void openTarget() noexcept;
    bool inLinkRect(POINT point) const noexcept;
    UINT alignmentFlags() const noexcept;
    const WideString* shownText() const noexcept;

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
