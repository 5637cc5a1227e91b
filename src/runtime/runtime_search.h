// The search of registered runtimes, the JVM library lookup inside a runtime
// folder, and the way back from a library to its runtime's folders. Folder
// paths end with the path separator; the relative library paths are appended
// to them as they are.
#pragma once

#include <vector>

#include "start/java_version.h"
#include "start/launcher.h"

namespace corvid {

struct Platform;
class FileSystem;
class Trace;

// One usable registered runtime.
struct JreCandidate {
    JavaVersion version;  // read from the subkey name with fill 0
    WideString home;      // the runtime folder, ending in the separator
    bool isServer = false;    // the library the search found is the server one
    bool isFavoured = false;  // its kind and provider are favoured by the policy
};

// True when the file system finds an object of that name (folders count).
bool fileExists(FileSystem& files, const WideString& path);

// The full path of the JVM library inside `folder`, or empty when none of
// the library variants exists there. `isServer` is set only when one is found.
// Default tries the client library first, FavorServer the server library
// first, and ServerOnly accepts nothing but the server library.
WideString findJvmLibrary(FileSystem& files, const WideString& folder, JvmType type, bool& isServer);
WideString findJvmLibrary(FileSystem& files, const WideString& folder, JvmType type);

// Cuts the path before its last separator, count times; a repetition that
// finds no separator changes nothing.
WideString stripPathComponents(WideView path, int count);

// The runtime's home folder, without a trailing separator. On Windows the
// library is always two folders below it (bin\server\jvm.dll); on Linux the
// home is the folder that holds lib/, so lib/server/libjvm.so and the older
// lib/amd64/server/libjvm.so both lead to it.
WideString runtimeHomeFolder(WideView jvmLibraryPath);
// The folder of the runtime's executables, which ends the new search path.
WideString runtimeBinFolder(WideView jvmLibraryPath);

// The registered runtimes between the bounds (both included) that hold a JVM
// library, in the order found: root by root, then the registry's order.
// Duplicates are kept. Nothing found is an empty list, never a failure.
std::vector<JreCandidate> searchInstalledRuntimes(Platform& platform, Trace& trace, const JavaVersion& lower,
                                                  const JavaVersion& upper, const RuntimeSearchPolicy& policy,
                                                  JvmType type);

// "<version> at <home> (server, favoured)", for the trace.
std::string describeCandidate(const JreCandidate& candidate);
// All four parts, "17.0.9.0", for the trace.
std::string versionText(const JavaVersion& version);

// Whether a root is searched under the policy, whether its candidates are
// favoured, and why it is skipped when it is not searched.
enum class RegistryRoot;
struct RootRule {
    bool searched;
    bool favoured;
    const char* skipReason;
};
RootRule ruleForRoot(RegistryRoot root, const RuntimeSearchPolicy& policy);

}  // namespace corvid
