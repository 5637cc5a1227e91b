#include "jvm/jvm_hooks.h"

#include <atomic>
#include <cstdlib>

#include "cache/startup_cache.h"
#include "java/jvm_output.h"
#include "java/standard_output_hold.h"
#include "jvm/jvm_loader.h"
#include "jvm/main_class.h"
#include "jvm/restart.h"
#include "start/launcher.h"
#include "start/messages.h"

namespace corvid {

namespace {

std::atomic<Launcher*> hostedLauncher{nullptr};
std::atomic<JvmStage> currentStage{JvmStage::Creating};

}  // namespace

void hostJvm(Launcher& launcher, JvmStage stage) {
    currentStage.store(stage);
    hostedLauncher.store(&launcher);
}

void setJvmStage(JvmStage stage) { currentStage.store(stage); }

void endFailedStart(Launcher& launcher, const WideString& message) {
    showError(launcher.platform.ui, launcher.owner(), message);
    if (launcher.trace.enabled()) launcher.trace.line("exit code -1");
    std::fflush(nullptr);
    // The JVM is ending the process in any case; only the code is ours.
    std::_Exit(-1);
}

void JNICALL jvmExitHook(jint code) {
    Launcher* launcher = hostedLauncher.load();
    if (!launcher) return;
    if (currentStage.load() == JvmStage::LoadingMain) {
        // The runtime's launcher helper refused the main class.
        finishStartupCache(*launcher);
        endFailedStart(*launcher, mainCheckFailureMessage(*launcher));
    }
    if (launcher->trace.enabled()) launcher->trace.line("System.exit(", code, ")");
    if (launcher->jvmExitHook) launcher->jvmExitHook(static_cast<int>(code));
    restartAfterExit(*launcher, static_cast<std::int32_t>(code));
    if (launcher->trace.enabled()) launcher->trace.line("exit code ", code);
}

void JNICALL jvmAbortHook() {
    Launcher* launcher = hostedLauncher.load();
    if (!launcher) return;
    if (currentStage.load() != JvmStage::Creating) {
        if (launcher->trace.enabled()) launcher->trace.line("the JVM aborts the process");
        return;
    }
    // A refusal such as a heap too small ends the process inside
    // JNI_CreateJavaVM, after the JVM has said why through the output hook.
    // A missing module of the boot layer is reported on standard output.
    endFailedStart(*launcher, creationFailureMessage(launcher->platform.ui, MessageId::JniReasonUnknown,
                                                     takeCapturedJvmOutput() + releaseStandardOutput(false)));
}

}  // namespace corvid
