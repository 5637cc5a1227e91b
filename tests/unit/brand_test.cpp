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

// A resource section written by hand, as a crafted file would have it:
// each part is appended where the section ends and its offset returned.
struct SectionWriter {
    static constexpr std::uint32_t kRva = 0x1000;
    static constexpr std::uint32_t kSubdirectory = 0x80000000u;
    Bytes bytes;

    std::uint32_t directory(const std::vector<std::pair<std::uint32_t, std::uint32_t>>& entries) {
        const auto offset = static_cast<std::uint32_t>(bytes.size());
        bytes.resize(bytes.size() + 16 + entries.size() * 8);
        put16(bytes, offset + 14, static_cast<std::uint32_t>(entries.size()));
        for (std::size_t i = 0; i < entries.size(); ++i) {
            put32(bytes, offset + 16 + i * 8, entries[i].first);
            put32(bytes, offset + 20 + i * 8, entries[i].second);
        }
        return offset;
    }
    // Fills in entry `index` of the directory at `offset` later, for links
    // to directories written after it.
    void link(std::uint32_t offset, std::size_t index, std::uint32_t target) {
        put32(bytes, offset + 20 + index * 8, target);
    }
    std::uint32_t name(const std::u16string& text) {
        const auto offset = static_cast<std::uint32_t>(bytes.size());
        append16(bytes, static_cast<std::uint32_t>(text.size()));
        for (const char16_t unit : text) append16(bytes, unit);
        padTo(bytes, 8);
        return offset;
    }
    // A data entry for `size` bytes from the section's start (0: to its end,
    // as far as it reaches once everything is written).
    std::uint32_t dataEntry(std::uint32_t size) {
        const auto offset = static_cast<std::uint32_t>(bytes.size());
        append32(bytes, kRva);
        append32(bytes, size);
        append32(bytes, 0);
        append32(bytes, 0);
        return offset;
    }
};

// Entries may point at one directory, one name or one piece of data again
// and again; read naively, a few kilobytes became gigabytes of copies.
TEST(BrandResourceTree, RefusesDirectoriesReachedTwiceAndEntriesBeyondTheSection) {
    using W = SectionWriter;
    constexpr auto sub = W::kSubdirectory;
    const char* const twice = "a resource directory is reached twice";
    const char* const beyond = "the resource entries add up to more than the resource section holds";
    struct Case {
        const char* name;
        Bytes (*make)();
        const char* error;  // nullptr: read
    };
    const Case cases[] = {
        {"two types, one name directory",
         [] {
             W w;
             const auto root = w.directory({{3, 0}, {14, 0}});
             const auto names = w.directory({{1, 0}});
             const auto languages = w.directory({{0, 0}});
             w.link(root, 0, names | sub);
             w.link(root, 1, names | sub);
             w.link(names, 0, languages | sub);
             w.link(languages, 0, w.dataEntry(4));
             w.bytes.resize(w.bytes.size() + 64);
             return w.bytes;
         },
         twice},
        {"two names, one language directory",
         [] {
             W w;
             const auto root = w.directory({{3, 0}});
             const auto names = w.directory({{1, 0}, {2, 0}});
             const auto languages = w.directory({{0, 0}});
             w.link(root, 0, names | sub);
             w.link(names, 0, languages | sub);
             w.link(names, 1, languages | sub);
             w.link(languages, 0, w.dataEntry(4));
             w.bytes.resize(w.bytes.size() + 64);
             return w.bytes;
         },
         twice},
        {"the type directory as its own name directory",
         [] {
             W w;
             const auto root = w.directory({{3, 0}});
             w.link(root, 0, root | sub);
             return w.bytes;
         },
         twice},
        {"every language the whole section",
         [] {
             W w;
             const auto root = w.directory({{3, 0}});
             const auto names = w.directory({{1, 0}});
             std::vector<std::pair<std::uint32_t, std::uint32_t>> entries;
             for (std::uint32_t language = 0; language < 40; ++language) entries.push_back({language, 0});
             const auto languages = w.directory(entries);
             w.link(root, 0, names | sub);
             w.link(names, 0, languages | sub);
             const auto data = w.dataEntry(0);
             for (std::size_t i = 0; i < entries.size(); ++i) w.link(languages, i, data);
             w.bytes.resize(w.bytes.size() + 1024);
             put32(w.bytes, data + 4, static_cast<std::uint32_t>(w.bytes.size()));
             return w.bytes;
         },
         beyond},
        {"one data entry under two names",
         [] {
             W w;
             const auto root = w.directory({{3, 0}});
             const auto names = w.directory({{1, 0}, {2, 0}});
             const auto first = w.directory({{0, 0}});
             const auto second = w.directory({{0, 0}});
             w.link(root, 0, names | sub);
             w.link(names, 0, first | sub);
             w.link(names, 1, second | sub);
             const auto data = w.dataEntry(0);
             w.link(first, 0, data);
             w.link(second, 0, data);
             w.bytes.resize(w.bytes.size() + 600);
             put32(w.bytes, data + 4, 600);
             return w.bytes;
         },
         beyond},
        {"one long name under many types",
         [] {
             W w;
             std::vector<std::pair<std::uint32_t, std::uint32_t>> types;
             for (std::uint32_t type = 1; type <= 8; ++type) types.push_back({type, 0});
             const auto root = w.directory(types);
             const auto name = w.name(std::u16string(400, u'N'));
             for (std::size_t i = 0; i < types.size(); ++i) {
                 const auto languages = w.directory({});
                 w.link(root, i, w.directory({{name | sub, languages | sub}}) | sub);
             }
             return w.bytes;
         },
         beyond},
        {"the same tree with the parts each once",
         [] {
             W w;
             const auto root = w.directory({{3, 0}, {14, 0}});
             const auto iconNames = w.directory({{1, 0}});
             const auto groupNames = w.directory({{0, 0}});
             const auto iconLanguages = w.directory({{0, 0}});
             const auto groupLanguages = w.directory({{0, 0}});
             w.link(root, 0, iconNames | sub);
             w.link(root, 1, groupNames | sub);
             const auto name = w.name(u"APP");
             put32(w.bytes, groupNames + 16, name | sub);
             w.link(iconNames, 0, iconLanguages | sub);
             w.link(groupNames, 0, groupLanguages | sub);
             w.link(iconLanguages, 0, w.dataEntry(16));
             w.link(groupLanguages, 0, w.dataEntry(16));
             w.bytes.resize(w.bytes.size() + 32);
             return w.bytes;
         },
         nullptr},
    };
    for (const Case& c : cases) {
        std::string error;
        const auto tree = parseResourceTree(c.make(), W::kRva, error);
        if (c.error) {
            EXPECT_FALSE(tree) << c.name;
            EXPECT_EQ(error, c.error) << c.name;
        } else {
            ASSERT_TRUE(tree) << c.name << ": " << error;
            EXPECT_EQ(tree->at(ResourceKey(std::uint16_t{14})).begin()->first, ResourceKey(u"APP")) << c.name;
        }
    }
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
    // Both entries name the first image; a file of them read naively
    // becomes its size times its entries.
    Bytes shared = iconFile({Bytes(40, 1), Bytes(1, 2)});
    put32(shared, 6 + 16 + 8, 40);
    put32(shared, 6 + 16 + 12, *read32(shared, 6 + 12));
    Bytes overlapping = iconFile({Bytes(40, 1), Bytes(40, 2)});
    put32(overlapping, 6 + 16 + 8, 60);
    put32(overlapping, 6 + 16 + 12, *read32(overlapping, 6 + 12));
    const std::pair<Bytes, const char*> cases[] = {
        {Bytes{}, "not an icon file (.ico)"},
        {cursor, "not an icon file (.ico)"},
        {iconFile({}), "the icon file holds no image"},
        {Bytes(whole.begin(), whole.begin() + 12), "the icon file ends inside its directory"},
        {outside, "image 1 of the icon file lies outside the file"},
        {shared, "the icon file's images add up to more than the file holds"},
        {overlapping, "the icon file's images add up to more than the file holds"},
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
