// Launcher text as Java strings: the text goes to bytes in the narrow form
// and through String(byte[]), so the JVM decodes it with its default charset.
#pragma once

#include "java/java_api.h"
#include "platform/text.h"

namespace corvid {

// A new local String, or null (an exception may then be pending).
jstring newJavaString(const WideString& text, JNIEnv* env);
// A new local String[] holding the texts in order; empty list, empty array.
jobjectArray newJavaStringArray(const WideList& texts, JNIEnv* env);
// Prints a pending exception to System.err and clears it; nothing otherwise.
void describePendingException(JNIEnv* env);

}  // namespace corvid
