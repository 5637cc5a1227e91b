#include "splash/splash_screen.h"

#include "config/config_file.h"
#include "launcher/launcher.h"

namespace corvid {

// No splash window is built yet: the start goes on without one, as it does
// when no picture is configured.
bool startSplashScreen(Launcher& launcher) { return getConfigFilePath(launcher).has_value(); }

void closeNativeSplash(Launcher&) {}

}  // namespace corvid
