#ifndef _WIN32
#error "hyperlink_control_win.cpp is for the Windows build only"
#endif

#include "ui/hyperlink_control_win.h"

// After windows.h, which the header above includes.
#include <commctrl.h>
#include <shellapi.h>

#include <cstdint>

#include "platform/win_handles.h"
#include "ui/gdi_handles.h"
#include "ui/link_text.h"

namespace corvid {

namespace {

// The hand with its index finger up, rows 0 to 21 of a 32 x 32 cursor (AND
// mask, XOR mask; the leftmost pixel is the most significant bit of the
// first byte). The remaining rows are transparent.
constexpr std::uint32_t kHandRows[22][2] = {
    {0xF9FFFFFF, 0x00000000}, {0xF0FFFFFF, 0x06000000}, {0xF0FFFFFF, 0x06000000}, {0xF0FFFFFF, 0x06000000},
    {0xF0FFFFFF, 0x06000000}, {0xF03FFFFF, 0x06000000}, {0xF007FFFF, 0x06C00000}, {0xF001FFFF, 0x06D80000},
    {0xF000FFFF, 0x06DA0000}, {0x10007FFF, 0x06DB0000}, {0x00007FFF, 0x67FB0000}, {0x00007FFF, 0x77FF0000},
    {0x80007FFF, 0x37FF0000}, {0xC0007FFF, 0x17FF0000}, {0xC0007FFF, 0x1FFF0000}, {0xE0007FFF, 0x0FFF0000},
    {0xE000FFFF, 0x0FFE0000}, {0xF000FFFF, 0x07FE0000}, {0xF000FFFF, 0x07FE0000}, {0xF801FFFF, 0x03FC0000},
    {0xF801FFFF, 0x03FC0000}, {0xF801FFFF, 0x00000000},
};

constexpr wchar_t kColourKey[] = L"Software\\Microsoft\\Internet Explorer\\Settings";

HINSTANCE moduleInstance() { return GetModuleHandleW(nullptr); }

// The colour named `value` under the key, when it is well-formed.
void readColour(HKEY key, const wchar_t* value, COLORREF& colour) {
    std::uint8_t data[kColourValueCapacity];
    DWORD size = sizeof data;
    DWORD type = 0;
    if (RegQueryValueExW(key, value, nullptr, &type, data, &size) != ERROR_SUCCESS) return;
    if (const auto parsed = parseColourValue(type, data, size)) colour = *parsed;
}

}  // namespace

HyperLinkControl::~HyperLinkControl() {
    if (ownsLinkFont_ && linkFont_) DeleteObject(linkFont_);
    if (handCursor_) DestroyCursor(handCursor_);
}

void HyperLinkControl::attach(HWND window) noexcept {
    if (subclass(window)) initialize();
}

void HyperLinkControl::initialize() noexcept {
    // A static reports clicks only with the notify style.
    wchar_t className[8] = {};
    GetClassNameW(window(), className, 8);
    if (CompareStringOrdinal(className, -1, L"static", -1, TRUE) == CSTR_EQUAL) {
        const LONG_PTR style = GetWindowLongPtrW(window(), GWL_STYLE);
        if (!(style & SS_NOTIFY)) SetWindowLongPtrW(window(), GWL_STYLE, style | SS_NOTIFY);
    }

    makeHandCursor();

    normalFont_ = reinterpret_cast<HFONT>(SendMessageW(GetParent(window()), WM_GETFONT, 0, 0));
    if (!normalFont_) normalFont_ = static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
    if (normalFont_ && !linkFont_) {
        LOGFONTW font{};
        if (GetObjectW(normalFont_, sizeof font, &font) != 0) {
            font.lfUnderline = TRUE;
            linkFont_ = CreateFontIndirectW(&font);
            ownsLinkFont_ = linkFont_ != nullptr;
        }
    }

    // The tooltip class comes with the common controls, registered on request.
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    toolTip_ = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, 0, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                               CW_USEDEFAULT, window(), nullptr, moduleInstance(), nullptr);

    if (!label_) {
        const int length = GetWindowTextLengthW(window());
        if (length > 0) {
            WideString text(static_cast<std::size_t>(length) + 1, u'\0');
            text.resize(static_cast<std::size_t>(GetWindowTextW(window(), wide(text.data()), length + 1)));
            if (!text.empty()) label_ = std::move(text);
        }
    }

    computeLinkRect();

    if (!target_ && label_) target_ = label_;
    if (target_ && toolTip_) {
        SendMessageW(toolTip_, TTM_ACTIVATE, TRUE, 0);
        // The version-2 record (64 bytes): what every common-controls version takes.
        TTTOOLINFOW tool{};
        tool.cbSize = TTTOOLINFOW_V2_SIZE;
        tool.uFlags = 0;
        tool.hwnd = window();
        tool.uId = 1;
        tool.rect = linkRect_;
        tool.hinst = moduleInstance();
        tool.lpszText = const_cast<wchar_t*>(wide(*target_));
        SendMessageW(toolTip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }

    readLinkColours();
}

void HyperLinkControl::makeHandCursor() noexcept {
    BYTE andMask[128];
    BYTE xorMask[128];
    for (int row = 0; row < 32; ++row) {
        const std::uint32_t andBits = row < 22 ? kHandRows[row][0] : 0xFFFFFFFF;
        const std::uint32_t xorBits = row < 22 ? kHandRows[row][1] : 0x00000000;
        for (int i = 0; i < 4; ++i) {
            andMask[row * 4 + i] = static_cast<BYTE>(andBits >> (24 - 8 * i));
            xorMask[row * 4 + i] = static_cast<BYTE>(xorBits >> (24 - 8 * i));
        }
    }
    handCursor_ = CreateCursor(moduleInstance(), 5, 0, 32, 32, andMask, xorMask);
}

UINT HyperLinkControl::alignmentFlags() const noexcept {
    switch (alignmentOfStatic(static_cast<std::uint32_t>(GetWindowLongPtrW(window(), GWL_STYLE)))) {
    case TextAlignment::Center:
        return DT_CENTER;
    case TextAlignment::Right:
        return DT_RIGHT;
    case TextAlignment::Left:
        break;
    }
    return DT_LEFT;
}

const WideString* HyperLinkControl::shownText() const noexcept {
    if (label_) return &*label_;
    if (target_) return &*target_;
    return nullptr;
}

void HyperLinkControl::computeLinkRect() noexcept {
    RECT client{};
    GetClientRect(window(), &client);
    RECT measured = client;
    const WideString* text = shownText();
    const WindowDeviceContext dc(window());
    if (dc && text) {
        const HGDIOBJ font = linkFont_ ? static_cast<HGDIOBJ>(linkFont_) : GetCurrentObject(dc.get(), OBJ_FONT);
        const SelectedObject selected(dc.get(), font);
        DrawTextW(dc.get(), wide(*text), -1, &measured, DT_CALCRECT | DT_WORDBREAK | alignmentFlags());
    }
    const TextRect placed =
        placeMeasuredText({client.left, client.top, client.right, client.bottom},
                          {measured.left, measured.top, measured.right, measured.bottom},
                          alignmentOfStatic(static_cast<std::uint32_t>(GetWindowLongPtrW(window(), GWL_STYLE))));
    linkRect_ = {placed.left, placed.top, placed.right, placed.bottom};
}

void HyperLinkControl::readLinkColours() noexcept {
    // Read access is all the colours need; asking for write access as well
    // would lose them where the user may read the key but not change it.
    UniqueRegistryKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kColourKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return;
    readColour(key.get(), L"Anchor Color", linkColour_);
    readColour(key.get(), L"Anchor Color Visited", visitedColour_);
}

bool HyperLinkControl::inLinkRect(POINT point) const noexcept { return PtInRect(&linkRect_, point) != FALSE; }

void HyperLinkControl::paint(HDC dc) noexcept {
    RECT client{};
    GetClientRect(window(), &client);
    const auto brush = reinterpret_cast<HBRUSH>(
        SendMessageW(GetParent(window()), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(window())));
    if (brush) FillRect(dc, &client, brush);
    SetBkMode(dc, TRANSPARENT);
    const COLORREF colour = !IsWindowEnabled(window()) ? GetSysColor(COLOR_GRAYTEXT)
                            : visited_                 ? visitedColour_
                                                       : linkColour_;
    const COLORREF previousColour = SetTextColor(dc, colour);
    HFONT font = linkFont_ ? linkFont_ : normalFont_;
    const HGDIOBJ previousFont = font ? SelectObject(dc, font) : nullptr;
    if (const WideString* text = shownText()) {
        RECT area = linkRect_;
        DrawTextW(dc, wide(*text), -1, &area, DT_WORDBREAK | alignmentFlags());
    }
    if (GetFocus() == window()) DrawFocusRect(dc, &linkRect_);
    SetTextColor(dc, previousColour);
    if (previousFont) SelectObject(dc, previousFont);
}

void HyperLinkControl::openTarget() noexcept {
    if (!target_) return;
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", wide(*target_), nullptr, nullptr, SW_SHOWNORMAL));
    if (result <= 32) return;
    visited_ = true;
    InvalidateRect(window(), nullptr, TRUE);
}

LRESULT HyperLinkControl::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message >= WM_MOUSEFIRST && message <= WM_MOUSEWHEEL && toolTip_ && IsWindow(toolTip_)) {
        MSG relayed{window(), message, wParam, lParam, 0, {0, 0}};
        SendMessageW(toolTip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relayed));
    }
    const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    switch (message) {
    case WM_SETCURSOR: {
        POINT cursor{};
        if (target_ && GetCursorPos(&cursor) && ScreenToClient(window(), &cursor) && inLinkRect(cursor)) return TRUE;
        return passOn(message, wParam, lParam);
    }
    case WM_MOUSEMOVE:
        if (target_ && inLinkRect(at)) {
            SetCursor(handCursor_);
            return 0;
        }
        return passOn(message, wParam, lParam);
    case WM_LBUTTONDOWN:
        if (inLinkRect(at)) {
            SetFocus(window());
            SetCapture(window());
        }
        return 0;
    case WM_LBUTTONUP:
        if (GetCapture() == window()) {
            ReleaseCapture();
            if (inLinkRect(at)) openTarget();
        }
        return 0;
    case WM_CHAR:
        if (wParam == 13 || wParam == 32) openTarget();
        return 0;
    case WM_GETDLGCODE:
        return DLGC_WANTCHARS;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        InvalidateRect(window(), nullptr, TRUE);
        return 0;
    case WM_SETFONT:
        normalFont_ = reinterpret_cast<HFONT>(wParam);
        if (lParam) {
            InvalidateRect(window(), nullptr, TRUE);
            UpdateWindow(window());
        }
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(normalFont_);
    case WM_ENABLE:
        InvalidateRect(window(), nullptr, TRUE);
        UpdateWindow(window());
        return 0;
    case WM_SIZE:
        computeLinkRect();
        InvalidateRect(window(), nullptr, TRUE);
        return 0;
    case WM_UPDATEUISTATE:
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        if (wParam) {
            paint(reinterpret_cast<HDC>(wParam));
        } else {
            PAINTSTRUCT ps;
            if (HDC dc = BeginPaint(window(), &ps)) {
                paint(dc);
                EndPaint(window(), &ps);
            }
        }
        return 0;
    case WM_PRINTCLIENT:
        paint(reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_DESTROY:
        if (toolTip_) DestroyWindow(toolTip_);
        toolTip_ = nullptr;
        return passOn(message, wParam, lParam);
    default:
        return passOn(message, wParam, lParam);
    }
}

}  // namespace corvid
