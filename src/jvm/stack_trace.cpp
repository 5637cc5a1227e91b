#include "jvm/stack_trace.h"

#include "java/java_strings.h"
#include "jvm/exception_dialog.h"
#include "start/launcher.h"
#include "start/messages.h"
#include "start/user_interface.h"

namespace corvid {

WideString stackTraceText(jthrowable throwable, JNIEnv* env) {
    jclass bufferClass = env->FindClass("java/io/ByteArrayOutputStream");
    jmethodID bufferConstructor = bufferClass ? env->GetMethodID(bufferClass, "<init>", "()V") : nullptr;
    jobject buffer = bufferConstructor ? env->NewObject(bufferClass, bufferConstructor) : nullptr;
    if (!buffer) return {};
    jclass printClass = env->FindClass("java/io/PrintStream");
    jmethodID printConstructor = printClass ? env->GetMethodID(printClass, "<init>", "(Ljava/io/OutputStream;)V") : nullptr;
    jobject printStream = printConstructor ? env->NewObject(printClass, printConstructor, buffer) : nullptr;
    if (!printStream) return {};

    jclass throwableClass = env->GetObjectClass(throwable);
    jmethodID printStackTrace =
        throwableClass ? env->GetMethodID(throwableClass, "printStackTrace", "(Ljava/io/PrintStream;)V") : nullptr;
    if (!printStackTrace) return {};
    // A void method, so it is called as one: asking CallObjectMethod for its
    // result would make a reference out of whatever the call left behind.
    env->CallVoidMethod(throwable, printStackTrace, printStream);
    describePendingException(env);

    jclass bufferObjectClass = env->GetObjectClass(buffer);
    jmethodID toString =
        bufferObjectClass ? env->GetMethodID(bufferObjectClass, "toString", "()Ljava/lang/String;") : nullptr;
    if (!toString) return {};
    auto text = static_cast<jstring>(env->CallObjectMethod(buffer, toString));
    describePendingException(env);
    if (!text) return {};
    const char* characters = env->GetStringUTFChars(text, nullptr);
    if (!characters) return {};
    WideString result = fromUtf8(characters);
    env->ReleaseStringUTFChars(text, characters);
    return result;
}

bool reportUncaughtException(Launcher& launcher, jthrowable throwable, JNIEnv* env) {
    const WideString trace = stackTraceText(throwable, env);
    if (trace.empty()) return false;
    if (launcher.trace.enabled()) launcher.trace.line("uncaught exception:\n", trace);
    // The dialog in the language of the messages; every answer but Ignore,
    // a dialog that could not be created included, stops the application.
    const int answer = showExceptionDialog(trace, tableLanguageFor(launcher.platform.ui.threadLanguage()));
    if (launcher.trace.enabled()) launcher.trace.line("exception dialog answered ", answer);
    return answer != kExceptionDialogIgnore;
}

}  // namespace corvid
