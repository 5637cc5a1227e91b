#include "pack/guid.h"

#include <cstring>
#include <vector>

namespace corvid::pack {

namespace {

// The space of corvid-pack's upgrade codes; never change it, or every
// application's next package stops replacing its last one.
constexpr Guid kUpgradeCodeSpace = {0x6b, 0x2f, 0x3c, 0x1e, 0x8d, 0x54, 0x4a, 0x0b,
                                    0x9e, 0x71, 0x55, 0x0c, 0xa3, 0xd6, 0x27, 0x94};

std::uint32_t rotate(std::uint32_t value, unsigned bits) { return (value << bits) | (value >> (32 - bits)); }

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::array<std::uint8_t, 20> sha1(std::string_view bytes) {
    std::uint32_t h[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
    std::vector<std::uint8_t> message(bytes.begin(), bytes.end());
    const std::uint64_t bits = static_cast<std::uint64_t>(bytes.size()) * 8;
    message.push_back(0x80);
    while (message.size() % 64 != 56) message.push_back(0);
    for (int i = 7; i >= 0; --i) message.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
    for (std::size_t chunk = 0; chunk < message.size(); chunk += 64) {
        std::uint32_t w[80];
        for (int i = 0; i < 16; ++i) {
            const std::uint8_t* p = &message[chunk + 4 * static_cast<std::size_t>(i)];
            w[i] = (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
        }
        for (int i = 16; i < 80; ++i) w[i] = rotate(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
        std::uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
        for (int i = 0; i < 80; ++i) {
            std::uint32_t f = 0;
            std::uint32_t k = 0;
            if (i < 20) {
                f = (b & c) | (~b & d);
                k = 0x5A827999;
            } else if (i < 40) {
                f = b ^ c ^ d;
                k = 0x6ED9EBA1;
            } else if (i < 60) {
                f = (b & c) | (b & d) | (c & d);
                k = 0x8F1BBCDC;
            } else {
                f = b ^ c ^ d;
                k = 0xCA62C1D6;
            }
            const std::uint32_t next = rotate(a, 5) + f + e + k + w[i];
            e = d;
            d = c;
            c = rotate(b, 30);
            b = a;
            a = next;
        }
        h[0] += a;
        h[1] += b;
        h[2] += c;
        h[3] += d;
        h[4] += e;
    }
    std::array<std::uint8_t, 20> digest{};
    for (int i = 0; i < 20; ++i) digest[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(h[i / 4] >> (24 - 8 * (i % 4)));
    return digest;
}

std::optional<Guid> parseGuid(std::string_view text) {
    if (text.size() == 38 && text.front() == '{' && text.back() == '}') text = text.substr(1, 36);
    if (text.size() != 36) return std::nullopt;
    Guid guid{};
    std::size_t byte = 0;
    for (std::size_t i = 0; i < text.size();) {
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (text[i] != '-') return std::nullopt;
            ++i;
            continue;
        }
        const int high = hexValue(text[i]);
        const int low = hexValue(text[i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        guid[byte++] = static_cast<std::uint8_t>(high * 16 + low);
        i += 2;
    }
    return guid;
}

std::string formatGuid(const Guid& guid) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text = "{";
    for (std::size_t i = 0; i < guid.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) text += '-';
        text += kDigits[guid[i] >> 4];
        text += kDigits[guid[i] & 15];
    }
    return text + "}";
}

Guid nameGuid(const Guid& space, std::string_view name) {
    std::string input(reinterpret_cast<const char*>(space.data()), space.size());
    input.append(name.data(), name.size());
    const auto digest = sha1(input);
    Guid guid{};
    std::memcpy(guid.data(), digest.data(), guid.size());
    guid[6] = static_cast<std::uint8_t>((guid[6] & 0x0F) | 0x50);  // version 5
    guid[8] = static_cast<std::uint8_t>((guid[8] & 0x3F) | 0x80);  // the RFC's variant
    return guid;
}

Guid derivedUpgradeCode(std::string_view vendor, std::string_view name) {
    std::string key(vendor);
    key += '\n';
    key.append(name.data(), name.size());
    return nameGuid(kUpgradeCodeSpace, key);
}

}  // namespace corvid::pack
