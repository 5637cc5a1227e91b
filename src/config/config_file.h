// Where the configuration files are and how one value is read or written.
// Nothing is cached: every read goes to the file.
#pragma once

#include <optional>

#include "platform/platform.h"
#include "platform/text.h"

namespace corvid {

class Launcher;

// The executable's path; on failure message 202 with 208 and the system
// error code is shown and nullopt returned.
std::optional<WideString> getModulePath(Launcher& launcher);
// The executable's folder, ending in the path separator.
std::optional<WideString> getModuleFolder(Launcher& launcher);

// The pure path rules, for tests.
// Windows: the path cut after its last "." (anywhere in the path) followed by
// "ini"; nullopt when the path has no ".". Linux: the file name's extension
// replaced by "ini", or ".ini" appended when the file name has no ".".
std::optional<WideString> configFilePathFor(WideView modulePath);
// appData + name (without \?"|><:/*) + code + the executable's base name + ".ini".
WideString userConfigFilePathFor(WideView appData, WideView productName, WideView productCode, WideView modulePath);

// The configuration file beside the executable; nullopt when the module path
// fails (message shown) or holds no "." (silently).
std::optional<WideString> getConfigFilePath(Launcher& launcher);
// The per-user file that remembers "JRE Path"; empty when the module path
// fails. With createFolders, its two folders are created (failures ignored).
WideString getUserConfigFilePath(Launcher& launcher, bool createFolders);
bool configFileExists(Platform& platform, const WideString& path);

WideString readConfigValue(Platform& platform, const WideString& file, WideView section, WideView key);

// Reads "JRE Path" from the file that holds it for this start.
WideString readJrePath(Launcher& launcher, const WideString& configFile);
// Remembers the runtime folder the user chose; the write's result is ignored.
void storeJrePath(Launcher& launcher, const WideString& folder);

}  // namespace corvid
