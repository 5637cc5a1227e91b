#include "jvm/main_class.h"

#include <memory>
#include <optional>

#include "cache/startup_cache.h"
#include "java/java_api.h"
#include "java/java_strings.h"
#include "java/jvm_output.h"
#include "jvm/jvm_hooks.h"
#include "jvm/jvm_options.h"
#include "jvm/restart.h"
#include "jvm/stack_trace.h"
#include "splash/splash_screen.h"
#include "start/launcher.h"
#include "start/messages.h"

namespace corvid {

namespace {

constexpr char kHelperClass[] = "sun/launcher/LauncherHelper";
constexpr char kCheckAndLoadMain[] = "checkAndLoadMain";
constexpr char kCheckAndLoadMainSignature[] = "(ZILjava/lang/String;)Ljava/lang/Class;";
constexpr char kArgumentsMain[] = "([Ljava/lang/String;)V";
constexpr char kNoArgumentMain[] = "()V";
constexpr std::size_t kHelperOutputLimit = 64 << 10;

// The helper's launch modes: a class, a jar, a module.
jint helperMode(MainForm form) {
    switch (form) {
        case MainForm::Jar: return 2;
        case MainForm::Module: return 3;
        case MainForm::Class: break;
    }
    return 1;
}

// Takes what the helper prints while it checks the main class: when it
// refuses, it prints its reason and calls System.exit, and the exit hook that
// then runs cannot call into Java to ask for the text. A file nobody else can
// name, so no one can plant a link or a pipe in its place.
std::unique_ptr<ScratchFile> helperOutput;

void traceStep(Launcher& launcher, const char* step, bool ok) {
    if (launcher.trace.enabled()) launcher.trace.line(step, ok ? " ok" : " failed");
}

// What the helper printed, and the file gone.
std::string takeHelperOutput() {
    if (!helperOutput) return {};
    std::string text = helperOutput->read(kHelperOutputLimit).value_or("");
    helperOutput.reset();
    return text;
}

// A PrintStream writing into the scratch file through a FileDescriptor that
// owns a descriptor of its own; null (with any exception cleared) on failure.
jobject printStreamInto(ScratchFile& file, JNIEnv* env) {
    jclass descriptorClass = env->FindClass("java/io/FileDescriptor");
    jmethodID descriptorConstructor = descriptorClass ? env->GetMethodID(descriptorClass, "<init>", "()V") : nullptr;
    // The field the runtime's own file streams write through.
#ifdef _WIN32
    jfieldID field = descriptorClass ? env->GetFieldID(descriptorClass, "handle", "J") : nullptr;
#else
    jfieldID field = descriptorClass ? env->GetFieldID(descriptorClass, "fd", "I") : nullptr;
#endif
    jclass fileClass = field ? env->FindClass("java/io/FileOutputStream") : nullptr;
    jmethodID fileConstructor = fileClass ? env->GetMethodID(fileClass, "<init>", "(Ljava/io/FileDescriptor;)V") : nullptr;
    jclass printClass = fileConstructor ? env->FindClass("java/io/PrintStream") : nullptr;
    jmethodID printConstructor =
        printClass ? env->GetMethodID(printClass, "<init>", "(Ljava/io/OutputStream;)V") : nullptr;
    jobject descriptor = printConstructor ? env->NewObject(descriptorClass, descriptorConstructor) : nullptr;
    // Asked for last, once nothing can fail before the FileDescriptor owns it.
    const auto handed = descriptor ? file.javaDescriptor() : std::nullopt;
    jobject printStream = nullptr;
    if (handed) {
#ifdef _WIN32
        env->SetLongField(descriptor, field, static_cast<jlong>(*handed));
#else
        env->SetIntField(descriptor, field, static_cast<jint>(*handed));
#endif
        jobject stream = env->NewObject(fileClass, fileConstructor, descriptor);
        // No automatic flushing and the JVM's default encoding, as System.err has.
        printStream = stream ? env->NewObject(printClass, printConstructor, stream) : nullptr;
        if (stream) env->DeleteLocalRef(stream);
    }
    if (!printStream) env->ExceptionClear();
    for (jobject local : {jobject{descriptor}, jobject{printClass}, jobject{fileClass}, jobject{descriptorClass}}) {
        if (local) env->DeleteLocalRef(local);
    }
    return printStream;
}

// System.exit(-1), which does not return unless it throws.
void exitJava(JNIEnv* env) {
    jclass system = env->FindClass("java/lang/System");
    jmethodID exit = system ? env->GetStaticMethodID(system, "exit", "(I)V") : nullptr;
    if (exit) env->CallStaticVoidMethod(system, exit, jint{-1});
    describePendingException(env);
}

jobject swapSystemErr(JNIEnv* env, jobject replacement) {
    jclass system = env->FindClass("java/lang/System");
    jfieldID field = system ? env->GetStaticFieldID(system, "err", "Ljava/io/PrintStream;") : nullptr;
    jmethodID setErr = system ? env->GetStaticMethodID(system, "setErr", "(Ljava/io/PrintStream;)V") : nullptr;
    jobject previous = field ? env->GetStaticObjectField(system, field) : nullptr;
    if (setErr && previous) env->CallStaticVoidMethod(system, setErr, replacement);
    describePendingException(env);
    return previous;
}

void closeStream(JNIEnv* env, jobject stream) {
    jclass type = env->GetObjectClass(stream);
    jmethodID close = type ? env->GetMethodID(type, "close", "()V") : nullptr;
    if (close) env->CallVoidMethod(stream, close);
    describePendingException(env);
}

// The runtime's launcher helper, or null when this runtime has none.
jclass findHelper(Launcher& launcher, JNIEnv* env, jmethodID& check) {
    jclass helper = env->FindClass(kHelperClass);
    check = helper ? env->GetStaticMethodID(helper, kCheckAndLoadMain, kCheckAndLoadMainSignature) : nullptr;
    if (!check) env->ExceptionClear();
    traceStep(launcher, "the runtime's launcher helper", check != nullptr);
    return check ? helper : nullptr;
}

bool helperFlag(JNIEnv* env, jclass helper, const char* name, bool absent) {
    jfieldID field = env->GetStaticFieldID(helper, name, "Z");
    if (!field) {
        env->ExceptionClear();
        return absent;
    }
    return env->GetStaticBooleanField(helper, field) == JNI_TRUE;
}

struct MainMethod {
    jclass owner = nullptr;
    bool isStatic = true;
    bool withArguments = true;
};

// checkAndLoadMain, with what it prints going to a scratch file: the helper refuses
// a class by printing why and calling System.exit, which the exit hook turns
// into a failed start with that text.
bool loadThroughHelper(Launcher& launcher, JNIEnv* env, jclass helper, jmethodID check, MainMethod& main) {
    UserInterface& ui = launcher.platform.ui;
    const WideString target = mainTarget(launcher);
    helperOutput = launcher.platform.files.createScratchFile();
    jobject capture = helperOutput ? printStreamInto(*helperOutput, env) : nullptr;
    if (!capture) helperOutput.reset();
    traceStep(launcher, "the check's output file", capture != nullptr);
    jobject systemErr = capture ? swapSystemErr(env, capture) : nullptr;
    jstring what = newJavaString(target, env);
    setJvmStage(JvmStage::LoadingMain);
    auto mainClass = what ? static_cast<jclass>(env->CallStaticObjectMethod(helper, check, JNI_TRUE,
                                                                            helperMode(launcher.mainForm()), what))
                          : nullptr;
    setJvmStage(JvmStage::Running);
    jthrowable thrown = env->ExceptionOccurred();
    if (thrown) env->ExceptionClear();
    if (systemErr) swapSystemErr(env, systemErr);
    if (capture) closeStream(env, capture);
    const std::string printed = takeHelperOutput();
    traceStep(launcher, "checkAndLoadMain", mainClass && !thrown);
    if (!mainClass || thrown) {
        WideString reason = fromNarrow(printed);
        if (thrown) reason += stackTraceText(thrown, env);
        showError(ui, launcher.owner(),
                  withJvmText(formatMessage(ui, MessageId::MainClassLoadFailed, {target}), toNarrow(reason)));
        return false;
    }
    // Not a refusal: whatever it said goes where it would have gone.
    if (!printed.empty()) std::fwrite(printed.data(), 1, printed.size(), stderr);
    main.owner = mainClass;
    // Runtimes before instance main methods have neither flag: static, String[].
    main.isStatic = helperFlag(env, helper, "isStaticMain", true);
    main.withArguments = !helperFlag(env, helper, "noArgMain", false);
    if (launcher.trace.enabled()) {
        launcher.trace.line("main is ", main.isStatic ? "static" : "an instance method",
                            main.withArguments ? ", takes String[]" : ", takes no arguments");
    }
    return true;
}

// The class through FindClass, for runtimes without the helper.
bool loadThroughFindClass(Launcher& launcher, JNIEnv* env, MainMethod& main) {
    UserInterface& ui = launcher.platform.ui;
    if (launcher.mainForm() != MainForm::Class) {
        // Jars and modules need the helper to be read as java reads them.
        showErrorText(ui, launcher.owner(), loadMessage(ui, MessageId::MainClassLoadFailed), mainTarget(launcher));
        return false;
    }
    jstring name = newJavaString(launcher.mainClass, env);
    if (!name) {
        showErrorText(ui, launcher.owner(), loadMessage(ui, MessageId::MainClassLoadFailed), launcher.mainClass);
        return false;
    }
    const char* characters = env->GetStringUTFChars(name, nullptr);
    if (!characters) {
        env->ExceptionDescribe();
        return false;
    }
    main.owner = env->FindClass(characters);
    traceStep(launcher, "FindClass of the main class", main.owner != nullptr);
    if (!main.owner) {
        // The class loading error first, then the box naming the class.
        env->ExceptionDescribe();
        showErrorText(ui, launcher.owner(), loadMessage(ui, MessageId::MainClassNotFound), fromUtf8(characters));
    }
    env->ReleaseStringUTFChars(name, characters);
    env->DeleteLocalRef(name);
    return main.owner != nullptr;
}

}  // namespace

WideString mainCheckFailureMessage(Launcher& launcher) {
    UserInterface& ui = launcher.platform.ui;
    return withJvmText(formatMessage(ui, MessageId::MainClassLoadFailed, {mainTarget(launcher)}),
                       takeHelperOutput());
}

MainOutcome invokeMainClass(Launcher& launcher) {
    JNIEnv* env = launcher.jniEnv;
    UserInterface& ui = launcher.platform.ui;
    MainMethod main;
    jmethodID check = nullptr;
    jclass helper = findHelper(launcher, env, check);
    if (!(helper ? loadThroughHelper(launcher, env, helper, check, main) : loadThroughFindClass(launcher, env, main))) {
        return MainOutcome::NotStarted;
    }

    const char* signature = main.withArguments ? kArgumentsMain : kNoArgumentMain;
    jmethodID method = main.isStatic ? env->GetStaticMethodID(main.owner, "main", signature)
                                     : env->GetMethodID(main.owner, "main", signature);
    // An instance main runs on an object made as java makes it.
    jmethodID constructor = method && !main.isStatic ? env->GetMethodID(main.owner, "<init>", "()V") : nullptr;
    traceStep(launcher, "GetStaticMethodID main", method && (main.isStatic || constructor));
    if (!method || (!main.isStatic && !constructor)) {
        jthrowable pending = env->ExceptionOccurred();
        if (pending) {
            env->DeleteLocalRef(pending);
            env->ExceptionDescribe();
        } else {
            showError(ui, launcher.owner(), loadMessage(ui, MessageId::MainMethodMissing));
        }
        return MainOutcome::NotStarted;
    }
    jobjectArray arguments = main.withArguments ? newJavaStringArray(launcher.arguments, env) : nullptr;
    traceStep(launcher, "argument array", arguments || !main.withArguments);
    if (main.withArguments && !arguments) {
        env->ExceptionDescribe();
        return MainOutcome::NotStarted;
    }

    startupCacheMainStarting(launcher);
    programStarting(launcher);
    if (launcher.trace.enabled()) launcher.trace.line("calling main");
    // System.exit inside the program ends the process in here.
    if (main.isStatic) {
        env->CallStaticVoidMethod(main.owner, method, arguments);
    } else if (jobject instance = env->NewObject(main.owner, constructor)) {
        env->CallVoidMethod(instance, method, arguments);
    }
    jthrowable thrown = env->ExceptionOccurred();
    traceStep(launcher, "main", thrown == nullptr);
    if (!thrown) return MainOutcome::Returned;
    env->ExceptionDescribe();
    closeNativeSplash(launcher);
    if (!launcher.failureCheck) return MainOutcome::Threw;
    if (reportUncaughtException(launcher, thrown, env)) exitJava(env);
    return MainOutcome::Returned;
}

}  // namespace corvid
