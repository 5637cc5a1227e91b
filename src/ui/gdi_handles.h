// UniqueHandle kinds for the GDI and user objects that dialogs and windows
// own: fonts, brushes, bitmaps, icons, memory device contexts, and the
// device context borrowed from a window. System objects (stock objects,
// LoadIcon/LoadCursor of a system resource) are shared and never go in here.
#pragma once

#include "platform/win_handles.h"

namespace corvid {

inline BOOL deleteGdiObject(HGDIOBJ object) noexcept { return DeleteObject(object); }

using FontTraits = Win32HandleTraits<HFONT, &deleteGdiObject, &nullHandle<HFONT>>;
using BrushTraits = Win32HandleTraits<HBRUSH, &deleteGdiObject, &nullHandle<HBRUSH>>;
using BitmapTraits = Win32HandleTraits<HBITMAP, &deleteGdiObject, &nullHandle<HBITMAP>>;
using IconTraits = Win32HandleTraits<HICON, &DestroyIcon, &nullHandle<HICON>>;
// CreateCompatibleDC and friends; a window's own DC is WindowDeviceContext.
using MemoryDeviceContextTraits = Win32HandleTraits<HDC, &DeleteDC, &nullHandle<HDC>>;

using UniqueFont = UniqueHandle<FontTraits>;
using UniqueBrush = UniqueHandle<BrushTraits>;
using UniqueBitmap = UniqueHandle<BitmapTraits>;
using UniqueIcon = UniqueHandle<IconTraits>;
using UniqueMemoryDeviceContext = UniqueHandle<MemoryDeviceContextTraits>;

// GetDC's device context, released to its window; keeps the last error.
class WindowDeviceContext {
public:
    explicit WindowDeviceContext(HWND window) noexcept : window_(window), dc_(GetDC(window)) {}
    WindowDeviceContext(const WindowDeviceContext&) = delete;
    WindowDeviceContext& operator=(const WindowDeviceContext&) = delete;
    ~WindowDeviceContext() {
        if (!dc_) return;
        const DWORD saved = GetLastError();
        ReleaseDC(window_, dc_);
        SetLastError(saved);
    }
    HDC get() const noexcept { return dc_; }
    explicit operator bool() const noexcept { return dc_ != nullptr; }

private:
    HWND window_;
    HDC dc_;
};

// Selects an object into a device context and puts the previous one back.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) noexcept : dc_(dc), previous_(SelectObject(dc, object)) {}
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;
    ~SelectedObject() {
        if (previous_ && previous_ != HGDI_ERROR) SelectObject(dc_, previous_);
    }

private:
    HDC dc_;
    HGDIOBJ previous_;
};

}  // namespace corvid
