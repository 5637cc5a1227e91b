// The version record (VS_VERSIONINFO) of an executable: its fixed numbers
// and its string tables.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "brand/bytes.h"
#include "platform/text.h"

namespace corvid::brand {

// One node of the record: a key, a value (binary, or text whose bytes are
// UTF-16 with the terminating zero) and the nodes below it.
struct VersionNode {
    WideString key;
    bool text = false;
    Bytes value;
    std::vector<VersionNode> children;
};

using VersionNumber = std::array<std::uint16_t, 4>;

// "A", "A.B", "A.B.C" or "A.B.C.D", each 0-65535; missing parts are 0.
std::optional<VersionNumber> parseVersionText(std::string_view text);
WideString versionText(const VersionNumber& version);

std::optional<VersionNode> parseVersionRecord(const Bytes& resource, std::string& error);
Bytes buildVersionRecord(const VersionNode& root);

// A record as the resource compiler writes one: US English, UTF-16 strings.
VersionNode emptyVersionRecord();

// Sets a string in every string table of the record (one is made when there
// is none); other strings keep their values.
void setVersionString(VersionNode& root, WideView key, WideView value);
std::optional<WideString> versionString(const VersionNode& root, WideView key);
// The fixed part's file (or product) version; false when the record has none.
bool setFixedVersion(VersionNode& root, bool product, const VersionNumber& version);
std::optional<VersionNumber> fixedVersion(const VersionNode& root, bool product);

}  // namespace corvid::brand
