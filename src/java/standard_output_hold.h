// What the process writes to its standard output while the JVM is created.
// Some refusals are printed there by the JVM's Java side (a missing module of
// the boot layer) and never reach the output hook before the JVM ends the
// process, so the launcher holds the stream back to put that text in its
// message. Linux only: on Windows a windowed process has no standard output,
// and the runtime keeps the handle it found, so nothing is held there.
#pragma once

#include <string>

namespace corvid {

// Starts holding back; nothing when it cannot.
void holdStandardOutput();
// Stops holding back and returns what was written meanwhile; with
// writeThrough the text is also written to the real standard output.
std::string releaseStandardOutput(bool writeThrough);

}  // namespace corvid
