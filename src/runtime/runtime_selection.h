// Chooses the JVM library to load: the configured "JRE Path", then a runtime
// beside the executable, then the registered runtimes between the configured
// bounds, ordered and matched against the preferred versions.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "runtime/runtime_search.h"

namespace corvid {

class Launcher;
class UserInterface;

// The full path of the JVM library (a relative one resolved against the
// current directory), or empty when no runtime was found.
WideString selectRuntime(Launcher& launcher);

// Orders by exchanging neighbours (n passes): favoured first when
// favorSource, then server libraries first under FavorServer, then the
// highest version; ties keep the order of the search.
void sortCandidates(std::vector<JreCandidate>& candidates, JvmType type, bool favorSource);

struct PreferredPick {
    std::size_t candidate = 0;          // index into the sorted list
    std::optional<std::size_t> entry;   // the preferred entry that matched, if any
};
// The first candidate matching the first preferred entry that matches any;
// the first candidate when none does. `sorted` must not be empty.
PreferredPick pickPreferred(const std::vector<JreCandidate>& sorted, const WideList& preferredVersions);

// The localized description of the wanted version (messages 217 to 221).
WideString buildRequirementText(UserInterface& ui, const JavaVersion& lower, const JavaVersion& upper);
// Message 206 (ServerOnly) or 207 with the requirement text, as the
// runtime-not-found dialog shows it.
WideString buildRuntimeNotFoundMessage(UserInterface& ui, const JavaVersion& lower, const JavaVersion& upper,
                                       JvmType type);

}  // namespace corvid
