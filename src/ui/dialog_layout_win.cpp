#ifndef _WIN32
#error "dialog_layout_win.cpp is for the Windows build only"
#endif

#include "ui/dialog_layout.h"

namespace corvid {

namespace {

Rect fromRect(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }

// A control's rectangle in its dialog's client coordinates.
Rect clientRectOf(HWND dialog, HWND control) {
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return fromRect(r);
}

// WS_VISIBLE | WS_CHILD | WS_CLIPSIBLINGS | SBS_SIZEBOX | SBS_SIZEGRIP |
// SBS_SIZEBOXBOTTOMRIGHTALIGN: the system's grip, bottom-right aligned.
constexpr DWORD kSizeGripStyle = 0x5400001C;

// A group box paints only its frame and caption and leaves its inside to the
// dialog, which with WS_CLIPCHILDREN paints nothing under a child: the inside
// would stay unpainted. A transparent child is not clipped away.
void letGroupBoxesShowTheDialog(HWND dialog) {
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t className[16] = L"";
        if (!GetClassNameW(child, className, 16) ||
            CompareStringOrdinal(className, -1, L"Button", -1, TRUE) != CSTR_EQUAL) {
            continue;
        }
        if ((GetWindowLongW(child, GWL_STYLE) & BS_TYPEMASK) != BS_GROUPBOX) continue;
        SetWindowLongW(child, GWL_EXSTYLE, GetWindowLongW(child, GWL_EXSTYLE) | WS_EX_TRANSPARENT);
    }
}

}  // namespace

bool DialogResizer::isChild() const { return (GetWindowLongW(dialog_, GWL_STYLE) & WS_CHILD) != 0; }

void DialogResizer::initialize(HWND dialog, const ResizeMapItem* map, std::size_t count, bool addGrip,
                               bool useMinTrackSize, DWORD forcedStyles) {
    dialog_ = dialog;
    const DWORD style = static_cast<DWORD>(GetWindowLongW(dialog, GWL_STYLE));
    if ((style & forcedStyles) != forcedStyles) SetWindowLongW(dialog, GWL_STYLE, static_cast<LONG>(style | forcedStyles));
    if ((style | forcedStyles) & WS_CLIPCHILDREN) letGroupBoxesShowTheDialog(dialog);
    if (!isChild()) {
        SetWindowLongW(dialog, GWL_EXSTYLE, GetWindowLongW(dialog, GWL_EXSTYLE) | WS_EX_DLGMODALFRAME);
        // Without an explicit "none" the caption of a resizable dialog can
        // show an empty icon.
        if (!SendMessageW(dialog, WM_GETICON, ICON_SMALL, 0)) SendMessageW(dialog, WM_SETICON, ICON_SMALL, 0);
    }

    // Initialised again: the grip this resizer made goes, the one the
    // template may hold stays.
    const HWND oldGrip = GetDlgItem(dialog, kSizeGripId);
    if (oldGrip && !entries_.empty() && hasAny(entries_.front().flags, ResizeFlags::Grip)) DestroyWindow(oldGrip);
    entries_.clear();
    hasGrip_ = false;
    minTrackSize_ = {-1, -1};

    RECT client{};
    GetClientRect(dialog, &client);
    initialClientSize_ = {client.right, client.bottom};

    if (addGrip && !GetDlgItem(dialog, kSizeGripId)) {
        const HWND grip = CreateWindowExW(0, L"SCROLLBAR", nullptr, kSizeGripStyle, client.left, client.top,
                                          client.right - client.left, client.bottom - client.top, dialog,
                                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(kSizeGripId)),
                                          GetModuleHandleW(nullptr), nullptr);
        if (grip) {
            hasGrip_ = true;
            entries_.push_back({kSizeGripId,
                                ResizeFlags::MoveX | ResizeFlags::MoveY | ResizeFlags::Repaint | ResizeFlags::Grip,
                                clientRectOf(dialog, grip)});
        }
    }

    if (useMinTrackSize) {
        if (isChild()) {
            minTrackSize_ = {initialClientSize_.width, initialClientSize_.height};
        } else {
            RECT outer{};
            GetWindowRect(dialog, &outer);
            minTrackSize_ = {outer.right - outer.left, outer.bottom - outer.top};
        }
    }

    for (std::size_t i = 0; i < count; ++i) {
        const HWND control = GetDlgItem(dialog, map[i].id);
        entries_.push_back({map[i].id, map[i].flags, control ? clientRectOf(dialog, control) : Rect{}});
    }
}

void DialogResizer::onSize(WPARAM kind, int clientWidth, int clientHeight) {
    if (hasGrip_) {
        const HWND grip = GetDlgItem(dialog_, kSizeGripId);
        if (grip && kind == SIZE_MAXIMIZED) ShowWindow(grip, SW_HIDE);
        if (grip && kind == SIZE_RESTORED) ShowWindow(grip, SW_SHOW);
    }
    if (kind != SIZE_MINIMIZED) updateLayout(clientWidth, clientHeight);
}

void DialogResizer::onGetMinMaxInfo(MINMAXINFO& info) const {
    if (minTrackSize_.x == -1 && minTrackSize_.y == -1) return;
    info.ptMinTrackSize = minTrackSize_;
}

void DialogResizer::updateLayout(int clientWidth, int clientHeight) {
    if (!dialog_) return;
    std::optional<Size> minimum;
    if (minTrackSize_.x != -1 || minTrackSize_.y != -1) minimum = Size{minTrackSize_.x, minTrackSize_.y};
    const Size client = layoutClientSize({clientWidth, clientHeight}, isChild(), minimum);

    // One repaint at the end instead of one per control.
    const bool redrawOff = IsWindowVisible(dialog_) != FALSE;
    if (redrawOff) SendMessageW(dialog_, WM_SETREDRAW, FALSE, 0);
    const auto currentRect = [this](std::int32_t id) -> std::optional<Rect> {
        const HWND control = GetDlgItem(dialog_, id);
        if (!control) return std::nullopt;
        return clientRectOf(dialog_, control);
    };
    for (const ControlPlacement& placement : planLayout(entries_, initialClientSize_, client, currentRect)) {
        const HWND control = GetDlgItem(dialog_, placement.id);
        if (placement.repaint) InvalidateRect(control, nullptr, TRUE);
        if (placement.rect) {
            const Rect& r = *placement.rect;
            SetWindowPos(control, nullptr, r.left, r.top, r.width(), r.height(), SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    if (redrawOff) SendMessageW(dialog_, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(dialog_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void centerWindow(HWND window) {
    Rect area;
    Rect reference;
    if (GetWindowLongW(window, GWL_STYLE) & WS_CHILD) {
        RECT parentClient{};
        GetClientRect(GetParent(window), &parentClient);
        area = reference = fromRect(parentClient);
    } else {
        RECT workArea{};
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0);
        area = fromRect(workArea);
        std::optional<OwnerWindowState> owner;
        if (const HWND ownerWindow = GetWindow(window, GW_OWNER)) {
            RECT ownerRect{};
            GetWindowRect(ownerWindow, &ownerRect);
            owner = OwnerWindowState{fromRect(ownerRect), IsWindowVisible(ownerWindow) != FALSE,
                                     IsIconic(ownerWindow) != FALSE};
        }
        reference = centringReference(owner, area);
    }
    RECT own{};
    GetWindowRect(window, &own);
    const Point position = centredPosition({own.right - own.left, own.bottom - own.top}, reference, area);
    SetWindowPos(window, nullptr, position.x, position.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace corvid
