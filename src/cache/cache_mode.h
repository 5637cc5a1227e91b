// The mode of a start (CacheMode): whether the configuration asks for the
// cache and the runtime supports it, which archive the start maps, checks or
// creates, whether it records an AOT configuration instead, and the options
// that ask the JVM for each.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/text.h"
#include "start/startup_cache_state.h"

namespace corvid {

class CacheStart;

// [Java Runtime Environment] "Startup Cache": "Yes" in any letter case.
bool startupCacheRequested(WideView value);

// The feature version of a release file's JAVA_VERSION ("17.0.9" 17, "1.8.0_392"
// 8, "25" 25); nullopt when it does not start with a number.
std::optional<int> javaFeatureVersion(WideView releaseVersion);
// The dynamic archive needs 13 or later.
bool supportsDynamicArchive(std::optional<int> featureVersion);

// The AOT cache (recorded, then built by a detached copy of the launcher)
// needs 25 or later: the version whose logging and mapping were measured.
bool supportsAotCache(std::optional<int> featureVersion);

// The options this start adds for its mode, in the form the runtime's version
// understands. Paths are narrow already; for Record `archive` is the AOT
// configuration the JVM writes.
std::vector<std::string> cacheOptions(CacheMode mode, ArchiveKind kind, int featureVersion, const std::string& archive,
                                      const std::string& checkLog);

// Decides the mode for the current key; fills the names in state.
CacheMode decideArchiveMode(CacheStart& start, const std::vector<WideString>& names, const std::string& key,
                            StartupCacheState& state);
// Once the dynamic archive is in use: the AOT cache of the key is mapped
// when its record matches, checked once when newly built, and recorded when
// there is none, again when a recording or build ended without one, at most
// a few times per key. Anything else keeps the dynamic archive (Use).
CacheMode decideAotMode(CacheStart& start, const std::vector<WideString>& names, const std::string& key,
                        StartupCacheState& state);

}  // namespace corvid
