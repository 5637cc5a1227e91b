#ifdef _WIN32
#error "splash_window_posix.cpp is for the POSIX build only"
#endif

#include "splash/splash_screen.h"
#include "splash/splash_window.h"
#include "start/launcher.h"

namespace corvid {

// Linux has no splash window of the launcher's own; the object type exists
// only so that the Launcher's field has one.
class SplashScreenWindow {};

void SplashWindowDeleter::operator()(SplashScreenWindow* window) const noexcept { delete window; }

void startNativeSplash(Launcher&) {}

void closeNativeSplash(Launcher& launcher) { launcher.splashWindow.reset(); }

}  // namespace corvid
