#include "splash/splash_screen.h"

#include <string>
#include <utility>

#include "config/config_file.h"
#include "java/jvm_path.h"
#include "splash/splash_window.h"
#include "start/launcher.h"

namespace corvid {

namespace {

constexpr WideView kDisplaySection = u"Display";
#ifdef _WIN32
constexpr WideView kSplashLibraryName = u"splashscreen.dll";
#else
constexpr WideView kSplashLibraryName = u"libsplashscreen.so";
#endif

using SplashInitEntry = void (*)();
using SplashLoadFileEntry = int (*)(const char* path);
using SplashSetFileJarNameEntry = void (*)(const char* path, const char* archive);

template <typename... Pieces>
void traceLine(Launcher& launcher, const Pieces&... pieces) {
    launcher.trace.line("splash: ", pieces...);
}

}  // namespace

WideString javaSplashLibraryPathFor(WideView jvmLibraryPath) {
    WideString folder(jvmLibraryPath);
    for (int cut = 0; cut < 2; ++cut) {
        const std::size_t separator = folder.rfind(kPathSeparator);
        if (separator != WideString::npos) folder.resize(separator);
    }
    if (folder.empty()) return {};
    if (!endsWith(folder, u'\\') && !endsWith(folder, u'/')) folder += kPathSeparator;
    return folder + WideString(kSplashLibraryName);
}

bool prefersJavaSplash(WideView value) { return equalsIgnoringAsciiCase(value, u"Yes"); }

bool wantsSplashShadow(WideView value) { return value == u"true"; }

std::int32_t himetricToPixels(std::int32_t himetric, std::int32_t dotsPerInch) {
    const std::int64_t scaled = std::int64_t{himetric} * dotsPerInch;
    const std::int64_t half = 2540 / 2;
    return static_cast<std::int32_t>(scaled >= 0 ? (scaled + half) / 2540 : (scaled - half) / 2540);
}

std::int32_t centeredEdge(std::int32_t screen, std::int32_t size) {
    return static_cast<std::int32_t>((std::int64_t{screen} - size) / 2);
}

std::uint32_t blendOverBackground(std::uint32_t premultiplied, std::uint32_t background) {
    const std::uint32_t alpha = premultiplied >> 24;
    std::uint32_t result = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const std::uint32_t source = (premultiplied >> shift) & 0xFF;
        const std::uint32_t under = (background >> shift) & 0xFF;
        // Premultiplied "over": source + under * (1 - alpha), rounded.
        std::uint32_t channel = source + (under * (255 - alpha) + 127) / 255;
        if (channel > 255) channel = 255;
        result |= channel << shift;
    }
    return result;
}

WideString locateJavaSplashLibrary(Launcher& launcher) {
    const WideString path = javaSplashLibraryPathFor(launcher.jvmLibraryPath);
    if (path.empty()) return {};
    // The path asked, not the name found: the library is loaded by it.
    return launcher.platform.files.findFirst(path) ? path : WideString();
}

bool startJavaSplash(Launcher& launcher, const WideString& libraryPath) {
    Libraries& libraries = launcher.platform.libraries;
    if constexpr (kSplashLibraryNeedsJvmLibrary) {
        // The library names the JVM library as a dependency that its own
        // search path does not reach; loaded globally first, it is found.
        libraries.load(launcher.jvmLibraryPath);
    }
    const LoadedLibrary library = libraries.load(libraryPath);
    if (!library.handle) {
        traceLine(launcher, "the runtime's library does not load: ", library.detail);
        return false;
    }
    const LibrarySymbol init = libraries.resolve(library.handle, "SplashInit").address;
    const LibrarySymbol loadFile = libraries.resolve(library.handle, "SplashLoadFile").address;
    const LibrarySymbol setFileJarName = libraries.resolve(library.handle, "SplashSetFileJarName").address;
    const LibrarySymbol close = libraries.resolve(library.handle, "SplashClose").address;
    // The close entry is kept even when another entry is missing, so the
    // teardown still closes whatever the library may have shown.
    if (launcher.closeJavaSplashHook) launcher.closeJavaSplashHook();
    launcher.closeJavaSplashHook = close;
    if (!init || !loadFile || !setFileJarName) {
        traceLine(launcher, "the runtime's library lacks an entry");
        return false;
    }
    // The library takes the picture's path in the narrow form; one it cannot
    // hold leaves the picture to the launcher's own window.
    const auto picture = jvmOpenablePath(launcher.platform.shortPaths, launcher.splashImagePath);
    if (!picture) {
        traceLine(launcher, "the picture's path cannot be passed to the runtime's library");
        return false;
    }
    init();
    reinterpret_cast<SplashLoadFileEntry>(loadFile)(toNarrow(*picture).c_str());
    reinterpret_cast<SplashSetFileJarNameEntry>(setFileJarName)(toNarrow(*picture).c_str(), "");
    return true;
}

void leaveJavaSplash(Launcher& launcher) {
    if (!std::exchange(launcher.closeJavaSplashHook, nullptr)) return;
    traceLine(launcher, "the runtime's splash is left to the JVM that ran");
}

void closeJavaSplash(Launcher& launcher) {
    if (!launcher.closeJavaSplashHook) return;
    traceLine(launcher, "closing the runtime's splash");
    std::exchange(launcher.closeJavaSplashHook, nullptr)();
}

bool startSplashScreen(Launcher& launcher, const WideString& optionPicture) {
    const auto configFile = getConfigFilePath(launcher);
    if (!configFile) return false;
    Platform& platform = launcher.platform;
    launcher.splashImagePath = readConfigValue(platform, *configFile, kDisplaySection, u"Splash Screen");
    // Environment references, as in every configured path (%CORVID_EXE_DIR%).
    if (auto expanded = platform.environment.expand(launcher.splashImagePath)) launcher.splashImagePath = *expanded;
    launcher.splashShadow = readConfigValue(platform, *configFile, kDisplaySection, u"Splash Screen Shadow");
    const WideString preference = readConfigValue(platform, *configFile, kDisplaySection, u"Preffer Native Splash Screen");
    if (launcher.splashImagePath.empty() && !optionPicture.empty()) {
        launcher.splashImagePath = optionPicture;
        traceLine(launcher, "the picture of -splash: in the VM parameters");
    }
    if (launcher.splashImagePath.empty()) {
        traceLine(launcher, "none: no picture configured");
        return true;
    }

    const WideString library = locateJavaSplashLibrary(launcher);
    traceLine(launcher, library.empty() ? u"no runtime library at " + javaSplashLibraryPathFor(launcher.jvmLibraryPath)
                                        : u"runtime library found: " + library);
    // Without a window of its own the launcher has only the library to offer.
    const bool tryLibrary = !kHasNativeSplashWindow || prefersJavaSplash(preference);
    if (tryLibrary && !library.empty() && startJavaSplash(launcher, library)) {
        traceLine(launcher, "the runtime's library shows ", launcher.splashImagePath);
        return true;
    }
    if constexpr (!kHasNativeSplashWindow) {
        traceLine(launcher, "none: no runtime library to show it");
        return true;
    }
    traceLine(launcher, tryLibrary ? "the launcher's own window (the runtime's library cannot be used)"
                                   : "the launcher's own window (the runtime's library is not preferred)");
    startNativeSplash(launcher);
    return true;
}

}  // namespace corvid
