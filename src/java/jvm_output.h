// What the JVM prints through its "vfprintf" hook. While the launcher needs
// the JVM's own words (during creation, for the message of a refused start)
// the text is held back; otherwise it goes on to the stream the JVM chose at
// once, as if there were no hook, unless a guard drops it.
#pragma once

#include <string>

#include "java/java_api.h"
#include "platform/text.h"

namespace corvid {

enum class JvmOutputMode { Capture, PassThrough };

// Safe from any thread, the JVM's own included.
void setJvmOutputMode(JvmOutputMode mode);
// The text held back since the last take or release, in order; then cleared.
std::string takeCapturedJvmOutput();
// Writes the held-back text to the streams the JVM meant, in order, and clears it.
void releaseCapturedJvmOutput();

// Called with each piece bound for a standard stream before it is written
// or held back, on the thread that printed it; a piece for which it returns
// true is dropped. nullptr for none. The start-up cache drops the JVM's words
// about its archive this way, and ends the process from here when the JVM
// announces that it ends it for a refused archive.
void setJvmOutputGuard(bool (*guard)(const std::string& piece));

// The function handed to JNI_CreateJavaVM as the "vfprintf" option. Capture
// holds at most about 1 MiB: beyond that the held text is released first, so
// nothing is lost and the order stays.
jint JNICALL jvmVfprintfHook(std::FILE* stream, const char* format, va_list arguments);

// The JVM's text as a message shows it: at most the last 4,000 characters,
// line breaks kept, blank lines around it dropped; empty when the JVM said
// nothing.
WideString jvmWords(const std::string& jvmText);
// The message followed by the JVM's words on a line of their own; the
// message alone when the JVM said nothing.
WideString withJvmText(const WideString& message, const std::string& jvmText);

}  // namespace corvid
