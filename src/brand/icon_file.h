// Icon files (.ico) and the icon resources they become in an executable.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "brand/bytes.h"
#include "brand/resource_tree.h"

namespace corvid::brand {

struct IconImage {
    std::uint8_t width = 0;   // 0 means 256
    std::uint8_t height = 0;  // 0 means 256
    std::uint8_t colorCount = 0;
    std::uint16_t planes = 0;
    std::uint16_t bitCount = 0;
    Bytes data;  // a bitmap without file header, or a PNG
};

// The images of an .ico file, in the file's order; nullopt with `error` set
// when it is not one (wrong header, no image, an image outside the file,
// images that together need more than the file has).
std::optional<std::vector<IconImage>> parseIconFile(const Bytes& file, std::string& error);

// Makes `images` the executable's icon: the first icon group (the one the
// shell shows) is rewritten with the images under new icon ids, its old
// images removed; without a group, group 1 is made in `language`.
void replaceIcon(ResourceTree& tree, const std::vector<IconImage>& images, std::uint16_t language);

}  // namespace corvid::brand
