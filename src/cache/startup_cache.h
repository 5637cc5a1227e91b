// The start-up cache: a class-data archive per application, made by the JVM
// at the end of one start and mapped by the next ones, so classes need not be
// parsed and verified again. The launcher keys the archive by everything that
// makes it valid, so a stale archive is never mapped, and guards every step:
// an archive is used only when its record matches, a new one only after a
// later start has checked it, and a start whose JVM does not end in order
// leaves a marker that makes the next start throw that archive away. Whatever
// fails, the start goes on without the cache. This header holds what the
// spine and the hosting call; the parts of the cache have their own.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/text.h"

namespace corvid {

class Launcher;

// The run phase's steps: after buildJvmOptions (adds the options and sets
// the crash marker), right before main runs (records a check's verdict), and
// after DestroyJavaVM (records a created archive; clears the marker when main
// ran). Each does nothing when the key is off.
void prepareStartupCache(Launcher& launcher);
void startupCacheMainStarting(Launcher& launcher);
void finishStartupCache(Launcher& launcher);
// Right before DestroyJavaVM, in which the JVM writes an archive when main
// returned: a refused archive then ends the process with the code the
// start would have had.
void startupCacheDestroying(Launcher& launcher, std::int32_t exitCode);

// The environment variable that puts the launcher in build mode; its value is
// the AOT cache's record. Build mode creates the JVM with the create options
// of the recorded configuration and ends with it; nothing else of a start runs.
inline constexpr char16_t kCacheBuildVariable[] = u"CORVID_CACHE_BUILD";
// Build mode's steps around the JVM that the caller loads, creates and
// destroys, on a launcher whose platform shows nothing. The first takes the
// record: it sets jvmLibraryPath (empty when the record names none) and the
// options the key was made for, and arranges for the last step to run at exit
// too; nullopt when the JVM is to build, otherwise the process's exit code.
// The second, once the library is loaded, adds the create step's options.
// The last records what the JVM built, or that it built nothing.
std::optional<std::int32_t> beginStartupCacheBuild(Launcher& launcher, const WideString& record);
void addStartupCacheBuildOptions(Launcher& launcher);
void finishStartupCacheBuild();

// The JVM's exit hook while the cache is in use: System.exit writes the
// archive before it calls the hook, which records it and clears the marker.
void startupCacheExitHook(int exitCode);

}  // namespace corvid
