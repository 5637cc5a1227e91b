// What the launcher shows the user and the texts it shows, behind an
// interface so tests can record message boxes and choose a language.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace corvid {

class UserInterface {
public:
    virtual ~UserInterface() = default;
    // A modal error box with one OK button and the platform's default title.
    // Returns the button pressed, or 0 when no box could be shown.
    virtual int showMessageBox(WindowHandle owner, const WideString& text) = 0;
    // The language identifier of the calling thread's locale.
    virtual std::uint16_t threadLanguage() = 0;
    // The string-table entry `id` in exactly `language` (one of the five
    // table languages); empty when the table has none.
    virtual WideString loadString(std::uint16_t language, std::uint16_t id) = 0;
};

UserInterface& systemUserInterface();

// The Windows console variant's interface: the system's texts and language,
// with every message box written to standard error instead (Windows only).
UserInterface& consoleUserInterface();

// What a windowless build writes for a message box: "program: text" and a
// line break, the text's own line breaks turned into blanks.
WideString consoleErrorLine(WideView program, WideView text);

}  // namespace corvid
