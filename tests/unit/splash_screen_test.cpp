#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "splash/splash_screen.h"
#include "start/launcher.h"
#include "support/fake_platform.h"

namespace corvid {
namespace {

using testing::FakeLibraries;
using testing::FakePlatform;
using testing::nativePath;

TEST(SplashGeometry, HimetricToPixelsRoundsToNearest) {
    const struct {
        std::int32_t himetric, dpi, pixels;
    } cases[] = {
        {300, 96, 11},   // 11.34
        {200, 96, 8},    // 7.56
        {300, 144, 17},  // 17.01
        {200, 144, 11},  // 11.34
        {30, 127, 2},    // exactly 1.5: away from zero
        {-30, 127, -2},
        {0, 96, 0},
        {2540000, 144, 144000},  // no overflow of the product
    };
    for (const auto& c : cases) {
        EXPECT_EQ(himetricToPixels(c.himetric, c.dpi), c.pixels) << c.himetric << " at " << c.dpi;
    }
}

TEST(SplashGeometry, CentringTruncatesTowardZero) {
    const struct {
        std::int32_t screen, size, edge;
    } cases[] = {
        {1025, 400, 312},  // the odd pixel goes right
        {1024, 400, 312},
        {800, 1000, -100},
        {801, 1000, -99},  // -199 / 2: truncated, not floored
        {1280, 0, 640},
    };
    for (const auto& c : cases) EXPECT_EQ(centeredEdge(c.screen, c.size), c.edge) << c.screen << " " << c.size;
}

TEST(SplashGeometry, PremultipliedPixelsAreCompositedOverTheBackground) {
    const struct {
        std::uint32_t pixel, background, result;
    } cases[] = {
        {0xFF123456, 0xFFFFFF, 0x123456},  // opaque: the pixel
        {0x00000000, 0xABCDEF, 0xABCDEF},  // transparent: the background
        {0x80400000, 0xFFFFFF, 0xBF7F7F},  // half red over white: 0x40 + 127
        {0x80FF8000, 0xFF00FF, 0xFF807F},  // saturates rather than wraps
    };
    for (const auto& c : cases) {
        EXPECT_EQ(blendOverBackground(c.pixel, c.background), c.result) << std::hex << c.pixel << " " << c.background;
    }
}

TEST(SplashWords, PreferenceIgnoresCaseShadowDoesNot) {
    const struct {
        const char16_t* text;
        bool prefers, shadow;
    } cases[] = {
        {u"Yes", true, false}, {u"yes", true, false},  {u"YES", true, false},   {u"Yes ", false, false},
        {u"Y", false, false},  {u"", false, false},    {u"true", false, true},  {u"True", false, false},
        {u"TRUE", false, false}, {u" true", false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(prefersJavaSplash(c.text), c.prefers) << std::string(c.text, c.text + std::char_traits<char16_t>::length(c.text));
        EXPECT_EQ(wantsSplashShadow(c.text), c.shadow);
    }
}

TEST(SplashLibraryPath, TwoCutsAtTheLastSeparatorThenTheLibraryName) {
    const struct {
        const char16_t* jvm;
        const char16_t* library;
    } cases[] = {
#ifdef _WIN32
        {u"C:\\rt\\jre\\bin\\server\\jvm.dll", u"C:\\rt\\jre\\bin\\splashscreen.dll"},
        {u"C:\\jvm.dll", u"C:\\splashscreen.dll"},            // the second cut finds nothing
        {u"jvm.dll", u"jvm.dll\\splashscreen.dll"},           // neither cut finds one
        {u"\\jvm.dll", u""},                                  // nothing left
        {u"C:\\rt\\\\server\\jvm.dll", u"C:\\rt\\splashscreen.dll"},  // already ends in a backslash
        {u"C:/rt/bin/\\server\\jvm.dll", u"C:/rt/bin/splashscreen.dll"},  // or in a slash
#else
        {u"/usr/lib/jvm/rt/lib/server/libjvm.so", u"/usr/lib/jvm/rt/lib/libsplashscreen.so"},
        {u"rt/lib/libjvm.so", u"rt/libsplashscreen.so"},
        {u"libjvm.so", u"libjvm.so/libsplashscreen.so"},
        {u"/libjvm.so", u""},
        {u"/rt//server/libjvm.so", u"/rt/libsplashscreen.so"},
#endif
    };
    for (const auto& c : cases) EXPECT_EQ(javaSplashLibraryPathFor(c.jvm), c.library);
}

// What the fake splash library's entries were called with, in order.
std::vector<std::string> splashCalls;
void splashInit() { splashCalls.push_back("SplashInit"); }
int splashLoadFile(const char* path) {
    splashCalls.push_back(std::string("SplashLoadFile ") + path);
    return 1;
}
void splashSetFileJarName(const char* path, const char* archive) {
    splashCalls.push_back(std::string("SplashSetFileJarName ") + path + " [" + archive + "]");
}
void splashClose() { splashCalls.push_back("SplashClose"); }
void previousClose() { splashCalls.push_back("previous SplashClose"); }

FakeLibraries::Library splashLibrary(std::vector<std::string> without) {
    FakeLibraries::Library library;
    library.exports = {{"SplashInit", &splashInit},
                       {"SplashLoadFile", reinterpret_cast<LibrarySymbol>(&splashLoadFile)},
                       {"SplashSetFileJarName", reinterpret_cast<LibrarySymbol>(&splashSetFileJarName)},
                       {"SplashClose", &splashClose}};
    for (const auto& name : without) library.exports.erase(name);
    return library;
}

#ifdef _WIN32
const WideString kJvm = u"C:\\rt\\bin\\server\\jvm.dll";
const WideString kSplashLibrary = u"C:\\rt\\bin\\splashscreen.dll";
#else
const WideString kJvm = u"/rt/lib/server/libjvm.so";
const WideString kSplashLibrary = u"/rt/lib/libsplashscreen.so";
#endif

TEST(JavaSplash, EntriesAreCalledInOrderAndSplashCloseBecomesTheHook) {
    const struct {
        const char* name;
        std::vector<std::string> without;
        bool previousHook;
        bool started;
        std::vector<std::string> calls;
        bool hookIsClose;
    } cases[] = {
        {"complete", {}, false, true,
         {"SplashInit", "SplashLoadFile pic\xE9.bmp", "SplashSetFileJarName pic\xE9.bmp []"}, true},
        {"a previous hook is called first", {}, true, true,
         {"previous SplashClose", "SplashInit", "SplashLoadFile pic\xE9.bmp", "SplashSetFileJarName pic\xE9.bmp []"}, true},
        {"no SplashInit: the hook is kept all the same", {"SplashInit"}, true, false, {"previous SplashClose"}, true},
        {"no SplashSetFileJarName", {"SplashSetFileJarName"}, false, false, {}, true},
        {"no SplashClose: shown, but no hook", {"SplashClose"}, false, true,
         {"SplashInit", "SplashLoadFile pic\xE9.bmp", "SplashSetFileJarName pic\xE9.bmp []"}, false},
    };
    for (const auto& c : cases) {
        FakePlatform fake;
        fake.libraries.libraries[kSplashLibrary] = splashLibrary(c.without);
        Trace trace;
        Launcher launcher(fake.platform, trace, {});
        launcher.jvmLibraryPath = kJvm;
        launcher.splashImagePath = u"pic\u00E9.bmp";
        if (c.previousHook) launcher.closeJavaSplashHook = &previousClose;
        splashCalls.clear();
        const bool started = startJavaSplash(launcher, kSplashLibrary);
        std::vector<std::string> calls = splashCalls;
#ifndef _WIN32
        // Linux's narrow text is UTF-8.
        for (auto& call : calls) {
            for (std::size_t at; (at = call.find("\xC3\xA9")) != std::string::npos;) call.replace(at, 2, "\xE9");
        }
#endif
        EXPECT_EQ(started, c.started) << c.name;
        EXPECT_EQ(calls, c.calls) << c.name;
        EXPECT_EQ(launcher.closeJavaSplashHook, c.hookIsClose ? &splashClose : nullptr) << c.name;
        EXPECT_TRUE(fake.ui.boxes.empty()) << c.name;
    }
}

TEST(JavaSplash, ALibraryThatDoesNotLoadLeavesThePreviousHookAlone) {
    FakePlatform fake;
    Trace trace;
    Launcher launcher(fake.platform, trace, {});
    launcher.jvmLibraryPath = kJvm;
    launcher.closeJavaSplashHook = &previousClose;
    splashCalls.clear();
    EXPECT_FALSE(startJavaSplash(launcher, kSplashLibrary));
    EXPECT_TRUE(splashCalls.empty());
    EXPECT_EQ(launcher.closeJavaSplashHook, &previousClose);
#ifdef _WIN32
    EXPECT_EQ(fake.libraries.loaded, WideList{kSplashLibrary});
#else
    // The JVM library goes first, so the splash library's dependency on it is met.
    EXPECT_EQ(fake.libraries.loaded, (WideList{kJvm, kSplashLibrary}));
#endif
}

// A start's splash decision, seen through what was looked up and loaded.
TEST(SplashStart, TheWayFollowsPictureLibraryAndPreference) {
    const struct {
        const char* name;
        const char16_t* display;  // the [Display] lines
        bool libraryPresent;
        bool libraryLookedUp;
        bool libraryUsed;
        bool nativeWindow;
    } cases[] = {
        {"no picture: nothing", u"Preffer Native Splash Screen=Yes\n", true, false, false, false},
        {"empty picture: nothing", u"Splash Screen=\nPreffer Native Splash Screen=Yes\n", true, false, false, false},
#ifdef _WIN32
        {"preferred and present", u"Splash Screen=s.bmp\nPreffer Native Splash Screen=yes\n", true, true, true, false},
        {"present, not preferred", u"Splash Screen=s.bmp\nPreffer Native Splash Screen=No\n", true, true, false, true},
        {"preferred, missing", u"Splash Screen=s.bmp\nPreffer Native Splash Screen=YES\n", false, true, false, true},
#else
        {"present: used whatever the preference", u"Splash Screen=s.bmp\nPreffer Native Splash Screen=No\n", true, true, true, false},
        {"missing: no splash at all", u"Splash Screen=s.bmp\nPreffer Native Splash Screen=Yes\n", false, true, false, false},
#endif
    };
    for (const auto& c : cases) {
        FakePlatform fake;
        fake.profiles.files[nativePath(u"C:/Apps/Tool/tool.ini")] = WideString(u"[Display]\n") + c.display;
        if (c.libraryPresent) {
            fake.files.existing.insert(kSplashLibrary);
            fake.libraries.libraries[kSplashLibrary] = splashLibrary({});
        }
        Trace trace;
        Launcher launcher(fake.platform, trace, {});
        launcher.jvmLibraryPath = kJvm;
        splashCalls.clear();
        EXPECT_TRUE(startSplashScreen(launcher)) << c.name;
        const bool lookedUp = std::count(fake.files.lookups.begin(), fake.files.lookups.end(), kSplashLibrary) == 1;
        EXPECT_EQ(lookedUp, c.libraryLookedUp) << c.name;
        EXPECT_EQ(!splashCalls.empty(), c.libraryUsed) << c.name;
        EXPECT_EQ(launcher.splashWindow != nullptr, c.nativeWindow) << c.name;
        closeNativeSplash(launcher);
        EXPECT_EQ(launcher.splashWindow, nullptr) << c.name;
        EXPECT_TRUE(fake.ui.boxes.empty()) << c.name;
    }
}

// The picture's path has its references expanded, as every configured path.
TEST(SplashStart, ThePicturesPathHasItsReferencesExpanded) {
    for (const auto& [configured, expected] :
         {std::pair<WideString, WideString>{u"%CORVID_EXE_DIR%/splash.bmp", u"C:/Apps/Tool/splash.bmp"},
          std::pair<WideString, WideString>{u"%UNSET%/splash.bmp", u"%UNSET%/splash.bmp"}}) {
        FakePlatform fake;
        fake.environment.variables[u"CORVID_EXE_DIR"] = nativePath(u"C:/Apps/Tool");
        fake.profiles.files[nativePath(u"C:/Apps/Tool/tool.ini")] =
            u"[Display]\nSplash Screen=" + nativePath(configured) + u"\nPreffer Native Splash Screen=Yes\n";
        fake.files.existing.insert(kSplashLibrary);
        fake.libraries.libraries[kSplashLibrary] = splashLibrary({});
        Trace trace;
        Launcher launcher(fake.platform, trace, {});
        launcher.jvmLibraryPath = kJvm;
        splashCalls.clear();
        EXPECT_TRUE(startSplashScreen(launcher));
        EXPECT_EQ(launcher.splashImagePath, nativePath(expected));
        ASSERT_GE(splashCalls.size(), 2u);
        EXPECT_EQ(splashCalls[1], "SplashLoadFile " + toNarrow(nativePath(expected)));
        closeNativeSplash(launcher);
    }
}

// java's -splash: among the VM parameters (found by the hosting) shows only
// where [Display] names no picture.
TEST(SplashStart, TheOptionsPictureWhenTheConfigurationNamesNone) {
    const struct {
        const char16_t* display;
        const char16_t* option;
        const char16_t* shown;
    } cases[] = {
        {u"", u"opt.png", u"opt.png"},
        {u"Splash Screen=\n", u"opt.png", u"opt.png"},
        {u"Splash Screen=conf.png\n", u"opt.png", u"conf.png"},
        {u"Splash Screen=conf.png\n", u"", u"conf.png"},
        {u"", u"", u""},
    };
    for (const auto& c : cases) {
        FakePlatform fake;
        fake.profiles.files[nativePath(u"C:/Apps/Tool/tool.ini")] = WideString(u"[Display]\n") + c.display;
        Trace trace;
        Launcher launcher(fake.platform, trace, {});
        launcher.jvmLibraryPath = kJvm;
        EXPECT_TRUE(startSplashScreen(launcher, c.option)) << toUtf8(c.option);
        EXPECT_EQ(launcher.splashImagePath, c.shown) << toUtf8(c.display);
        closeNativeSplash(launcher);
    }
}

TEST(SplashStart, FailsOnlyWithoutAConfigurationFilePath) {
    FakePlatform fake;
    fake.process.module = {false, {}, 5};
    Trace trace;
    Launcher launcher(fake.platform, trace, {});
    EXPECT_FALSE(startSplashScreen(launcher));
}

}  // namespace
}  // namespace corvid
