// corvid-brand: gives a copy of the launcher an application's icon and
// version record.
#pragma once

#include <string>
#include <vector>

namespace corvid::brand {

// Runs the tool on its arguments (UTF-8, without the program name) and
// returns the exit code: 0 done, 1 bad input (no output file is left), 2 bad
// usage. `messages` is for standard output on 0, for standard error else.
int runBrand(const std::vector<std::string>& arguments, std::string& messages);

}  // namespace corvid::brand
