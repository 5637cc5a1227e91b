// A file's modification time in the form the archives keep, from the
// system: the zip headers need the local time, which only the system knows.
#pragma once

#include <filesystem>
#include <optional>

#include "pack/archive.h"

namespace corvid::pack {

std::optional<ArchiveTime> fileTime(const std::filesystem::path& path);

}  // namespace corvid::pack
