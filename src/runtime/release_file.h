// The "release" file that every current Java runtime carries in its top
// folder: KEY="value" lines, sorted by key, among them JAVA_VERSION="17.0.9".
// It states the runtime's true version where folder or registry key names
// hold only a major or a build number.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "platform/text.h"

namespace corvid {

// Release files are a few kilobytes; a longer file is not one.
inline constexpr std::size_t kReleaseFileLimit = 65536;

// The value of the first JAVA_VERSION line (quotes removed, CR LF or LF line
// ends, a UTF-8 byte-order mark allowed); nullopt when there is none, when it
// is empty, holds a control character or a quote is left open.
std::optional<std::string> parseReleaseVersion(std::string_view content);

// parseReleaseVersion of runtimeFolder's "release" file (the folder with or
// without its trailing separator); nullopt also when the file is missing,
// unreadable or longer than kReleaseFileLimit.
std::optional<WideString> readReleaseVersion(FileSystem& files, const WideString& runtimeFolder);

}  // namespace corvid
