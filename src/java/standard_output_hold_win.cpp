#ifndef _WIN32
#error "standard_output_hold_win.cpp is for the Windows build only"
#endif

#include "java/standard_output_hold.h"

namespace corvid {

void holdStandardOutput() {}

std::string releaseStandardOutput(bool) { return {}; }

}  // namespace corvid
