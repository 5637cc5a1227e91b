// The launcher's window onto the JVM: the one file that includes jni.h, the
// types of the two library exports it calls, and the JNI 1.1 record whose
// javaStackSize the JVM still fills in. Every JNI operation the launcher uses
// is a JNIEnv or JavaVM member called through the pointers held here.
#pragma once

#include <cstdarg>
#include <cstdio>

#include <jni.h>

#include "platform/platform.h"

namespace corvid {

using CreateJavaVmFunction = jint(JNICALL*)(JavaVM** vm, void** env, void* args);
using GetDefaultJavaVmInitArgsFunction = jint(JNICALL*)(void* args);

inline constexpr char kCreateJavaVmName[] = "JNI_CreateJavaVM";
inline constexpr char kDefaultInitArgsName[] = "JNI_GetDefaultJavaVMInitArgs";

inline CreateJavaVmFunction asCreateJavaVm(LibrarySymbol symbol) {
    return reinterpret_cast<CreateJavaVmFunction>(symbol);
}
inline GetDefaultJavaVmInitArgsFunction asGetDefaultInitArgs(LibrarySymbol symbol) {
    return reinterpret_cast<GetDefaultJavaVmInitArgsFunction>(symbol);
}

// The JNI 1.1 initialisation record. Today's jni.h no longer declares it, but
// JNI_GetDefaultJavaVMInitArgs still answers a record of version 1.1 with the
// JVM's default Java stack size in javaStackSize.
struct JDK1_1InitArgs {
    jint version;
    char** properties;
    jint checkSource;
    jint nativeStackSize;
    jint javaStackSize;
    jint minHeapSize;
    jint maxHeapSize;
    jint verifyMode;
    char* classpath;
    jint(JNICALL* vfprintf)(std::FILE* stream, const char* format, va_list arguments);
    void(JNICALL* exit)(jint code);
    void(JNICALL* abort)();
    jint enableClassGC;
    jint enableVerboseGC;
    jint disableAsyncGC;
    jint verbose;
    jboolean debugging;
    jint debugPort;
};

}  // namespace corvid
