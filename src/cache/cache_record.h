// The archive's sidecar record and the names of the cache's files. Every
// file of a key is named "<executable>-<16 hex digits of the key's hash>",
// followed by ".jsa" or ".aot" for an archive, ".meta" for its record, and
// ".<pid>.<suffix>" for what one start or build makes while it runs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/text.h"

namespace corvid {

class Launcher;

// The sidecar record: the archive's size and modification time (a rewrite in
// place changes the time even when the size stays), what it was made for, and
// how far it got (complete: written by the JVM; unchecked: promoted, not yet
// mapped; checked: mapped once with verification). An AOT cache's record
// while it is recorded and built counts the starts that recorded it.
struct ArchiveRecord {
    std::string state;
    std::uint64_t size = 0;
    std::int64_t modified = 0;
    std::string key;
    unsigned attempts = 0;  // 0: not counted (records of earlier launchers, archives)
};
std::string formatRecord(const ArchiveRecord& record);
std::optional<ArchiveRecord> parseRecord(std::string_view text);

// True when the bytes start like an archive the JVM wrote at exit.
bool hasDynamicArchiveMagic(std::string_view head);
// True when the bytes start like an AOT cache (a static archive).
bool hasAotCacheMagic(std::string_view head);

// The folder's own level: the launcher deletes in it, so it holds the cache's
// files only, also when the product names are empty.
inline constexpr WideView kCacheFolderName = u"corvid-cache";
// The cache folder: %LOCALAPPDATA%\<Product Name>\<Product Code>\corvid-cache on
// Windows, $XDG_CACHE_HOME (default ~/.cache)/<Product Name>/<Product Code>/corvid-cache
// on Linux, with the per-user file's name rules and no level for an empty
// name; nullopt when the root is unknown. The launcher deletes files there,
// so the last level is its own.
std::optional<WideString> cacheFolderFor(Launcher& launcher);

// "<executable>-" : the prefix of every file of this application.
WideString applicationPrefix(const WideString& modulePath);
// "<prefix><16 hex digits><suffix>": a file of one key, such as its archive.
bool isKeyFile(WideView name, WideView prefix, WideView suffix);
// The process id in "<prefix><16 hex digits>.<pid><suffix>", the id written
// as the launcher writes it; nullopt for every other name, so a file that
// merely looks alike is never taken for the cache's.
std::optional<std::uint32_t> processOfName(WideView name, WideView prefix, WideView suffix);

}  // namespace corvid
