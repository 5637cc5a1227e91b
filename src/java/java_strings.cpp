#include "java/java_strings.h"

#include <string>

namespace corvid {

jstring newJavaString(const WideString& text, JNIEnv* env) {
    const std::string bytes = toNarrow(text);
    const jsize length = static_cast<jsize>(bytes.size());
    jclass stringClass = env->FindClass("java/lang/String");
    if (!stringClass) return nullptr;
    jstring result = nullptr;
    jmethodID constructor = env->GetMethodID(stringClass, "<init>", "([B)V");
    jbyteArray array = constructor ? env->NewByteArray(length) : nullptr;
    if (array) {
        env->SetByteArrayRegion(array, 0, length, reinterpret_cast<const jbyte*>(bytes.data()));
        jthrowable pending = env->ExceptionOccurred();
        if (pending) {
            env->DeleteLocalRef(pending);
        } else {
            result = static_cast<jstring>(env->NewObject(stringClass, constructor, array));
        }
        env->DeleteLocalRef(array);
    }
    // Freed here so that a long argument list does not pile up class references.
    env->DeleteLocalRef(stringClass);
    return result;
}

jobjectArray newJavaStringArray(const WideList& texts, JNIEnv* env) {
    jclass stringClass = env->FindClass("java/lang/String");
    if (!stringClass) return nullptr;
    jobjectArray array = env->NewObjectArray(static_cast<jsize>(texts.size()), stringClass, nullptr);
    env->DeleteLocalRef(stringClass);
    if (!array) return nullptr;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        jstring element = newJavaString(texts[i], env);
        if (!element) {
            env->DeleteLocalRef(array);
            return nullptr;
        }
        env->SetObjectArrayElement(array, static_cast<jsize>(i), element);
        env->DeleteLocalRef(element);
    }
    return array;
}

void describePendingException(JNIEnv* env) {
    jthrowable pending = env->ExceptionOccurred();
    if (!pending) return;
    env->ExceptionDescribe();
    env->DeleteLocalRef(pending);
}

}  // namespace corvid
