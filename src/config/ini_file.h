// A reader and writer of initialisation-file text with the private-profile
// semantics (see profile_store.h). Used by the POSIX profile store; portable
// so the same cases can be checked against the Windows functions.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/text.h"

namespace corvid {

enum class IniEncoding { Utf8, Utf8Bom, Utf16LeBom };

struct IniText {
    WideString content;
    IniEncoding encoding = IniEncoding::Utf8;
};

// Decodes file bytes: UTF-16LE with a byte order mark, otherwise UTF-8 with
// or without one.
IniText decodeIniBytes(std::string_view bytes);
std::string encodeIniText(const IniText& text);

// The value of `key` in the first section named `section` (letter case
// ignored), trimmed and with one pair of enclosing quotes removed; nullopt
// when the section or the key is missing.
std::optional<WideString> findIniValue(WideView content, WideView section, WideView key);

// Returns `content` with `key` set to `value`: replaced in place when the key
// exists, appended to the section when only the section exists, or added in a
// new section at the end.
WideString setIniValue(WideView content, WideView section, WideView key, WideView value);

// The same change made to the bytes of a file: only the bytes of the one line
// that is replaced change, or the new lines are inserted; every other byte,
// including bytes that are not valid in the file's encoding, stays as it was.
std::string setIniValueInBytes(std::string_view bytes, WideView section, WideView key, WideView value);

}  // namespace corvid
