// The branding tool's readers of outside files. Any bytes are read as an
// executable, an icon file and a version record without a crash; the images
// of an icon file and the resources of an executable hold no more bytes than
// the file has; an executable that is read, rebuilt with its own resources,
// reads back with the same ones; a version record rebuilt from what was read
// reads back to the same bytes.
#include "brand/icon_file.h"
#include "brand/pe_image.h"
#include "brand/version_record.h"
#include "fuzz_support.h"

using namespace corvid::brand;

namespace {

// The bytes of the tree's names and data, each counted where it is used.
std::size_t treeBytes(const ResourceTree& tree) {
    const auto keyBytes = [](const ResourceKey& key) { return key.isId() ? 0 : std::get<corvid::WideString>(key.value).size() * 2; };
    std::size_t total = 0;
    for (const auto& [type, names] : tree) {
        total += keyBytes(type);
        for (const auto& [name, languages] : names) {
            total += keyBytes(name);
            for (const auto& language : languages) total += language.second.bytes.size();
        }
    }
    return total;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Bytes bytes(data, data + size);
    std::string error;

    if (const auto images = parseIconFile(bytes, error)) {
        FUZZ_CHECK(!images->empty());
        std::size_t imageBytes = 0;
        for (const IconImage& image : *images) imageBytes += image.data.size();
        FUZZ_CHECK(imageBytes <= bytes.size());
        ResourceTree tree;
        replaceIcon(tree, *images, 0);
        FUZZ_CHECK(tree.at(ResourceKey(kIconType)).size() == images->size());
    }

    if (const auto record = parseVersionRecord(bytes, error)) {
        const Bytes built = buildVersionRecord(*record);
        const auto again = parseVersionRecord(built, error);
        FUZZ_CHECK(again.has_value());
        FUZZ_CHECK(buildVersionRecord(*again) == built);
    }

    if (const auto image = parsePeImage(bytes, error)) {
        FUZZ_CHECK(treeBytes(image->resources) <= bytes.size());
        if (const auto rebuilt = rebuildPeImage(*image, image->resources, error)) {
            const auto back = parsePeImage(*rebuilt, error);
            FUZZ_CHECK(back.has_value());
            FUZZ_CHECK(back->resources == image->resources);
            FUZZ_CHECK(peChecksum(*rebuilt, back->optionalHeader + 64) ==
                       *read32(*rebuilt, back->optionalHeader + 64));
        }
    }
    return 0;
}
