#include "brand/version_record.h"

namespace corvid::brand {

namespace {

constexpr std::size_t kFixedInfoSize = 52;
constexpr std::uint32_t kFixedSignature = 0xFEEF04BD;
// Nodes nest four deep in any record; more is a loop in a damaged file.
constexpr int kMaxDepth = 8;

std::optional<VersionNode> parseNode(const Bytes& data, std::size_t offset, std::size_t limit, int depth,
                                     std::size_t& end, std::string& error) {
    const auto length = read16(data, offset);
    const auto valueLength = read16(data, offset + 2);
    const auto type = read16(data, offset + 4);
    if (!length || !valueLength || !type || *length < 6 || offset + *length > limit || depth > kMaxDepth) {
        error = "the version record is damaged";
        return std::nullopt;
    }
    end = offset + *length;
    VersionNode node;
    node.text = *type == 1;
    std::size_t pos = offset + 6;
    for (;;) {
        const auto c = read16(data, pos);
        if (!c || pos + 2 > end) {
            error = "the version record is damaged";
            return std::nullopt;
        }
        pos += 2;
        if (*c == 0) break;
        node.key += static_cast<char16_t>(*c);
    }
    pos = static_cast<std::size_t>(alignUp(pos, 4));
    // Text lengths count UTF-16 units; some writers count bytes instead, so
    // take the value no further than the node goes.
    std::size_t valueBytes = node.text ? std::size_t{*valueLength} * 2 : *valueLength;
    if (pos > end) pos = end;
    if (valueBytes > end - pos) valueBytes = node.text ? end - pos : SIZE_MAX;
    if (valueBytes == SIZE_MAX) {
        error = "the version record is damaged";
        return std::nullopt;
    }
    node.value.assign(data.begin() + pos, data.begin() + pos + valueBytes);
    if (node.text) {
        node.value.resize(node.value.size() & ~std::size_t{1});
        // Up to and including the first zero: what follows is padding.
        for (std::size_t i = 0; i + 1 < node.value.size(); i += 2) {
            if (node.value[i] == 0 && node.value[i + 1] == 0) {
                node.value.resize(i + 2);
                break;
            }
        }
    }
    pos = static_cast<std::size_t>(alignUp(pos + valueBytes, 4));
    while (pos + 6 <= end) {
        std::size_t childEnd = 0;
        auto child = parseNode(data, pos, end, depth + 1, childEnd, error);
        if (!child) return std::nullopt;
        node.children.push_back(std::move(*child));
        pos = static_cast<std::size_t>(alignUp(childEnd, 4));
    }
    return node;
}

void buildNode(Bytes& out, const VersionNode& node) {
    padTo(out, 4);
    const std::size_t start = out.size();
    append16(out, 0);
    append16(out, static_cast<std::uint32_t>(node.text ? node.value.size() / 2 : node.value.size()));
    append16(out, node.text ? 1 : 0);
    for (const char16_t c : node.key) append16(out, c);
    append16(out, 0);
    padTo(out, 4);
    out.insert(out.end(), node.value.begin(), node.value.end());
    for (const VersionNode& child : node.children) buildNode(out, child);
    put16(out, start, static_cast<std::uint32_t>(out.size() - start));
}

Bytes textValue(WideView text) {
    Bytes value;
    for (const char16_t c : text) append16(value, c);
    append16(value, 0);
    return value;
}

VersionNode* child(VersionNode& node, WideView key) {
    for (VersionNode& c : node.children) {
        if (c.key == key) return &c;
    }
    return nullptr;
}

}  // namespace

std::optional<VersionNumber> parseVersionText(std::string_view text) {
    VersionNumber version{};
    std::size_t part = 0;
    std::size_t pos = 0;
    for (;;) {
        if (part == version.size() || pos >= text.size()) return std::nullopt;
        std::uint32_t value = 0;
        std::size_t digits = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
            value = value * 10 + static_cast<std::uint32_t>(text[pos++] - '0');
            if (value > 0xFFFF) return std::nullopt;
            ++digits;
        }
        if (digits == 0) return std::nullopt;
        version[part++] = static_cast<std::uint16_t>(value);
        if (pos == text.size()) return version;
        if (text[pos++] != '.') return std::nullopt;
    }
}

WideString versionText(const VersionNumber& version) {
    std::string text;
    for (std::size_t i = 0; i < version.size(); ++i) text += (i ? "." : "") + std::to_string(version[i]);
    return WideString(text.begin(), text.end());
}

std::optional<VersionNode> parseVersionRecord(const Bytes& resource, std::string& error) {
    std::size_t end = 0;
    auto root = parseNode(resource, 0, resource.size(), 0, end, error);
    if (root && root->key != u"VS_VERSION_INFO") {
        error = "the version record is damaged";
        return std::nullopt;
    }
    return root;
}

Bytes buildVersionRecord(const VersionNode& root) {
    Bytes out;
    buildNode(out, root);
    return out;
}

VersionNode emptyVersionRecord() {
    VersionNode root{u"VS_VERSION_INFO", false, Bytes(kFixedInfoSize, 0), {}};
    put32(root.value, 0, kFixedSignature);
    put32(root.value, 4, 0x00010000);   // structure version 1.0
    put32(root.value, 24, 0x3F);        // flags mask
    put32(root.value, 32, 0x00040004);  // Windows NT, 32-bit interface
    put32(root.value, 36, 1);           // an application
    VersionNode table{u"040904B0", true, {}, {}};
    root.children.push_back(VersionNode{u"StringFileInfo", true, {}, {table}});
    Bytes translation;
    append16(translation, 0x0409);
    append16(translation, 1200);
    root.children.push_back(VersionNode{u"VarFileInfo", true, {}, {VersionNode{u"Translation", false, translation, {}}}});
    return root;
}

void setVersionString(VersionNode& root, WideView key, WideView value) {
    VersionNode* strings = child(root, u"StringFileInfo");
    if (!strings) {
        root.children.insert(root.children.begin(), VersionNode{u"StringFileInfo", true, {}, {}});
        strings = &root.children.front();
    }
    if (strings->children.empty()) strings->children.push_back(VersionNode{u"040904B0", true, {}, {}});
    for (VersionNode& table : strings->children) {
        VersionNode* entry = child(table, key);
        if (!entry) {
            table.children.push_back(VersionNode{WideString(key), true, {}, {}});
            entry = &table.children.back();
        }
        entry->text = true;
        entry->value = textValue(value);
    }
}

std::optional<WideString> versionString(const VersionNode& root, WideView key) {
    for (const VersionNode& strings : root.children) {
        if (strings.key != u"StringFileInfo") continue;
        for (const VersionNode& table : strings.children) {
            for (const VersionNode& entry : table.children) {
                if (entry.key != key) continue;
                WideString text;
                for (std::size_t i = 0; i + 1 < entry.value.size(); i += 2) {
                    const char16_t c = static_cast<char16_t>(*read16(entry.value, i));
                    if (c == 0) break;
                    text += c;
                }
                return text;
            }
        }
    }
    return std::nullopt;
}

bool setFixedVersion(VersionNode& root, bool product, const VersionNumber& version) {
    if (root.value.size() < kFixedInfoSize || *read32(root.value, 0) != kFixedSignature) return false;
    const std::size_t offset = product ? 16 : 8;
    put32(root.value, offset, static_cast<std::uint32_t>(version[0]) << 16 | version[1]);
    put32(root.value, offset + 4, static_cast<std::uint32_t>(version[2]) << 16 | version[3]);
    return true;
}

std::optional<VersionNumber> fixedVersion(const VersionNode& root, bool product) {
    if (root.value.size() < kFixedInfoSize || *read32(root.value, 0) != kFixedSignature) return std::nullopt;
    const std::size_t offset = product ? 16 : 8;
    const std::uint32_t ms = *read32(root.value, offset);
    const std::uint32_t ls = *read32(root.value, offset + 4);
    return VersionNumber{static_cast<std::uint16_t>(ms >> 16), static_cast<std::uint16_t>(ms),
                         static_cast<std::uint16_t>(ls >> 16), static_cast<std::uint16_t>(ls)};
}

}  // namespace corvid::brand
