#include "start/launcher.h"

#include <utility>

#include "cache/startup_cache.h"
#include "config/config_file.h"
#include "config/config_keys.h"
#include "instance/instance_channel.h"
#include "jvm/java_launch.h"
#include "jvm/process_environment.h"
#include "jvm/restart.h"
#include "launcher/entry.h"
#include "runtime/runtime_selection.h"
#include "splash/splash_screen.h"
#include "start/command_line.h"

namespace corvid {

Launcher::Launcher(Platform& platform_, Trace& trace_, ProcessArguments processArguments_)
    : platform(platform_), trace(trace_), processArguments(std::move(processArguments_)) {}

void applyWorkingDirOverride(Launcher& launcher) {
    const ModulePath module = launcher.platform.process.modulePath();
    if (!module.ok) return;
    const std::size_t slash = module.path.rfind(kPathSeparator);
    if (slash == WideString::npos || slash == 0) return;
    const WideString folder = module.path.substr(0, slash);
    const bool changed = launcher.platform.process.setCurrentDirectory(folder);
    if (launcher.trace.enabled()) {
        launcher.trace.line("working directory ", folder, changed ? "" : " (could not change to it)");
    }
}

bool Launcher::initialize() {
    arguments = parseCommandLine(processArguments);
    // Before anything that the start before may still hold.
    takeRestartHandover(*this);
    // A restart or a build gets the environment this start got, not the one
    // prepareEnvironment makes of it: its search path would grow each time.
    platform.process.keepEnvironmentForChildren();
    if (!openInstanceChannel(*this)) return false;
    // A second instance only hands its arguments over; nothing else is read.
    if (singleInstance && !isFirstInstance) return true;
    if (!loadConfiguration(*this)) return false;
    publishExecutableFolder(*this);
    if (overrideWorkingDir) applyWorkingDirOverride(*this);
    // Before any window (the runtime dialog, the splash, the application's)
    // exists, so the taskbar files them all under the application's name.
    if (!appUserModelId.empty()) {
        const bool set = platform.process.setAppUserModelId(appUserModelId);
        if (trace.enabled()) trace.line("app user model id ", appUserModelId, set ? "" : " (not set)");
    }
    jvmLibraryPath = selectRuntime(*this);
    return !jvmLibraryPath.empty();
}

std::int32_t Launcher::run() {
    if (singleInstance && !isFirstInstance) return waitForReply(*this);
    if (!hasNoSplashSwitch(arguments) && !startSplashScreen(*this, splashOptionPicture(*this))) return 0;
    prepareEnvironment(*this);
    if (!loadJvmLibrary(*this)) return -1;
    // A missing class path has been reported; the JVM still starts without it.
    if (buildJvmOptions(*this) == JvmOptionsResult::Refused) return -1;
    // The program sees the options as java would pass them: none of the
    // cache's, which it adds next.
    inputArguments = inputArgumentsOf(jvmOptions);
    prepareStartupCache(*this);
    const std::int32_t javaThread = runJavaThread(*this);
    // As java ends after an exception escaped main: with 1, once teardown has
    // waited for the program's other threads.
    const std::int32_t result = javaThread == 0 ? 0 : javaThread == kJavaThreadMainThrew ? 1 : -1;
    if (result != -1) {
        startupCacheDestroying(*this, result);
        return result;
    }
    closeJavaSplash(*this);
    return -1;
}

void Launcher::shutdown() {
    closeNativeSplash(*this);
    // Once a JVM has run, the runtime's splash is its own: closing it again
    // after DestroyJavaVM raced with the library's own end and crashed the
    // process in some starts. It goes with the process.
    const bool jvmRan = javaVm != nullptr;
    destroyJavaVm(*this);
    finishStartupCache(*this);
    closeInstanceChannel(*this);
    if (jvmRan) {
        leaveJavaSplash(*this);
    } else {
        closeJavaSplash(*this);
    }
    arguments.clear();
    preferredVersions.clear();
    jvmOptions.clear();
    inputArguments.clear();
}

}  // namespace corvid
