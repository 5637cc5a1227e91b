// What the Win32 programs that drive and probe the launcher from outside in
// the end-to-end tests share: output in UTF-8, and telling the launcher's
// process by its image name.
#pragma once

#include <string>

#include "platform/windows_api.h"

namespace corvid::testing {

// Writes text to a standard stream as UTF-8 bytes, past the C runtime.
void writeUtf8(DWORD stream, const std::wstring& text);

// True when process pid runs an image of this file name (letter case ignored).
bool processImageIs(DWORD pid, const std::wstring& image);

}  // namespace corvid::testing
