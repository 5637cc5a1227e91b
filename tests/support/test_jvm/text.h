// Byte and character conversions of the test JVM library: the charsets its
// simulated String(byte[]) and PrintStream use, JNI's modified UTF-8, and the
// escaping of bytes in its log.
#pragma once

#include <string>

#include "world.h"

namespace corvid_test_jvm {

std::u16string decode(const std::string& bytes, Charset charset);
// Characters the charset lacks become '?', as in Java's encoders.
std::string encode(const std::u16string& text, Charset charset);
// Each UTF-16 unit on its own; U+0000 as two bytes.
std::string toModifiedUtf8(const std::u16string& text);
// Bytes outside printable ASCII as \xHH.
std::string escapeBytes(const std::string& bytes);

}  // namespace corvid_test_jvm
