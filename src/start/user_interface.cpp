#include "start/user_interface.h"

namespace corvid {

WideString consoleErrorLine(WideView program, WideView text) {
    while (!text.empty() && (text.back() == u'\n' || text.back() == u'\r')) text.remove_suffix(1);
    WideString line = WideString(program) + u": ";
    for (const char16_t c : text) line += (c == u'\n' || c == u'\r') ? u' ' : c;
    return line + u"\n";
}

}  // namespace corvid
