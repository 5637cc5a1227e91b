// The installer's GUIDs: read as the command line gives them, and derived
// from names (RFC 4122 version 5, SHA-1), so one application gets the same
// upgrade code on every machine and in every build without keeping a file.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace corvid::pack {

using Guid = std::array<std::uint8_t, 16>;

// "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX", in braces or not, hex digits of
// either case.
std::optional<Guid> parseGuid(std::string_view text);
// In braces, upper case, as Windows Installer writes its codes.
std::string formatGuid(const Guid& guid);

// The name-based GUID of `name` (its bytes) in the space `space`.
Guid nameGuid(const Guid& space, std::string_view name);
// The upgrade code of an application given none: its vendor and name, as
// written (letter case counts).
Guid derivedUpgradeCode(std::string_view vendor, std::string_view name);

std::array<std::uint8_t, 20> sha1(std::string_view bytes);

}  // namespace corvid::pack
