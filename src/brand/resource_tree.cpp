#include "brand/resource_tree.h"

#include <set>
#include <vector>

namespace corvid::brand {

bool ResourceKey::operator<(const ResourceKey& other) const {
    if (isId() != other.isId()) return !isId();
    return value < other.value;
}

namespace {

constexpr std::uint32_t kSubdirectory = 0x80000000u;
constexpr std::size_t kDirectoryHeader = 16;
constexpr std::size_t kEntrySize = 8;
constexpr std::size_t kDataEntrySize = 16;

// Each directory is read once, and the directories, names, data entries and
// data read may add up to no more than the section: entries that point at
// one subdirectory or one piece of data again and again would otherwise
// multiply a few kilobytes into gigabytes of copies.
struct Reader {
    const Bytes& section;
    std::uint32_t sectionRva;
    std::string& error;
    std::size_t unclaimed = section.size();
    std::set<std::size_t> directoriesRead{};

    bool fail(const std::string& what) {
        error = what;
        return false;
    }

    bool claim(std::size_t bytes) {
        if (bytes > unclaimed) return fail("the resource entries add up to more than the resource section holds");
        unclaimed -= bytes;
        return true;
    }

    // A missing key is an error, in `error`.
    std::optional<ResourceKey> key(std::uint32_t field) {
        if ((field & kSubdirectory) == 0) {
            if (field <= 0xFFFF) return ResourceKey(static_cast<std::uint16_t>(field));
            fail("a resource name lies outside the resource section");
            return std::nullopt;
        }
        const std::size_t offset = field & ~kSubdirectory;
        const auto length = read16(section, offset);
        if (!length || offset + 2 + std::size_t{*length} * 2 > section.size()) {
            fail("a resource name lies outside the resource section");
            return std::nullopt;
        }
        if (!claim(2 + std::size_t{*length} * 2)) return std::nullopt;
        WideString name;
        for (std::size_t i = 0; i < *length; ++i) name += static_cast<char16_t>(*read16(section, offset + 2 + i * 2));
        return ResourceKey(std::move(name));
    }

    // Calls visit(key, field) for each entry of the directory at `offset`.
    template <typename Visit>
    bool directory(std::size_t offset, Visit visit) {
        const auto named = read16(section, offset + 12);
        const auto ids = read16(section, offset + 14);
        if (!named || !ids) return fail("a resource directory lies outside the resource section");
        const std::size_t count = std::size_t{*named} + *ids;
        if (offset + kDirectoryHeader + count * kEntrySize > section.size()) {
            return fail("a resource directory lies outside the resource section");
        }
        if (!directoriesRead.insert(offset).second) return fail("a resource directory is reached twice");
        if (!claim(kDirectoryHeader + count * kEntrySize)) return false;
        for (std::size_t i = 0; i < count; ++i) {
            const std::size_t entry = offset + kDirectoryHeader + i * kEntrySize;
            const auto name = key(*read32(section, entry));
            if (!name) return false;
            if (!visit(*name, *read32(section, entry + 4))) return false;
        }
        return true;
    }

    bool leaf(std::uint32_t field, ResourceData& data) {
        if (field & kSubdirectory) return fail("a resource has more than three levels");
        const auto rva = read32(section, field);
        const auto size = read32(section, field + 4);
        const auto codePage = read32(section, field + 8);
        if (!rva || !size || !codePage) return fail("a resource entry lies outside the resource section");
        if (*rva < sectionRva || *rva - sectionRva > section.size() || *size > section.size() - (*rva - sectionRva)) {
            return fail("a resource's data lies outside the resource section");
        }
        if (!claim(kDataEntrySize + *size)) return false;
        const auto begin = section.begin() + (*rva - sectionRva);
        data.bytes.assign(begin, begin + *size);
        data.codePage = *codePage;
        return true;
    }
};

}  // namespace

std::optional<ResourceTree> parseResourceTree(const Bytes& section, std::uint32_t sectionRva, std::string& error) {
    Reader reader{section, sectionRva, error};
    ResourceTree tree;
    const bool ok = reader.directory(0, [&](const ResourceKey& type, std::uint32_t typeField) {
        if (!(typeField & kSubdirectory)) return reader.fail("a resource type has no directory");
        NameMap& names = tree[type];
        return reader.directory(typeField & ~kSubdirectory, [&](const ResourceKey& name, std::uint32_t nameField) {
            if (!(nameField & kSubdirectory)) return reader.fail("a resource name has no directory");
            LanguageMap& languages = names[name];
            return reader.directory(nameField & ~kSubdirectory, [&](const ResourceKey& language, std::uint32_t field) {
                if (!language.isId()) return reader.fail("a resource language is not a number");
                return reader.leaf(field, languages[std::get<std::uint16_t>(language.value)]);
            });
        });
    });
    if (!ok) return std::nullopt;
    return tree;
}

Bytes buildResourceSection(const ResourceTree& tree, std::uint32_t sectionRva) {
    // Sizes first, so every offset is known before anything is written.
    std::size_t directories = kDirectoryHeader + tree.size() * kEntrySize;
    std::size_t leaves = 0;
    std::vector<const WideString*> names;
    const auto noteName = [&](const ResourceKey& key) {
        if (!key.isId()) names.push_back(&std::get<WideString>(key.value));
    };
    for (const auto& [type, nameMap] : tree) {
        noteName(type);
        directories += kDirectoryHeader + nameMap.size() * kEntrySize;
        for (const auto& [name, languages] : nameMap) {
            noteName(name);
            directories += kDirectoryHeader + languages.size() * kEntrySize;
            leaves += languages.size();
        }
    }
    const std::size_t entriesStart = directories;
    std::size_t stringsSize = 0;
    for (const WideString* name : names) stringsSize += 2 + name->size() * 2;
    const std::size_t stringsStart = entriesStart + leaves * kDataEntrySize;
    const std::size_t dataStart = static_cast<std::size_t>(alignUp(stringsStart + stringsSize, 8));

    Bytes out(dataStart, 0);
    std::size_t nextDirectory = 0;
    std::size_t nextEntry = entriesStart;
    std::size_t nextString = stringsStart;
    const auto keyField = [&](const ResourceKey& key) -> std::uint32_t {
        if (key.isId()) return std::get<std::uint16_t>(key.value);
        const WideString& name = std::get<WideString>(key.value);
        const std::size_t offset = nextString;
        put16(out, offset, static_cast<std::uint32_t>(name.size()));
        for (std::size_t i = 0; i < name.size(); ++i) put16(out, offset + 2 + i * 2, name[i]);
        nextString += 2 + name.size() * 2;
        return static_cast<std::uint32_t>(offset) | kSubdirectory;
    };
    // Reserves a directory with the entries' counts and returns its offset.
    const auto openDirectory = [&](std::size_t named, std::size_t ids) {
        const std::size_t offset = nextDirectory;
        put16(out, offset + 12, static_cast<std::uint32_t>(named));
        put16(out, offset + 14, static_cast<std::uint32_t>(ids));
        nextDirectory += kDirectoryHeader + (named + ids) * kEntrySize;
        return offset;
    };
    const auto countNamed = [](const auto& map) {
        std::size_t named = 0;
        for (const auto& entry : map) named += entry.first.isId() ? 0 : 1;
        return named;
    };
    const auto appendData = [&](const ResourceData& data) {
        padTo(out, 8);
        const std::size_t entry = nextEntry;
        nextEntry += kDataEntrySize;
        put32(out, entry, static_cast<std::uint32_t>(sectionRva + out.size()));
        put32(out, entry + 4, static_cast<std::uint32_t>(data.bytes.size()));
        put32(out, entry + 8, data.codePage);
        out.insert(out.end(), data.bytes.begin(), data.bytes.end());
        return static_cast<std::uint32_t>(entry);
    };

    // Breadth first: the type directory, then each type's name directory
    // followed by its languages' directories.
    const std::size_t root = openDirectory(countNamed(tree), tree.size() - countNamed(tree));
    std::size_t typeIndex = 0;
    for (const auto& [type, nameMap] : tree) {
        const std::size_t typeEntry = root + kDirectoryHeader + typeIndex++ * kEntrySize;
        const std::size_t nameDirectory = openDirectory(countNamed(nameMap), nameMap.size() - countNamed(nameMap));
        put32(out, typeEntry, keyField(type));
        put32(out, typeEntry + 4, static_cast<std::uint32_t>(nameDirectory) | kSubdirectory);
        std::size_t nameIndex = 0;
        for (const auto& [name, languages] : nameMap) {
            const std::size_t nameEntry = nameDirectory + kDirectoryHeader + nameIndex++ * kEntrySize;
            const std::size_t languageDirectory = openDirectory(0, languages.size());
            put32(out, nameEntry, keyField(name));
            put32(out, nameEntry + 4, static_cast<std::uint32_t>(languageDirectory) | kSubdirectory);
            std::size_t languageIndex = 0;
            for (const auto& [language, data] : languages) {
                const std::size_t entry = languageDirectory + kDirectoryHeader + languageIndex++ * kEntrySize;
                put32(out, entry, language);
                put32(out, entry + 4, appendData(data));
            }
        }
    }
    return out;
}

}  // namespace corvid::brand
