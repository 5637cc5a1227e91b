// The outside programs corvid-pack runs (wixl and msibuild), found on the
// search path and waited for, their output kept for the message on failure.
#pragma once

#include <string>
#include <vector>

namespace corvid::pack {

struct ToolRun {
    bool started = false;
    int exitCode = -1;
    std::string output;  // standard output and standard error, interleaved
};

// The program's path on the executable search path (PATH), or empty. On
// Windows ".exe" is tried after the name.
std::string findOnPath(const std::string& program);

// Runs `program` (a path) with `arguments` in `folder` and waits for it.
// Paths and texts are UTF-8.
ToolRun runTool(const std::string& program, const std::vector<std::string>& arguments, const std::string& folder);

}  // namespace corvid::pack
