// Where the parts of an application image stand, and the names of what
// corvid-pack makes, for each target.
#pragma once

#include <string>

#include "pack/options.h"

namespace corvid::pack {

inline constexpr char kAppFolder[] = "app";
inline constexpr char kRuntimeFolder[] = "jre64";

// NAME.exe, or NAME on Linux.
std::string launcherFileName(const PackOptions& options);
// The configuration the launcher reads beside it: NAME.ini (on Linux the
// file name's extension replaced, so my.app reads my.ini).
std::string configFileName(const PackOptions& options);
// The launcher corvid-pack copies: corvid.exe, corvidc.exe, or corvid.
std::string sourceLauncherName(const PackOptions& options);
// NAME-VERSION-windows-x64.zip, NAME-VERSION-linux-x64.tar.gz, NAME-VERSION.msi;
// empty for an image.
std::string packageFileName(const PackOptions& options);
// The path separator of the target, for paths in its configuration.
char targetSeparator(const PackOptions& options);

}  // namespace corvid::pack
