// A reader and writer of initialisation-file text with the private-profile
// semantics (see profile_store.h): the one reader of both platforms' stores.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/text.h"

namespace corvid {

// Ansi: no byte-order mark and not UTF-8; read in the platform's narrow
// encoding (the thread's ANSI code page on Windows).
enum class IniEncoding { Utf8, Utf8Bom, Utf16LeBom, Ansi };

struct IniText {
    WideString content;
    IniEncoding encoding = IniEncoding::Utf8;
};

// How file bytes are read: UTF-16LE or UTF-8 after their byte-order marks;
// without one, UTF-8 when the bytes are valid UTF-8 (plain ASCII included,
// which reads the same either way), otherwise Ansi. Notepad has saved UTF-8
// without a mark since 2019, and a valid multi-byte sequence is very rarely
// ANSI text.
IniEncoding detectIniEncoding(std::string_view bytes);
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

// The same change made to the bytes of a file, in the file's encoding: only
// the bytes of the one line that is replaced change, or the new lines are
// inserted; every other byte, including bytes that are not valid in the
// file's encoding, stays as it was. nullopt when an Ansi file cannot hold
// the new text (a plain ASCII file takes it as UTF-8, and is UTF-8 then).
std::optional<std::string> setIniValueInBytes(std::string_view bytes, WideView section, WideView key,
                                              WideView value);

}  // namespace corvid
