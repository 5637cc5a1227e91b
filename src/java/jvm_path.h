// Paths in JVM options travel in the narrow form (the thread's ANSI code page
// on Windows): a path that form cannot hold would reach the JVM with question
// marks in it. These functions give each path the form the JVM can open.
#pragma once

#include <optional>

#include "platform/platform.h"
#include "platform/text.h"

namespace corvid {

class Launcher;

// `path` unchanged when the narrow form holds it; otherwise each component
// that it cannot hold is replaced by its short name, the others stay as
// written (relative stays relative). nullopt when such a component has no
// short name (the file does not exist, or short names are off on its volume).
std::optional<WideString> jvmOpenablePath(ShortPaths& shortPaths, WideView path);
// The same for each entry of a path list (";" separates on Windows, ":" on
// Linux); `refused` receives the first entry that has no such form.
std::optional<WideString> jvmOpenablePathList(ShortPaths& shortPaths, WideView list, WideString* refused = nullptr);

// For a start, with the system's short names. On failure a message names
// the path and nullopt comes back; the caller ends the start.
std::optional<WideString> pathForJvm(Launcher& launcher, WideView path);
std::optional<WideString> pathListForJvm(Launcher& launcher, WideView list);

// The narrow form reads back as the text itself.
bool fitsNarrow(WideView text);

}  // namespace corvid
