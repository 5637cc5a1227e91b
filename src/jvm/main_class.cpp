#include "jvm/main_class.h"

#include "cache/startup_cache.h"
#include "jvm/java_api.h"
#include "jvm/java_strings.h"
#include "jvm/stack_trace.h"
#include "splash/splash_screen.h"
#include "start/launcher.h"
#include "start/messages.h"

namespace corvid {

namespace {

void traceStep(Launcher& launcher, const char* step, bool ok) {
    if (launcher.trace.enabled()) launcher.trace.line(std::string(step) + (ok ? " ok" : " failed"));
}

// System.exit(-1), which does not return unless it throws.
void exitJava(JNIEnv* env) {
    jclass system = env->FindClass("java/lang/System");
    jmethodID exit = system ? env->GetStaticMethodID(system, "exit", "(I)V") : nullptr;
    if (exit) env->CallStaticVoidMethod(system, exit, jint{-1});
    describePendingException(env);
}

jclass findMainClass(Launcher& launcher, JNIEnv* env) {
    UserInterface& ui = launcher.platform.ui;
    jstring name = newJavaString(launcher.mainClass, env);
    if (!name) {
        showErrorText(ui, launcher.owner(), loadMessage(ui, MessageId::MainClassLoadFailed), launcher.mainClass);
        return nullptr;
    }
    const char* characters = env->GetStringUTFChars(name, nullptr);
    if (!characters) {
        env->ExceptionDescribe();
        return nullptr;
    }
    jclass mainClass = env->FindClass(characters);
    traceStep(launcher, "FindClass of the main class", mainClass != nullptr);
    if (!mainClass) {
        // The class loading error first, then the box naming the class.
        env->ExceptionDescribe();
        showErrorText(ui, launcher.owner(), loadMessage(ui, MessageId::MainClassNotFound), fromUtf8(characters));
    }
    env->ReleaseStringUTFChars(name, characters);
    env->DeleteLocalRef(name);
    return mainClass;
}

}  // namespace

bool invokeMainClass(Launcher& launcher) {
    JNIEnv* env = launcher.jniEnv;
    UserInterface& ui = launcher.platform.ui;
    jclass mainClass = findMainClass(launcher, env);
    if (!mainClass) return false;

    jmethodID main = env->GetStaticMethodID(mainClass, "main", "([Ljava/lang/String;)V");
    traceStep(launcher, "GetStaticMethodID main", main != nullptr);
    if (!main) {
        jthrowable pending = env->ExceptionOccurred();
        if (pending) {
            env->DeleteLocalRef(pending);
            env->ExceptionDescribe();
        } else {
            showError(ui, launcher.owner(), loadMessage(ui, MessageId::MainMethodMissing));
        }
        return false;
    }

    jobjectArray arguments = newJavaStringArray(launcher.arguments, env);
    traceStep(launcher, "argument array", arguments != nullptr);
    if (!arguments) {
        env->ExceptionDescribe();
        return false;
    }

    startupCacheMainStarting(launcher);
    if (launcher.trace.enabled()) launcher.trace.line("calling main");
    // System.exit inside the program ends the process in here.
    env->CallStaticVoidMethod(mainClass, main, arguments);
    jthrowable thrown = env->ExceptionOccurred();
    traceStep(launcher, "main", thrown == nullptr);
    if (thrown) {
        env->ExceptionDescribe();
        closeNativeSplash(launcher);
        if (launcher.failureCheck && reportUncaughtException(launcher, thrown, env)) exitJava(env);
    }
    return true;
}

}  // namespace corvid
