// The configuration keys read while the launcher initialises.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/text.h"

namespace corvid {

class Launcher;

// The executable's folder, without a trailing separator: %CORVID_EXE_DIR%
// names the application's files in every configured path, whatever the
// current directory. The launcher sets it before it reads a path; the
// packaging tool writes it into the configurations it makes.
inline constexpr char16_t kExecutableFolderVariable[] = u"CORVID_EXE_DIR";

// Reads every initialisation key into the launcher. False when the file path
// cannot be formed or none of "Main Class", "Main Module" and "Main Jar" is
// set (message 210 shown).
bool loadConfiguration(Launcher& launcher);

// Splits at every separator; empty pieces stay, and a text without any
// separator (the empty text too) is one entry.
WideList splitAtSeparator(WideView text, WideView separator);

// The interpretations of single keys, exposed for tests.
struct RuntimeSearchPolicy;
enum class JvmType;
JvmType parseJvmType(WideView text);
void applyJvmSource(WideView text, RuntimeSearchPolicy& policy);
void applyVmProvider(WideView text, RuntimeSearchPolicy& policy);
// A whole number of 32 bits (decimal, an optional sign); nullopt for any other text.
std::optional<std::int32_t> parseExitCode(WideView text);

}  // namespace corvid
