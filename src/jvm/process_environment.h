// What the launcher publishes in its own environment before the JVM library
// loads: its own folder (CORVID_EXE_DIR), where the runtime is (TAV_JVM_PATH,
// TAV_JVM_HOME), the search path with the runtime's executables last, and the
// JVM's library path option.
#pragma once

#include "platform/platform.h"
#include "platform/text.h"

namespace corvid {

class Launcher;

// The variable that holds the executable search path; its list separator
// is kSearchPathSeparator.
#ifdef _WIN32
inline constexpr char16_t kSearchPathVariable[] = u"Path";
#else
inline constexpr char16_t kSearchPathVariable[] = u"PATH";
#endif

inline constexpr char16_t kJvmPathVariable[] = u"TAV_JVM_PATH";
inline constexpr char16_t kJvmHomeVariable[] = u"TAV_JVM_HOME";
// Sets kExecutableFolderVariable, before any configured path is expanded;
// nothing when the executable's path cannot be known.
void publishExecutableFolder(Launcher& launcher);
void prepareEnvironment(Launcher& launcher);

// The value of java.library.path: the configured value, the executable's
// folder, ".", the inherited search path and the runtime's lib folder,
// joined by the separator where the piece before does not end in one.
WideString buildLibraryPath(Environment& environment, const WideString& configured, const WideString& moduleFolder,
                            WideView jvmLibraryPath);
// The new executable search path: "System Path", the inherited one, and the
// runtime's bin folder.
WideString buildSearchPath(Environment& environment, const WideString& systemPath, WideView jvmLibraryPath);

}  // namespace corvid
