// The one place that includes <windows.h>. Portable headers never include it.
#pragma once

#ifndef _WIN32
#error "windows_api.h is for the Windows build only"
#endif

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "platform/text.h"

namespace corvid {

// UTF-16 text and wchar_t share their representation on Windows.
inline const wchar_t* wide(const WideString& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }
inline wchar_t* wide(char16_t* text) { return reinterpret_cast<wchar_t*>(text); }
inline WideString fromWide(const wchar_t* text) { return text ? WideString(reinterpret_cast<const char16_t*>(text)) : WideString(); }
inline WideString fromWide(const wchar_t* text, std::size_t length) {
    return WideString(reinterpret_cast<const char16_t*>(text), length);
}

}  // namespace corvid
