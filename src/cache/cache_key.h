// The key of an archive: every fact it is valid for, so that a stale archive
// is never mapped, and the hash of it that names the archive's files; and
// what of the class path keeps the JVM from writing an archive at all.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/text.h"

namespace corvid {

class Launcher;
class FileSystem;

// Everything the archive is valid for, one fact a line: the runtime's real
// path and version, the JVM library's size and time, each class path entry
// made absolute with its size and time, and every JVM option. nullopt when a
// fact cannot be had.
std::optional<std::string> cacheKey(Launcher& launcher, FileSystem& files, const WideString& javaVersion);

// The archive's name: a 64-bit hash of the key, as 16 hex digits.
std::string keyHash(std::string_view key);

// Why the JVM would refuse to write an archive for this class path (it ends
// the process at exit then): a class path folder that is not empty; nullopt
// when nothing is known against it.
std::optional<WideString> archiveRefusal(Launcher& launcher, FileSystem& files);

}  // namespace corvid
