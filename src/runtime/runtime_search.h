// The search of registered runtimes and the JVM library lookup inside a
// runtime folder. Folder paths end with the path separator; the relative
// library paths are appended to them as they are.
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
