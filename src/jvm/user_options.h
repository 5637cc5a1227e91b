// The options a user keeps for an application: with "User Options=Yes", the
// file <exe name>.vmoptions in the per-user folder (beside the per-user
// configuration file) adds JVM options after the configured ones, so a
// user's -Xmx wins without editing the application's own file.
#pragma once

#include "platform/text.h"

namespace corvid {

class Launcher;

// One option a line, taken whole (blanks inside kept, quotes not processed),
// leading and trailing blanks dropped; empty lines and lines starting with
// "#" are skipped.
WideList parseUserOptions(WideView content);

// Appends the options of the user's file to `tokens` when the configuration
// file asks for them, memory shares and the stack size applied as for the
// VM parameters. Services read nothing; a missing file adds nothing.
void appendUserOptions(Launcher& launcher, const WideString& configFile, WideList& tokens);

}  // namespace corvid
