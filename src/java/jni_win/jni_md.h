/* The machine-dependent part of jni.h for 64-bit Windows, for building on a
   machine without a Windows JDK. jint is long there: 32 bits, as LLP64 has it. */
#ifndef _JAVASOFT_JNI_MD_H_
#define _JAVASOFT_JNI_MD_H_

#define JNIEXPORT __declspec(dllexport)
#define JNIIMPORT __declspec(dllimport)
#define JNICALL __stdcall

typedef long jint;
typedef __int64 jlong;
typedef signed char jbyte;

#endif
