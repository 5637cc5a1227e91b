// The second stage of the registered-runtime search: the places where Java
// runtimes installed today are registered (Windows) or unpacked (Linux). The
// four legacy roots hold only runtimes up to Java 8, so on a current machine
// they are often empty. This stage runs only when they yield nothing between
// the bounds, and follows their rules: the same bounds, "JVM Source" and
// "VM Provider" (every current runtime counts as the JavaSoft family), the
// same library lookup and, afterwards, the same ordering and pick.
//
// A runtime's version is its "release" file's JAVA_VERSION when there is one,
// else its registry key name read with fill 0. Its folder is the runtime
// itself, or the folder's "jre" subfolder when only that has a JVM library
// (a Java 8 kit registered the current way). A folder found twice is kept
// the first time only.
//
// The platform part only lists keys or folders and reads values; every
// decision is made here.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "runtime/runtime_registry.h"
#include "runtime/runtime_search.h"

namespace corvid {

class Launcher;

// How a current installer's registration says whether it is a kit.
enum class RegisteredKind { DevelopmentKit, RuntimeEnvironment, ByZuluName };

// One place where an installer registers runtimes: every subkey of `key` is
// a runtime, named by its version (or "zulu-<major>[-jre]" for ByZuluName),
// and the key `below` it (none when empty) holds the folder in `valueName`.
struct CurrentRegistration {
    RegistryHive hive;
    WideView key;        // under the hive, without a trailing backslash
    WideView below;      // e.g. "hotspot\MSI"
    WideView valueName;  // "JavaHome", "Path", "InstallationPath"
    RegisteredKind kind;
};

// The registrations in the order searched.
const std::vector<CurrentRegistration>& currentRegistrations();

// The version a key name stands for, or nullopt when the name has an odd
// form (not a version: digits first, then digits and . _ - + only; for Zulu
// not zulu-<digits> or zulu-<digits>-jre, letter case ignored). For Zulu
// names `zuluRuntimeEnvironment` tells the -jre form.
std::optional<JavaVersion> versionFromKeyName(WideView name, RegisteredKind kind, bool& zuluRuntimeEnvironment);

// '*' matches any run of characters, but a leading '.' of the name only when
// the pattern itself starts with one (as shells match file names).
bool matchesNamePattern(WideView name, WideView pattern);

// The ':'-separated folder patterns searched on Linux: a folder and a name
// pattern for its entries, "/opt/*jdk*". The environment variable replaces
// the default list; while the first stage's CORVID_RUNTIMES is set, only
// this variable brings folders in, so tests never see the machine's own.
inline constexpr char16_t kCurrentRuntimeFoldersVariable[] = u"CORVID_CURRENT_RUNTIMES";
WideList defaultCurrentRuntimeFolders(const std::optional<WideString>& home);

struct CurrentSearchRules {
    JavaVersion lower;
    JavaVersion upper;
    RuntimeSearchPolicy policy;
    JvmType type = JvmType::Default;
};

// What the stage has kept so far, in the order found.
struct CurrentFindings {
    std::vector<JreCandidate> candidates;
    std::vector<std::string> labels;  // where each was found, named in the trace of its duplicates
};

// The pieces of the stage, each appending to `found`; an entry whose folder
// is already in `found` is dropped.
void searchCurrentRegistrations(Platform& platform, Trace& trace, const CurrentSearchRules& rules,
                                const std::vector<CurrentRegistration>& registrations, CurrentFindings& found);
void searchJavaHome(Platform& platform, Trace& trace, const CurrentSearchRules& rules, CurrentFindings& found);
void searchCurrentFolders(Platform& platform, Trace& trace, const CurrentSearchRules& rules, const WideList& patterns,
                          CurrentFindings& found);

// The whole stage as this platform runs it: on Windows the registrations,
// then JAVA_HOME; on Linux JAVA_HOME, then the folder patterns.
std::vector<JreCandidate> searchCurrentRuntimes(Platform& platform, Trace& trace, const CurrentSearchRules& rules);

// "Search Current Runtimes": "No" in any letter case switches the stage off.
bool currentRuntimeSearchEnabled(WideView switchText);

// The stage for this start: reads the switch from the configuration, then
// searches with the launcher's bounds, policy and JVM type.
std::vector<JreCandidate> searchCurrentRuntimesFor(Launcher& launcher);

}  // namespace corvid
