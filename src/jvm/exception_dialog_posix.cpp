#ifdef _WIN32
#error "exception_dialog_posix.cpp is for the POSIX build only"
#endif

#include "jvm/exception_dialog.h"

namespace corvid {

// No dialogs on Linux: the trace has been printed to the error stream, and a
// dialog that cannot be created means Stop.
int showExceptionDialog(const WideString&, std::uint16_t) { return -1; }

}  // namespace corvid
