// What a start decided about the start-up cache, kept in the Launcher for
// the later steps; the cache itself is in cache/.
#pragma once

#include <string>

#include "platform/text.h"

namespace corvid {

enum class CacheMode {
    Off,     // a plain start
    Use,     // map the checked archive
    Check,   // map a new archive once with full verification, then record the verdict
    Create,  // have the JVM write a new archive when it ends
    Record,  // have the JVM record an AOT configuration when it ends; a detached build makes the cache
};

// What Use and Check map: the dynamic archive, or the AOT cache (runtimes 25 and later).
enum class ArchiveKind { Dynamic, Aot };

// What this start decided; kept in the Launcher for the later steps.
struct StartupCacheState {
    CacheMode mode = CacheMode::Off;
    WideString folder;     // the cache folder
    WideString archive;    // the archive, or the temporary one being created
    WideString record;     // the archive's sidecar record
    WideString marker;     // the crash marker of this start
    WideString checkLog;   // where the JVM reports on the archive it maps (Check)
    std::string key;       // everything the archive was made for
    ArchiveKind kind = ArchiveKind::Dynamic;
    std::size_t keyOptions = 0;  // the JVM options the key covers (those before the cache's own)
    unsigned attempt = 0;        // which recording of the key this is (Record)
    bool mainStarted = false;
};

}  // namespace corvid
