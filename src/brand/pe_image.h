// A 64-bit Windows executable (PE32+) as far as rewriting its resources
// needs: the headers, the sections and the resource tree.
#pragma once

#include <optional>
#include <string>

#include "brand/bytes.h"
#include "brand/resource_tree.h"

namespace corvid::brand {

struct PeImage {
    Bytes file;
    std::size_t optionalHeader = 0;  // file offset of the optional header
    std::size_t sectionTable = 0;
    std::size_t sectionCount = 0;
    std::size_t resourceSection = 0;  // index of the section holding the resources
    ResourceTree resources;
};

// Reads an executable. Refused, with `error` saying why: anything but a
// PE32+ image, resources that are not a section of their own, data after the
// last section other than a signature (which rewriting would break anyway).
std::optional<PeImage> parsePeImage(Bytes file, std::string& error);

// The executable with `resources` as its resource section: later sections
// move up or down (only the relocations may follow the resources), the
// sizes and the checksum are recomputed and any signature is dropped.
std::optional<Bytes> rebuildPeImage(const PeImage& image, const ResourceTree& resources, std::string& error);

// The PE checksum of a file whose checksum field is at `checksumOffset`.
std::uint32_t peChecksum(const Bytes& file, std::size_t checksumOffset);

}  // namespace corvid::brand
