// corvid-pack: makes an application image of a Java program and the
// launcher, and of that a zip or a Windows installer, on Linux or Windows.
#pragma once

#include <string>
#include <vector>

namespace corvid::pack {

// Runs the tool on its arguments (UTF-8, without the program name) and
// returns the exit code: 0 done, 1 a file or folder problem (nothing is left
// behind), 2 a bad command line. `messages` is for standard output on 0, for
// standard error else.
int runPack(const std::vector<std::string>& arguments, std::string& messages);

}  // namespace corvid::pack
