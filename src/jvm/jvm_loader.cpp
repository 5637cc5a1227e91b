#include "jvm/jvm_loader.h"

#include <string>
#include <vector>

#include "instance/instance_channel.h"
#include "java/java_api.h"
#include "java/jvm_output.h"
#include "java/standard_output_hold.h"
#include "jvm/input_arguments.h"
#include "jvm/jvm_hooks.h"
#include "start/launcher.h"

namespace corvid {

namespace {

bool resolveEntry(Launcher& launcher, LibraryHandle library, const char* name, LibrarySymbol& entry) {
    const ResolvedSymbol symbol = launcher.platform.libraries.resolve(library, name);
    if (launcher.trace.enabled()) {
        if (symbol.address) {
            launcher.trace.line(name, " resolved");
        } else {
            launcher.trace.line(name, " not found: ", symbol.detail);
        }
    }
    if (!symbol.address) {
        UserInterface& ui = launcher.platform.ui;
        showErrorCode(ui, launcher.owner(), loadMessage(ui, MessageId::WindowsException),
                      loadMessage(ui, MessageId::CreateJavaVmMissing), symbol.error);
        return false;
    }
    entry = symbol.address;
    return true;
}

}  // namespace

bool loadJvmLibrary(Launcher& launcher) {
    const LoadedLibrary library = launcher.platform.libraries.load(launcher.jvmLibraryPath);
    if (launcher.trace.enabled()) {
        if (library.handle) {
            launcher.trace.line("loaded ", launcher.jvmLibraryPath);
        } else {
            launcher.trace.line("cannot load ", launcher.jvmLibraryPath, ": error ", library.error, " ",
                                library.detail);
        }
    }
    if (!library.handle) {
        UserInterface& ui = launcher.platform.ui;
        showErrorCode(ui, launcher.owner(), loadMessage(ui, MessageId::JvmLibraryLoadFailed), launcher.jvmLibraryPath,
                      library.error);
        return false;
    }
    return resolveEntry(launcher, library.handle, kCreateJavaVmName, launcher.createJavaVmEntry) &&
           resolveEntry(launcher, library.handle, kDefaultInitArgsName, launcher.defaultInitArgsEntry);
}

std::optional<MessageId> jniErrorReason(std::int32_t result) {
    switch (result) {
        case JNI_ERR: return MessageId::JniReasonUnknown;
        case JNI_EDETACHED: return MessageId::JniReasonDetached;
        case JNI_EVERSION: return MessageId::JniReasonVersion;
        case JNI_ENOMEM: return MessageId::JniReasonNoMemory;
        case JNI_EEXIST: return MessageId::JniReasonExists;
        case JNI_EINVAL: return MessageId::JniReasonInvalid;
        default: return std::nullopt;
    }
}

WideString creationFailureMessage(UserInterface& ui, std::optional<MessageId> reason, const std::string& jvmText) {
    WideString words = jvmWords(jvmText);
    if (reason == MessageId::JniReasonUnknown && !words.empty()) {
        // The message puts its own full stop after the reason.
        if (words.back() == u'.') words.pop_back();
        return formatMessage(ui, MessageId::JniExceptionWithReason, {loadMessage(ui, MessageId::CreateJavaVmFailed), words});
    }
    const WideString reasonText = reason ? loadMessage(ui, *reason) : WideString();
    return withJvmText(
        formatMessage(ui, MessageId::JniExceptionWithReason, {loadMessage(ui, MessageId::CreateJavaVmFailed), reasonText}),
        jvmText);
}

bool createJavaVm(Launcher& launcher) {
    Trace& trace = launcher.trace;
    // The hooks come first so that the JVM's words about any later option
    // reach the output hook.
    std::vector<JavaVMOption> options = {
        {const_cast<char*>("vfprintf"), reinterpret_cast<void*>(&jvmVfprintfHook)},
        {const_cast<char*>("exit"), reinterpret_cast<void*>(&jvmExitHook)},
        {const_cast<char*>("abort"), reinterpret_cast<void*>(&jvmAbortHook)},
    };
    // Before the configured options, so that a program's own -Xlog wins.
    launcher.rebindInputArguments = jvmHasUnifiedLogging(launcher);
    if (launcher.rebindInputArguments) options.push_back({const_cast<char*>(kQuietRebinding), nullptr});
    for (const std::string& option : launcher.jvmOptions) options.push_back({const_cast<char*>(option.c_str()), nullptr});
    JavaVMInitArgs arguments{};
    arguments.version = JNI_VERSION_1_2;
    arguments.nOptions = static_cast<jint>(options.size());
    arguments.options = options.data();
    arguments.ignoreUnrecognized = JNI_FALSE;

    if (trace.enabled()) {
        trace.line("JVM options: ", launcher.jvmOptions.size());
        for (const std::string& option : launcher.jvmOptions) trace.line("  ", option);
        trace.line("  and the launcher's vfprintf, exit and abort hooks",
                   launcher.rebindInputArguments ? ", and " : "", launcher.rebindInputArguments ? kQuietRebinding : "");
        trace.line("calling JNI_CreateJavaVM");
    }
    // What the JVM says while it is created is held back: it belongs in the
    // message when creation fails, and is printed once otherwise.
    setJvmOutputMode(JvmOutputMode::Capture);
    holdStandardOutput();
    hostJvm(launcher, JvmStage::Creating);
    JavaVM* vm = nullptr;
    void* env = nullptr;
    const jint result = launcher.createJavaVmEntry ? asCreateJavaVm(launcher.createJavaVmEntry)(&vm, &env, &arguments)
                                                   : JNI_ERR;
    if (trace.enabled()) trace.line("JNI_CreateJavaVM returned ", result);
    // Only a created JVM is kept, so teardown never destroys a half-made one.
    if (result == JNI_OK && vm && env) {
        launcher.javaVm = vm;
        launcher.jniEnv = static_cast<JNIEnv*>(env);
        setJvmStage(JvmStage::Running);
        releaseCapturedJvmOutput();
        setJvmOutputMode(JvmOutputMode::PassThrough);
        releaseStandardOutput(true);
        return true;
    }
    const std::string jvmText = takeCapturedJvmOutput() + releaseStandardOutput(false);
    setJvmOutputMode(JvmOutputMode::PassThrough);
    UserInterface& ui = launcher.platform.ui;
    showError(ui, launcher.owner(), creationFailureMessage(ui, jniErrorReason(result), jvmText));
    return false;
}

void destroyJavaVm(Launcher& launcher) {
    if (!launcher.javaVm) return;
    if (launcher.trace.enabled()) launcher.trace.line("DestroyJavaVM: waiting for the program's threads");
    const jint result = launcher.javaVm->DestroyJavaVM();
    // Before anything else of teardown: a forwarded request must never
    // attach to a destroyed JVM, which another runtime may answer by crashing.
    jvmDestroyedForInstances(launcher);
    launcher.javaVm = nullptr;
    launcher.jniEnv = nullptr;
    if (launcher.trace.enabled()) launcher.trace.line("DestroyJavaVM returned ", result);
}

}  // namespace corvid
