// The image's configuration file, written from corvid-pack's options: only
// the keys they set, each under a comment naming the option it came from.
// Its paths start at the launcher's own folder (%CORVID_EXE_DIR%), so the
// image works from any current directory.
#pragma once

#include <string>

#include "pack/options.h"

namespace corvid::pack {

// UTF-8 text, with the target's line ends and path separators.
std::string applicationIni(const PackOptions& options);

// A value as the configuration must hold it to read back as `value`: the
// reader drops surrounding blanks and one pair of enclosing quotes.
std::string iniValue(const std::string& value);

}  // namespace corvid::pack
