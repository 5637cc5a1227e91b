// The Windows installer of an image, made by msitools: wixl builds the
// package from the WiX source, msibuild adds the shortcuts' App User Model ID.
#pragma once

#include <filesystem>
#include <string>

#include "pack/options.h"

namespace corvid::pack {

// Finds wixl and msibuild: 0, or 1 naming the one that is missing and the
// package that has it.
int findMsiTools(std::string& wixl, std::string& msibuild, std::string& error);

// Builds the package of the image in `image` into `output`, with its
// sources in `work`: 0, or 1 with the reason (the tools' words included).
int buildMsi(const PackOptions& options, const std::string& wixl, const std::string& msibuild,
             const std::filesystem::path& image, const std::filesystem::path& work, const std::filesystem::path& output,
             std::string& error);

}  // namespace corvid::pack
