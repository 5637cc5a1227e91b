#include <gtest/gtest.h>

#include "brand/icon_file.h"
#include "brand/pe_image.h"
#include "brand/resource_tree.h"
#include "brand/version_record.h"

namespace corvid::brand {
namespace {

TEST(BrandVersionText, ReadsOneToFourNumbers) {
    struct Case {
        const char* text;
        std::optional<VersionNumber> expected;
    };
    const Case cases[] = {
        {"1", VersionNumber{1, 0, 0, 0}},          {"1.2", VersionNumber{1, 2, 0, 0}},
        {"1.2.3.4", VersionNumber{1, 2, 3, 4}},    {"65535.0.0.65535", VersionNumber{65535, 0, 0, 65535}},
        {"65536", std::nullopt},                   {"1.2.3.4.5", std::nullopt},
        {"", std::nullopt},                        {"1.", std::nullopt},
        {".1", std::nullopt},                      {"1..2", std::nullopt},
        {"1.2a", std::nullopt},                    {"-1", std::nullopt},
        {"99999999999", std::nullopt},             {" 1", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(parseVersionText(c.text), c.expected) << c.text;
}

TEST(BrandResourceTree, RoundTripsIdsNamesLanguagesAndBytes) {
    ResourceTree tree;
    tree[ResourceKey(std::uint16_t{6})][ResourceKey(std::uint16_t{1})][0x0407] = {{1, 2, 3}, 0};
    tree[ResourceKey(std::uint16_t{6})][ResourceKey(std::uint16_t{1})][0x0409] = {{4, 5, 6, 7, 8}, 1252};
    tree[ResourceKey(std::uint16_t{24})][ResourceKey(std::uint16_t{1})][0] = {Bytes(1000, 0xAB), 0};
    tree[ResourceKey(u"TYPELIB")][ResourceKey(u"ÄPP")][0] = {{9}, 0};
    tree[ResourceKey(u"TYPELIB")][ResourceKey(std::uint16_t{3})][0] = {{}, 0};

    const std::uint32_t rva = 0x6d000;
    const Bytes section = buildResourceSection(tree, rva);
    std::string error;
    const auto parsed = parseResourceTree(section, rva, error);
    ASSERT_TRUE(parsed) << error;
    ASSERT_EQ(parsed->size(), tree.size());
    for (const auto& [type, names] : tree) {
        for (const auto& [name, languages] : names) {
            for (const auto& [language, data] : languages) {
                const ResourceData& back = parsed->at(type).at(name).at(language);
                EXPECT_EQ(back.bytes, data.bytes);
                EXPECT_EQ(back.codePage, data.codePage);
            }
        }
    }
    // Built at another address, the data entries point elsewhere.
    EXPECT_FALSE(parseResourceTree(section, rva + 0x1000, error));
}

TEST(BrandResourceTree, RefusesDataOutsideTheSection) {
    ResourceTree tree;
    tree[ResourceKey(std::uint16_t{3})][ResourceKey(std::uint16_t{1})][0] = {Bytes(64, 1), 0};
    Bytes section = buildResourceSection(tree, 0x1000);
    std::string error;
    const Bytes cut(section.begin(), section.end() - 1);
    EXPECT_FALSE(parseResourceTree(cut, 0x1000, error));
    EXPECT_EQ(error, "a resource's data lies outside the resource section");
    EXPECT_FALSE(parseResourceTree(Bytes(15, 0), 0x1000, error));
}

Bytes iconFile(const std::vector<Bytes>& images) {
    Bytes file;
    append16(file, 0);
    append16(file, 1);
    append16(file, static_cast<std::uint32_t>(images.size()));
    std::size_t offset = 6 + 16 * images.size();
    for (std::size_t i = 0; i < images.size(); ++i) {
        file.push_back(static_cast<std::uint8_t>(16 << i));
        file.push_back(static_cast<std::uint8_t>(16 << i));
        file.push_back(0);
        file.push_back(0);
        append16(file, 1);
        append16(file, 32);
        append32(file, static_cast<std::uint32_t>(images[i].size()));
        append32(file, static_cast<std::uint32_t>(offset));
        offset += images[i].size();
    }
    for (const Bytes& image : images) file.insert(file.end(), image.begin(), image.end());
    return file;
}

TEST(BrandIconFile, ReadsOneOrSeveralImages) {
    for (const std::size_t count : {1u, 4u}) {
        std::vector<Bytes> images;
        for (std::size_t i = 0; i < count; ++i) images.push_back(Bytes(10 + i, static_cast<std::uint8_t>(i)));
        std::string error;
        const auto parsed = parseIconFile(iconFile(images), error);
        ASSERT_TRUE(parsed) << error;
        ASSERT_EQ(parsed->size(), count);
        for (std::size_t i = 0; i < count; ++i) {
            EXPECT_EQ((*parsed)[i].data, images[i]);
            EXPECT_EQ((*parsed)[i].width, static_cast<std::uint8_t>(16 << i));
            EXPECT_EQ((*parsed)[i].bitCount, 32);
        }
    }
}

TEST(BrandIconFile, RefusesWhatIsNoIcon) {
    Bytes cursor = iconFile({Bytes(4, 0)});
    cursor[2] = 2;
    Bytes outside = iconFile({Bytes(4, 0)});
    outside[6 + 8] = 200;  // the image's size runs past the end
    const Bytes whole = iconFile({Bytes(4, 0)});
    const std::pair<Bytes, const char*> cases[] = {
        {Bytes{}, "not an icon file (.ico)"},
        {cursor, "not an icon file (.ico)"},
        {iconFile({}), "the icon file holds no image"},
        {Bytes(whole.begin(), whole.begin() + 12), "the icon file ends inside its directory"},
        {outside, "image 1 of the icon file lies outside the file"},
    };
    for (const auto& [file, message] : cases) {
        std::string error;
        EXPECT_FALSE(parseIconFile(file, error));
        EXPECT_EQ(error, message);
    }
}

TEST(BrandIcon, ReplacesTheFirstGroupAndItsImagesOnly) {
    ResourceTree tree;
    // Group 1 uses icons 1 and 2, group 7 uses icon 2 and 3.
    const auto group = [](std::vector<std::uint16_t> ids) {
        Bytes bytes;
        append16(bytes, 0);
        append16(bytes, 1);
        append16(bytes, static_cast<std::uint32_t>(ids.size()));
        for (const std::uint16_t id : ids) {
            bytes.insert(bytes.end(), 12, 0);
            append16(bytes, id);
        }
        return ResourceData{bytes, 0};
    };
    for (const std::uint16_t id : {1, 2, 3}) tree[ResourceKey(kIconType)][ResourceKey(id)][0] = {{1}, 0};
    tree[ResourceKey(kIconGroupType)][ResourceKey(std::uint16_t{1})][0] = group({1, 2});
    tree[ResourceKey(kIconGroupType)][ResourceKey(std::uint16_t{7})][0] = group({2, 3});

    std::string error;
    const auto images = parseIconFile(iconFile({Bytes(5, 1), Bytes(6, 2), Bytes(7, 3)}), error);
    ASSERT_TRUE(images);
    replaceIcon(tree, *images, 0);

    const NameMap& icons = tree.at(ResourceKey(kIconType));
    // Icon 1 went; 2 and 3 stay for group 7; the new images take 1, 4 and 5.
    std::vector<std::uint16_t> ids;
    for (const auto& entry : icons) ids.push_back(std::get<std::uint16_t>(entry.first.value));
    EXPECT_EQ(ids, (std::vector<std::uint16_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(icons.at(ResourceKey(std::uint16_t{4})).at(0).bytes, Bytes(6, 2));
    const Bytes& newGroup = tree.at(ResourceKey(kIconGroupType)).at(ResourceKey(std::uint16_t{1})).at(0).bytes;
    ASSERT_EQ(newGroup.size(), 6u + 3 * 14);
    EXPECT_EQ(*read16(newGroup, 4), 3);
    EXPECT_EQ(*read32(newGroup, 6 + 14 + 8), 6u);  // the second image's size
    EXPECT_EQ(*read16(newGroup, 6 + 2 * 14 + 12), 5);
}

TEST(BrandVersionRecord, RoundTripsStringsAndNumbers) {
    VersionNode record = emptyVersionRecord();
    setVersionString(record, u"CompanyName", u"Corvid project");
    setVersionString(record, u"ProductName", u"Corvid");
    std::string error;
    auto parsed = parseVersionRecord(buildVersionRecord(record), error);
    ASSERT_TRUE(parsed) << error;

    setVersionString(*parsed, u"ProductName", u"Mÿ Äpp 应用 😀");
    ASSERT_TRUE(setFixedVersion(*parsed, true, {1, 2, 3, 4}));
    ASSERT_TRUE(setFixedVersion(*parsed, false, {65535, 0, 7, 0}));
    const Bytes built = buildVersionRecord(*parsed);
    EXPECT_EQ(*read16(built, 0), built.size());
    const auto back = parseVersionRecord(built, error);
    ASSERT_TRUE(back) << error;
    EXPECT_EQ(versionString(*back, u"ProductName"), WideString(u"Mÿ Äpp 应用 😀"));
    EXPECT_EQ(versionString(*back, u"CompanyName"), WideString(u"Corvid project"));
    EXPECT_EQ(versionString(*back, u"LegalCopyright"), std::nullopt);
    EXPECT_EQ(fixedVersion(*back, true), (VersionNumber{1, 2, 3, 4}));
    EXPECT_EQ(fixedVersion(*back, false), (VersionNumber{65535, 0, 7, 0}));
    EXPECT_EQ(buildVersionRecord(*back), built);

    Bytes damaged = built;
    put16(damaged, 0, static_cast<std::uint32_t>(built.size() + 4));
    EXPECT_FALSE(parseVersionRecord(damaged, error));
}

}  // namespace
}  // namespace corvid::brand
