// corvid-brand: gives a copy of the launcher an application's icon and
// version record.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "brand/version_record.h"
#include "platform/text.h"

namespace corvid::brand {

// Runs the tool on its arguments (UTF-8, without the program name) and
// returns the exit code: 0 done, 1 bad input (no output file is left), 2 bad
// usage. `messages` is for standard output on 0, for standard error else.
int runBrand(const std::vector<std::string>& arguments, std::string& messages);

// What a branded copy gets, as the options give it: the icon file (UTF-8
// path; empty keeps the icon), the version record's strings by key, and the
// fixed version numbers.
struct Branding {
    std::string icon;
    std::map<WideString, WideString> strings;
    std::optional<VersionNumber> productVersion;
    std::optional<VersionNumber> fileVersion;
};
// Writes the branded copy of `input` to `output` as corvid-brand does:
// 0, or 1 with the reason in `error` and no output left.
int brandCopy(const std::string& input, const std::string& output, const Branding& branding, std::string& error);

}  // namespace corvid::brand
