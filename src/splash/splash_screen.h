// The splash screen shown while the JVM starts: either the launcher's own
// window (Windows) or the Java runtime's splash library, which the program
// can then reach through java.awt.SplashScreen.
#pragma once

#include <cstdint>

#include "platform/text.h"

namespace corvid {

class Launcher;

// Shows [Display] "Splash Screen", or when that is empty `optionPicture`
// (java's -splash: among the VM parameters, which the hosting finds). False
// only when the configuration file path cannot be formed.
bool startSplashScreen(Launcher& launcher, const WideString& optionPicture = {});
// Stops the native splash window; nothing when none runs. Called on the Java
// thread when main ends with an exception, and first in teardown.
void closeNativeSplash(Launcher& launcher);

// Calls closeJavaSplashHook once, when set, and clears it.
void closeJavaSplash(Launcher& launcher);
// Clears closeJavaSplashHook without calling it: after a JVM has ended, the
// runtime's splash is left to the process's end.
void leaveJavaSplash(Launcher& launcher);

// The runtime's splash library beside the JVM library's parent folder, or the
// empty text when it is not there.
WideString locateJavaSplashLibrary(Launcher& launcher);
// Loads the library and has it show splashImagePath. False when it cannot be
// loaded or lacks an entry; its "SplashClose" becomes closeJavaSplashHook
// either way (after a previous hook has been called). Never unloaded.
bool startJavaSplash(Launcher& launcher, const WideString& libraryPath);

// The pure rules, for tests.
// The JVM library path cut at its last separator twice, then the library's
// file name; empty when nothing is left after the cuts.
WideString javaSplashLibraryPathFor(WideView jvmLibraryPath);
// "Preffer Native Splash Screen": "Yes" in any letter case.
bool prefersJavaSplash(WideView value);
// "Splash Screen Shadow": "true" exactly.
bool wantsSplashShadow(WideView value);
// HIMETRIC units (0.01 mm) to pixels at the given dots per inch, rounded to
// the nearest pixel (halves away from zero).
std::int32_t himetricToPixels(std::int32_t himetric, std::int32_t dotsPerInch);
// Left or top edge of a window of `size` centred on a screen of `screen`;
// the division truncates toward zero, so the odd pixel goes right or down,
// and a window larger than the screen gets a negative edge.
std::int32_t centeredEdge(std::int32_t screen, std::int32_t size);
// One premultiplied BGRA pixel (as 0xAARRGGBB) composited over an opaque
// background colour given as 0x00RRGGBB; the result is opaque, 0x00RRGGBB.
std::uint32_t blendOverBackground(std::uint32_t premultiplied, std::uint32_t background);

// How the splash of this start is shown.
enum class SplashWay { None, JavaLibrary, NativeWindow };

}  // namespace corvid
