// The "Java Exception" dialog: the stack trace of an exception that escaped
// main, and the user's choice between ignoring it and stopping the program.
#pragma once

#include <cstdint>

#include "platform/text.h"

namespace corvid {

inline constexpr int kExceptionDialogIgnore = 1;
inline constexpr int kExceptionDialogStop = 2;

// Shows the trace modally on the calling thread, owned by that thread's
// active window, from the dialog template in `language` (a table language).
// Returns kExceptionDialogIgnore, kExceptionDialogStop (Stop, Esc, the close
// box), or -1 when the dialog could not be created, which is always so on
// Linux: it has no dialogs.
int showExceptionDialog(const WideString& traceText, std::uint16_t language);

}  // namespace corvid
