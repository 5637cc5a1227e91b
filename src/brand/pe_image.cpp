#include "brand/pe_image.h"

#include <algorithm>
#include <cstring>

namespace corvid::brand {

namespace {

constexpr std::uint16_t kAmd64 = 0x8664;
constexpr std::uint16_t kPe32Plus = 0x20B;
constexpr std::size_t kSectionHeader = 40;
// Optional header fields of PE32+.
constexpr std::size_t kSizeOfInitializedData = 8;
constexpr std::size_t kSectionAlignment = 32;
constexpr std::size_t kFileAlignment = 36;
constexpr std::size_t kSizeOfImage = 56;
constexpr std::size_t kSizeOfHeaders = 60;
constexpr std::size_t kCheckSum = 64;
constexpr std::size_t kDirectoryCount = 108;
constexpr std::size_t kDirectories = 112;
constexpr std::size_t kResourceDirectory = 2;
constexpr std::size_t kSecurityDirectory = 4;
// Section header fields.
constexpr std::size_t kVirtualSize = 8;
constexpr std::size_t kVirtualAddress = 12;
constexpr std::size_t kRawSize = 16;
constexpr std::size_t kRawPointer = 20;
constexpr std::size_t kCharacteristics = 36;
constexpr std::uint32_t kInitializedData = 0x40;

struct Section {
    std::string name;
    std::uint32_t virtualSize, virtualAddress, rawSize, rawPointer;
};

Section sectionAt(const Bytes& file, std::size_t header) {
    Section s;
    const char* name = reinterpret_cast<const char*>(&file[header]);
    s.name.assign(name, strnlen(name, 8));
    s.virtualSize = *read32(file, header + kVirtualSize);
    s.virtualAddress = *read32(file, header + kVirtualAddress);
    s.rawSize = *read32(file, header + kRawSize);
    s.rawPointer = *read32(file, header + kRawPointer);
    return s;
}

std::uint32_t field32(const PeImage& image, std::size_t offset) { return *read32(image.file, image.optionalHeader + offset); }

}  // namespace

std::optional<PeImage> parsePeImage(Bytes file, std::string& error) {
    PeImage image;
    image.file = std::move(file);
    const Bytes& f = image.file;
    const auto fail = [&](const std::string& what) {
        error = what;
        return std::nullopt;
    };
    const auto mz = read16(f, 0);
    const auto peOffset = read32(f, 0x3C);
    if (!mz || *mz != 0x5A4D || !peOffset) return fail("not a PE32+ executable (no MZ header)");
    const auto signature = read32(f, *peOffset);
    if (!signature || *signature != 0x00004550) return fail("not a PE32+ executable (no PE header)");
    const std::size_t coff = *peOffset + 4;
    const auto machine = read16(f, coff);
    const auto sections = read16(f, coff + 2);
    const auto optionalSize = read16(f, coff + 16);
    image.optionalHeader = coff + 20;
    const auto magic = read16(f, image.optionalHeader);
    if (!machine || !sections || !optionalSize || !magic) return fail("not a PE32+ executable (headers cut short)");
    if (*magic != kPe32Plus || *machine != kAmd64) return fail("not a PE32+ executable (not a 64-bit x64 image)");
    const auto directoryCount = read32(f, image.optionalHeader + kDirectoryCount);
    if (!directoryCount || *directoryCount <= kSecurityDirectory ||
        *optionalSize < kDirectories + (kSecurityDirectory + 1) * 8) {
        return fail("not a PE32+ executable (no data directories)");
    }
    image.sectionTable = image.optionalHeader + *optionalSize;
    image.sectionCount = *sections;
    if (image.sectionCount == 0 || image.sectionTable + image.sectionCount * kSectionHeader > f.size()) {
        return fail("not a PE32+ executable (section table cut short)");
    }
    const std::uint32_t fileAlignment = field32(image, kFileAlignment);
    const std::uint32_t sectionAlignment = field32(image, kSectionAlignment);
    // What the format allows: powers of two, the file's from 512 to 64 KiB.
    const auto powerOfTwo = [](std::uint32_t value) { return value != 0 && (value & (value - 1)) == 0; };
    if (!powerOfTwo(fileAlignment) || fileAlignment < 512 || fileAlignment > 0x10000 ||
        !powerOfTwo(sectionAlignment) || sectionAlignment < fileAlignment) {
        return fail("not a PE32+ executable (bad alignment)");
    }

    const std::uint32_t resourceRva = field32(image, kDirectories + kResourceDirectory * 8);
    bool found = false;
    std::uint64_t endOfSections = field32(image, kSizeOfHeaders);
    // Sections follow one another in memory, as the loader requires: moving
    // the ones after the resources relies on it.
    std::uint64_t endInMemory = 0;
    for (std::size_t i = 0; i < image.sectionCount; ++i) {
        const Section s = sectionAt(f, image.sectionTable + i * kSectionHeader);
        if (s.rawSize && (s.rawPointer < image.sectionTable + image.sectionCount * kSectionHeader ||
                          s.rawPointer > f.size() || s.rawSize > f.size() - s.rawPointer)) {
            return fail("not a PE32+ executable (section " + s.name + " lies outside the file)");
        }
        if (s.virtualAddress < endInMemory) {
            return fail("not a PE32+ executable (section " + s.name + " overlaps the one before it in memory)");
        }
        endInMemory = alignUp(std::uint64_t{s.virtualAddress} + (s.virtualSize ? s.virtualSize : s.rawSize),
                              sectionAlignment);
        if (s.rawSize) endOfSections = std::max<std::uint64_t>(endOfSections, std::uint64_t{s.rawPointer} + s.rawSize);
        if (resourceRva != 0 && s.virtualAddress == resourceRva) {
            image.resourceSection = i;
            found = true;
        }
    }
    if (!found) return fail("has no resource section of its own");

    const std::uint32_t certificate = field32(image, kDirectories + kSecurityDirectory * 8);
    const std::uint32_t certificateSize = field32(image, kDirectories + kSecurityDirectory * 8 + 4);
    std::uint64_t endOfImage = f.size();
    if (certificateSize && certificate >= endOfSections && certificate <= f.size()) endOfImage = certificate;
    if (endOfImage > endOfSections) {
        return fail("has data after its last section (debug symbols or an appended file); brand a stripped executable");
    }

    const Section rsrc = sectionAt(f, image.sectionTable + image.resourceSection * kSectionHeader);
    const std::size_t loaded = std::min(rsrc.rawSize, rsrc.virtualSize ? rsrc.virtualSize : rsrc.rawSize);
    const Bytes section(f.begin() + rsrc.rawPointer, f.begin() + rsrc.rawPointer + loaded);
    std::string treeError;
    auto tree = parseResourceTree(section, rsrc.virtualAddress, treeError);
    if (!tree) return fail("has a damaged resource section: " + treeError);
    image.resources = std::move(*tree);
    return image;
}

std::optional<Bytes> rebuildPeImage(const PeImage& image, const ResourceTree& resources, std::string& error) {
    const std::uint32_t fileAlignment = field32(image, kFileAlignment);
    const std::uint32_t sectionAlignment = field32(image, kSectionAlignment);
    const std::size_t rsrcHeader = image.sectionTable + image.resourceSection * kSectionHeader;
    const Section rsrc = sectionAt(image.file, rsrcHeader);
    const Bytes section = buildResourceSection(resources, rsrc.virtualAddress);

    const std::uint64_t newRawSize = alignUp(section.size(), fileAlignment);
    const std::int64_t rawDelta = static_cast<std::int64_t>(newRawSize) - rsrc.rawSize;
    const std::int64_t virtualDelta = static_cast<std::int64_t>(alignUp(section.size(), sectionAlignment)) -
                                      static_cast<std::int64_t>(alignUp(rsrc.virtualSize, sectionAlignment));
    if (newRawSize > 0x7FFFFFFF) {
        error = "the resources would be too large";
        return std::nullopt;
    }

    // Sections after the resources move with them; only the relocations can
    // move, since nothing but their data directory points into them.
    std::vector<std::size_t> later;
    for (std::size_t i = 0; i < image.sectionCount; ++i) {
        const Section s = sectionAt(image.file, image.sectionTable + i * kSectionHeader);
        if (i == image.resourceSection || s.virtualAddress < rsrc.virtualAddress) continue;
        if (virtualDelta != 0 && s.name != ".reloc") {
            error = "has section " + s.name + " after its resources, which cannot move";
            return std::nullopt;
        }
        later.push_back(i);
    }

    Bytes out;
    // Headers and every section before the resources' data, unchanged.
    out.assign(image.file.begin(), image.file.begin() + rsrc.rawPointer);
    out.insert(out.end(), section.begin(), section.end());
    out.resize(rsrc.rawPointer + newRawSize, 0);
    put32(out, rsrcHeader + kVirtualSize, static_cast<std::uint32_t>(section.size()));
    put32(out, rsrcHeader + kRawSize, static_cast<std::uint32_t>(newRawSize));
    const std::size_t optional = image.optionalHeader;
    put32(out, optional + kDirectories + kResourceDirectory * 8 + 4, static_cast<std::uint32_t>(section.size()));

    // The rest of the sections in file order, each at its moved place.
    std::vector<std::size_t> rest;
    for (std::size_t i = 0; i < image.sectionCount; ++i) {
        const Section s = sectionAt(image.file, image.sectionTable + i * kSectionHeader);
        if (i == image.resourceSection || s.rawSize == 0) continue;
        const bool before = std::uint64_t{s.rawPointer} + s.rawSize <= rsrc.rawPointer;
        const bool after = s.rawPointer >= std::uint64_t{rsrc.rawPointer} + rsrc.rawSize;
        if (!before && !after) {
            error = "has sections that overlap its resources";
            return std::nullopt;
        }
        if (after) rest.push_back(i);
    }
    std::sort(rest.begin(), rest.end(), [&](std::size_t a, std::size_t b) {
        return sectionAt(image.file, image.sectionTable + a * kSectionHeader).rawPointer <
               sectionAt(image.file, image.sectionTable + b * kSectionHeader).rawPointer;
    });
    for (const std::size_t i : rest) {
        const std::size_t header = image.sectionTable + i * kSectionHeader;
        const Section s = sectionAt(image.file, header);
        const std::uint64_t target = s.rawPointer + rawDelta;
        if (target < out.size()) {
            error = "has sections that overlap its resources";
            return std::nullopt;
        }
        out.resize(target, 0);
        out.insert(out.end(), image.file.begin() + s.rawPointer, image.file.begin() + s.rawPointer + s.rawSize);
        put32(out, header + kRawPointer, static_cast<std::uint32_t>(target));
    }
    for (const std::size_t i : later) {
        const std::size_t header = image.sectionTable + i * kSectionHeader;
        const Section s = sectionAt(image.file, header);
        put32(out, header + kVirtualAddress, static_cast<std::uint32_t>(s.virtualAddress + virtualDelta));
        // Data directories that point into the moved section move with it.
        const std::size_t directories =
            std::min<std::size_t>(field32(image, kDirectoryCount), (image.sectionTable - optional - kDirectories) / 8);
        for (std::size_t d = 0; d < directories; ++d) {
            if (d == kSecurityDirectory) continue;  // a file offset, not an address
            const std::size_t entry = optional + kDirectories + d * 8;
            const std::uint32_t rva = *read32(image.file, entry);
            if (rva >= s.virtualAddress && rva < s.virtualAddress + std::max(s.virtualSize, s.rawSize)) {
                put32(out, entry, static_cast<std::uint32_t>(rva + virtualDelta));
            }
        }
    }

    // A signature covers the old bytes: it goes.
    put32(out, optional + kDirectories + kSecurityDirectory * 8, 0);
    put32(out, optional + kDirectories + kSecurityDirectory * 8 + 4, 0);

    std::uint64_t imageEnd = 0;
    std::uint64_t initialized = 0;
    for (std::size_t i = 0; i < image.sectionCount; ++i) {
        const Section s = sectionAt(out, image.sectionTable + i * kSectionHeader);
        imageEnd = std::max<std::uint64_t>(imageEnd, s.virtualAddress + alignUp(std::max(s.virtualSize, s.rawSize), sectionAlignment));
        if (*read32(out, image.sectionTable + i * kSectionHeader + kCharacteristics) & kInitializedData) {
            initialized += s.rawSize;
        }
    }
    put32(out, optional + kSizeOfImage, static_cast<std::uint32_t>(imageEnd));
    put32(out, optional + kSizeOfInitializedData, static_cast<std::uint32_t>(initialized));
    put32(out, optional + kCheckSum, 0);
    put32(out, optional + kCheckSum, peChecksum(out, optional + kCheckSum));
    return out;
}

std::uint32_t peChecksum(const Bytes& file, std::size_t checksumOffset) {
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i < file.size(); i += 2) {
        if (i == checksumOffset || i == checksumOffset + 2) continue;
        std::uint32_t word = file[i];
        if (i + 1 < file.size()) word |= static_cast<std::uint32_t>(file[i + 1]) << 8;
        sum += word;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint32_t>(sum + file.size());
}

}  // namespace corvid::brand
