// The resource section of an executable as a tree of type, name and
// language, each leaf holding its data exactly as stored.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <variant>

#include "brand/bytes.h"
#include "platform/text.h"

namespace corvid::brand {

// A resource type or name: a number, or a text (stored upper case by the
// resource compilers, compared as stored).
struct ResourceKey {
    std::variant<std::uint16_t, WideString> value;

    ResourceKey(std::uint16_t id) : value(id) {}  // NOLINT: ids are written as numbers
    explicit ResourceKey(WideString name) : value(std::move(name)) {}
    bool isId() const { return std::holds_alternative<std::uint16_t>(value); }
    // Named entries sort before ids, names by their UTF-16 units, as the
    // resource directory requires for its binary search.
    bool operator<(const ResourceKey& other) const;
    bool operator==(const ResourceKey& other) const { return value == other.value; }
};

struct ResourceData {
    Bytes bytes;
    std::uint32_t codePage = 0;
    bool operator==(const ResourceData& other) const { return bytes == other.bytes && codePage == other.codePage; }
};

using LanguageMap = std::map<std::uint16_t, ResourceData>;
using NameMap = std::map<ResourceKey, LanguageMap>;
using ResourceTree = std::map<ResourceKey, NameMap>;

inline constexpr std::uint16_t kIconType = 3;
inline constexpr std::uint16_t kIconGroupType = 14;
inline constexpr std::uint16_t kVersionType = 16;

// Reads the resource directory at the start of `section`, a section loaded at
// `sectionRva`. Data outside the section is an error (`error` says which).
std::optional<ResourceTree> parseResourceTree(const Bytes& section, std::uint32_t sectionRva, std::string& error);

// The section bytes for `tree` when loaded at `sectionRva`: the directories,
// their names, the data entries, then the data, each 8-byte aligned.
Bytes buildResourceSection(const ResourceTree& tree, std::uint32_t sectionRva);

}  // namespace corvid::brand
