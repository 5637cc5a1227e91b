// The launcher's own splash window, where the platform has one: a picture in
// a borderless window centred on the screen, made, painted and destroyed by
// a thread of its own.
#pragma once

namespace corvid {

class Launcher;

#ifdef _WIN32
inline constexpr bool kHasNativeSplashWindow = true;
inline constexpr bool kSplashLibraryNeedsJvmLibrary = false;
#else
inline constexpr bool kHasNativeSplashWindow = false;
// Debian's libsplashscreen.so lists libjvm.so as a dependency that its
// RPATH ($ORIGIN, the lib folder) does not reach.
inline constexpr bool kSplashLibraryNeedsJvmLibrary = true;
#endif

// Creates the SplashScreenWindow object and starts the splash thread, which
// makes the window, writes ownerWindow, and paints until closeNativeSplash.
// A thread that cannot be started is ignored.
void startNativeSplash(Launcher& launcher);

}  // namespace corvid
