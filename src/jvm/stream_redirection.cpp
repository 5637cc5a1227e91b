#include "jvm/stream_redirection.h"

#include "java/java_strings.h"
#include "start/launcher.h"

namespace corvid {

namespace {

constexpr char kPrintStreamSignature[] = "(Ljava/io/PrintStream;)V";

void redirectStream(Launcher& launcher, const WideString& path, const char* setter) {
    if (path.empty()) return;
    JNIEnv* env = launcher.jniEnv;
    jobject stream = openPrintStream(path, env);
    jclass system = stream ? env->FindClass("java/lang/System") : nullptr;
    jmethodID method = system ? env->GetStaticMethodID(system, setter, kPrintStreamSignature) : nullptr;
    if (method) env->CallStaticVoidMethod(system, method, stream);
    jthrowable pending = env->ExceptionOccurred();
    const bool redirected = method && !pending;
    if (pending) env->DeleteLocalRef(pending);
    if (!redirected) describePendingException(env);
    if (launcher.trace.enabled()) {
        launcher.trace.line(setter, "(", path, redirected ? ") done" : ") failed");
    }
    if (system) env->DeleteLocalRef(system);
    if (stream) env->DeleteLocalRef(stream);
}

}  // namespace

jobject openPrintStream(const WideString& path, JNIEnv* env) {
    jstring name = newJavaString(path, env);
    if (!name) return nullptr;
    jobject printStream = nullptr;
    jclass fileClass = env->FindClass("java/io/FileOutputStream");
    jmethodID fileConstructor = fileClass ? env->GetMethodID(fileClass, "<init>", "(Ljava/lang/String;)V") : nullptr;
    // Opens for writing, creating the file or truncating it.
    jobject file = fileConstructor ? env->NewObject(fileClass, fileConstructor, name) : nullptr;
    if (file) {
        jclass printClass = env->FindClass("java/io/PrintStream");
        jmethodID printConstructor =
            printClass ? env->GetMethodID(printClass, "<init>", "(Ljava/io/OutputStream;)V") : nullptr;
        // No automatic flushing and the JVM's default encoding, as System.out has.
        if (printConstructor) printStream = env->NewObject(printClass, printConstructor, file);
        if (printClass) env->DeleteLocalRef(printClass);
        env->DeleteLocalRef(file);
    }
    if (fileClass) env->DeleteLocalRef(fileClass);
    env->DeleteLocalRef(name);
    return printStream;
}

void redirectStandardStreams(Launcher& launcher) {
    redirectStream(launcher, launcher.outputFile, "setOut");
    redirectStream(launcher, launcher.errorFile, "setErr");
}

}  // namespace corvid
