#include "brand/icon_file.h"

#include <algorithm>
#include <set>

namespace corvid::brand {

namespace {

constexpr std::size_t kFileHeader = 6;
constexpr std::size_t kFileEntry = 16;
constexpr std::size_t kGroupEntry = 14;

}  // namespace

std::optional<std::vector<IconImage>> parseIconFile(const Bytes& file, std::string& error) {
    const auto reserved = read16(file, 0);
    const auto type = read16(file, 2);
    const auto count = read16(file, 4);
    if (!reserved || !type || !count || *reserved != 0 || *type != 1) {
        error = "not an icon file (.ico)";
        return std::nullopt;
    }
    if (*count == 0) {
        error = "the icon file holds no image";
        return std::nullopt;
    }
    std::vector<IconImage> images;
    // Entries pointing at one image again and again would multiply the file.
    std::size_t unclaimed = file.size() - std::min(file.size(), kFileHeader + *count * kFileEntry);
    for (std::size_t i = 0; i < *count; ++i) {
        const std::size_t entry = kFileHeader + i * kFileEntry;
        const auto size = read32(file, entry + 8);
        const auto offset = read32(file, entry + 12);
        if (!size || !offset) {
            error = "the icon file ends inside its directory";
            return std::nullopt;
        }
        if (*size == 0 || *offset > file.size() || *size > file.size() - *offset) {
            error = "image " + std::to_string(i + 1) + " of the icon file lies outside the file";
            return std::nullopt;
        }
        if (*size > unclaimed) {
            error = "the icon file's images add up to more than the file holds";
            return std::nullopt;
        }
        unclaimed -= *size;
        IconImage image;
        image.width = file[entry];
        image.height = file[entry + 1];
        image.colorCount = file[entry + 2];
        image.planes = *read16(file, entry + 4);
        image.bitCount = *read16(file, entry + 6);
        image.data.assign(file.begin() + *offset, file.begin() + *offset + *size);
        images.push_back(std::move(image));
    }
    return images;
}

void replaceIcon(ResourceTree& tree, const std::vector<IconImage>& images, std::uint16_t language) {
    NameMap& icons = tree[ResourceKey(kIconType)];
    NameMap& groups = tree[ResourceKey(kIconGroupType)];
    ResourceKey groupName(std::uint16_t{1});
    if (!groups.empty()) {
        groupName = groups.begin()->first;
        LanguageMap& old = groups.begin()->second;
        if (!old.empty()) language = old.begin()->first;
        // The group's own images go; images other groups share stay.
        std::set<std::uint16_t> used;
        for (auto it = std::next(groups.begin()); it != groups.end(); ++it) {
            for (const auto& [lang, data] : it->second) {
                for (std::size_t e = kFileHeader; e + kGroupEntry <= data.bytes.size(); e += kGroupEntry) {
                    used.insert(*read16(data.bytes, e + 12));
                }
            }
        }
        for (const auto& [lang, data] : old) {
            for (std::size_t e = kFileHeader; e + kGroupEntry <= data.bytes.size(); e += kGroupEntry) {
                const std::uint16_t id = *read16(data.bytes, e + 12);
                if (!used.count(id)) icons.erase(ResourceKey(id));
            }
        }
        groups.erase(groups.begin());
    }

    ResourceData group;
    append16(group.bytes, 0);
    append16(group.bytes, 1);
    append16(group.bytes, static_cast<std::uint32_t>(images.size()));
    std::uint16_t nextId = 1;
    for (const IconImage& image : images) {
        while (icons.count(ResourceKey(nextId))) ++nextId;
        icons[ResourceKey(nextId)][language] = ResourceData{image.data, 0};
        group.bytes.push_back(image.width);
        group.bytes.push_back(image.height);
        group.bytes.push_back(image.colorCount);
        group.bytes.push_back(0);
        append16(group.bytes, image.planes);
        append16(group.bytes, image.bitCount);
        append32(group.bytes, static_cast<std::uint32_t>(image.data.size()));
        append16(group.bytes, nextId);
        ++nextId;
    }
    groups[groupName][language] = std::move(group);
}

}  // namespace corvid::brand
