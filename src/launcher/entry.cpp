#include "launcher/entry.h"

#include "cache/startup_cache.h"
#include "jvm/jvm_loader.h"
#include "jvm/restart.h"
#include "start/launcher.h"
#include "start/user_interface.h"

namespace corvid {

namespace {

// Build mode runs detached and windowless: whatever fails is only traced.
class SilentUserInterface final : public UserInterface {
public:
    int showMessageBox(WindowHandle, const WideString&) override { return 1; }
    std::uint16_t threadLanguage() override { return 0x0409; }
    WideString loadString(std::uint16_t, std::uint16_t) override { return {}; }
};

std::uint32_t buildThread(void* argument) {
    Launcher& launcher = *static_cast<Launcher*>(argument);
    // The create step ends the process in here; a return means it failed.
    if (createJavaVm(launcher)) destroyJavaVm(launcher);
    return 0;
}

// The cache reads the record and records the result; the JVM it builds with
// is hosted here, as a start's is.
std::int32_t runCacheBuild(Platform& platform, Trace& trace, const WideString& record) {
    SilentUserInterface silent;
    Platform withSilentUi{platform.process, platform.files,     platform.environment, platform.profiles,
                          silent,           platform.runtimes,  platform.libraries,   platform.threads,
                          platform.memory,  platform.runtimePrompt, platform.shortPaths};
    Launcher launcher(withSilentUi, trace, {});
    std::int32_t result = 1;
    if (const auto ended = beginStartupCacheBuild(launcher, record)) {
        result = *ended;
    } else {
        if (!launcher.jvmLibraryPath.empty() && loadJvmLibrary(launcher)) {
            addStartupCacheBuildOptions(launcher);
            launcher.platform.threads.runAndWait(0, &buildThread, &launcher);
        }
        finishStartupCacheBuild();
    }
    if (trace.enabled()) trace.line("build mode: exit code ", result);
    return result;
}

}  // namespace

std::int32_t runLauncher(Platform& platform, ProcessArguments processArguments) {
    Trace trace = Trace::fromEnvironment(platform.environment);
    if (const auto record = platform.environment.get(kCacheBuildVariable); record && !record->empty()) {
        return runCacheBuild(platform, trace, *record);
    }
    Launcher launcher(platform, trace, std::move(processArguments));
    std::int32_t result = -1;
    if (launcher.initialize()) result = launcher.run();
    launcher.shutdown();
    // After the JVM is gone and the single-instance channel closed.
    restartAfterExit(launcher, result);
    if (trace.enabled()) trace.line("exit code ", result);
    return result;
}

}  // namespace corvid
