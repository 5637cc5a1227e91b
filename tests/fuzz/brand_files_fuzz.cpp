// The branding tool's readers of outside files. Any bytes are read as an
// executable, an icon file and a version record without a crash; an
// executable that is read is rebuilt with its own resources, and the result
// reads back with the same resources; a version record rebuilt from what was
// read reads back to the same bytes.
#include "brand/icon_file.h"
#include "brand/pe_image.h"
#include "brand/version_record.h"
#include "fuzz_support.h"

using namespace corvid::brand;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Bytes bytes(data, data + size);
    std::string error;

    if (const auto images = parseIconFile(bytes, error)) {
        FUZZ_CHECK(!images->empty());
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
