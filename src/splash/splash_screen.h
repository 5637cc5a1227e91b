// The splash screen shown while the JVM starts.
#pragma once

namespace corvid {

class Launcher;

// False only when the configuration file path cannot be formed.
bool startSplashScreen(Launcher& launcher);
// Stops the native splash window; nothing when none runs.
void closeNativeSplash(Launcher& launcher);

}  // namespace corvid
