// The end side of a start that uses the cache (cache_exit.cpp), as far as the
// other parts need it: arming the JVM's exit hook, and telling the JVM's
// words about its archive step from the application's output.
#pragma once

#include <string>

namespace corvid {

class Launcher;

// Once prepareStartupCache has settled on a mode: the JVM's exit hook
// records what this start made.
void watchJvmEnd(Launcher& launcher);

// True for what the JVM prints about its own archive step at exit (the
// recorded configuration, a refused archive), which the application's
// output never shows.
bool isArchiveStepText(const std::string& piece);

}  // namespace corvid
