// The arithmetic behind resizable dialogs and window centring, over plain
// rectangles so it runs and is tested anywhere; dialog_layout_win.cpp applies
// it to real windows.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace corvid {

struct Size {
    int width = 0;
    int height = 0;
    bool operator==(const Size& other) const { return width == other.width && height == other.height; }
};

struct Point {
    int x = 0;
    int y = 0;
    bool operator==(const Point& other) const { return x == other.x && y == other.y; }
};

// Edges in pixels, right and bottom exclusive, as Win32's RECT.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool operator==(const Rect& other) const {
        return left == other.left && top == other.top && right == other.right && bottom == other.bottom;
    }
};

// How a control follows a change of its dialog's client size.
enum class ResizeFlags : std::uint32_t {
    None = 0,
    SizeX = 0x01,    // right edge follows the width change
    SizeY = 0x02,    // bottom edge follows the height change
    MoveX = 0x04,    // the control moves right by the width change
    MoveY = 0x08,    // the control moves down by the height change
    Repaint = 0x10,  // invalidated, background erased, at every layout
    CenterX = 0x20,  // stays horizontally centred; wins over SizeX and MoveX
    CenterY = 0x40,  // stays vertically centred; wins over SizeY and MoveY
    Grip = 0x4000,   // the size grip the resizer created itself
};

constexpr ResizeFlags operator|(ResizeFlags a, ResizeFlags b) {
    return static_cast<ResizeFlags>(static_cast<std::uint32_t>(a) | static_cast<std::uint32_t>(b));
}
constexpr bool hasAny(ResizeFlags flags, ResizeFlags bits) {
    return (static_cast<std::uint32_t>(flags) & static_cast<std::uint32_t>(bits)) != 0;
}

// The control id and styles of the size grip (a SCROLLBAR control).
inline constexpr std::int32_t kSizeGripId = 0xE801;

// One line of a dialog's resize map.
struct ResizeMapItem {
    std::int32_t id;
    ResizeFlags flags;
};

// A control as recorded when the layout started: rect in client coordinates.
struct ResizeEntry {
    std::int32_t id = 0;
    ResizeFlags flags = ResizeFlags::None;
    Rect rect;
};

// Where one control goes when the client area is `client` instead of
// `initial`. `current` supplies the edges no flag sets. Nullopt when the
// flags ask for no move at all.
std::optional<Rect> anchoredRect(const ResizeEntry& entry, const Rect& current, Size initial, Size client);

// The client size a layout works with: a child dialog (one filling part of
// another window) is never laid out smaller than its minimum.
Size layoutClientSize(Size client, bool childDialog, std::optional<Size> minTrackSize);

struct ControlPlacement {
    std::int32_t id = 0;
    std::optional<Rect> rect;  // the new rectangle; nullopt: left where it is
    bool repaint = false;
};

// The placements of every recorded control, in order. `currentRect` gives a
// control's rectangle now, or nullopt for one that no longer exists, which
// is skipped.
std::vector<ControlPlacement> planLayout(const std::vector<ResizeEntry>& entries, Size initial, Size client,
                                         const std::function<std::optional<Rect>(std::int32_t)>& currentRect);

// The rectangle a window is centred on: for a top-level window its owner's
// window rectangle when the owner exists, is visible and is not minimized,
// else the work area.
struct OwnerWindowState {
    Rect rect;
    bool visible = false;
    bool minimized = false;
};
Rect centringReference(const std::optional<OwnerWindowState>& owner, const Rect& workArea);

// The top-left corner that centres a window of `size` on `reference`, kept
// inside `area`; when it does not fit, its left and top edges win.
Point centredPosition(Size size, const Rect& reference, const Rect& area);

}  // namespace corvid
