#include "jvm/java_thread.h"

#include "instance/instance_channel.h"
#include "java/java_api.h"
#include "jvm/input_arguments.h"
#include "jvm/jvm_loader.h"
#include "jvm/main_class.h"
#include "jvm/stream_redirection.h"
#include "start/launcher.h"

namespace corvid {

namespace {

std::uint32_t javaThreadBody(void* launcher) { return javaThreadMain(*static_cast<Launcher*>(launcher)); }

// The stack size the JVM library gives its threads by default, or 0.
std::uint64_t defaultJavaStackSize(Launcher& launcher) {
    if (!launcher.defaultInitArgsEntry) return 0;
    JDK1_1InitArgs arguments{};
    arguments.version = JNI_VERSION_1_1;
    const jint result = asGetDefaultInitArgs(launcher.defaultInitArgsEntry)(&arguments);
    if (launcher.trace.enabled()) {
        launcher.trace.line("JNI_GetDefaultJavaVMInitArgs returned ", result, ", javaStackSize ",
                            arguments.javaStackSize);
    }
    return arguments.javaStackSize > 0 ? static_cast<std::uint64_t>(arguments.javaStackSize) : 0;
}

}  // namespace

std::uint32_t javaThreadMain(Launcher& launcher) {
    if (!createJavaVm(launcher)) return 1;
    // Before anything of the program runs, forwarded starts included.
    bindInputArguments(launcher);
    redirectStandardStreams(launcher);
    // Forwarded starts that came early have waited for the JVM until now.
    jvmCreatedForInstances(launcher);
    const MainOutcome outcome = invokeMainClass(launcher);
    // Detached on every path: a thread that ends still attached would count
    // as a live program thread, and DestroyJavaVM would wait for it forever.
    const jint detached = launcher.javaVm->DetachCurrentThread();
    if (launcher.trace.enabled()) launcher.trace.line("DetachCurrentThread returned ", detached);
    if (outcome == MainOutcome::NotStarted || detached != JNI_OK) return 1;
    return outcome == MainOutcome::Threw ? kJavaThreadMainThrew : 0;
}

std::int32_t runJavaThread(Launcher& launcher) {
    if (launcher.threadStackSize == 0) launcher.threadStackSize = defaultJavaStackSize(launcher);
    if (launcher.trace.enabled()) {
        launcher.trace.line("Java thread stack size ", launcher.threadStackSize);
    }
    const auto exitCode = launcher.platform.threads.runAndWait(launcher.threadStackSize, javaThreadBody, &launcher);
    if (exitCode) return static_cast<std::int32_t>(*exitCode);
    if (launcher.trace.enabled()) launcher.trace.line("Java thread not created; running on the main thread");
    return static_cast<std::int32_t>(javaThreadMain(launcher));
}

}  // namespace corvid
