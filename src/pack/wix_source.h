// The installer's WiX source, for msitools' wixl, and the one table wixl
// cannot write (the shortcuts' App User Model ID), for msibuild.
#pragma once

#include <string>
#include <vector>

#include "pack/guid.h"
#include "pack/options.h"

namespace corvid::pack {

// One file or folder of the image, '/'-separated, relative to its root.
struct ImageEntry {
    std::string path;
    bool folder = false;
};

// The codes of one package: the upgrade code is the application's, the
// product code that of this version in this scope, so building a version
// again gives the same product, and per-user and per-machine packages stay
// apart.
struct PackageCodes {
    Guid upgrade;
    Guid product;
};
PackageCodes packageCodes(const PackOptions& options);

// The source, to be built with the image's root as the current directory
// and the preprocessor variable Dollar defined as "$" (wixl has no other
// way to write a "$" followed by "(").
std::string wixSource(const PackOptions& options, const std::vector<ImageEntry>& entries);

// The MsiShortcutProperty table in msibuild's import form (.idt), one row
// per shortcut, giving each the application's App User Model ID.
std::string shortcutPropertyTable(const PackOptions& options);

// The shortcut's key in the table's PropertyKey column: PKEY_AppUserModel_ID.
inline constexpr char kAppUserModelIdKey[] = "{9F4C2855-9F79-4B39-A8D0-E1D42DE1D5F3}, 5";

}  // namespace corvid::pack
