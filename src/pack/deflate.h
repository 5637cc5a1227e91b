// A DEFLATE compressor (RFC 1951) and the CRC-32 that zip and gzip keep
// beside it, so corvid-pack writes its archives on any machine without a
// compression library or an outside program.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace corvid::pack {

// The CRC-32 of zip and gzip, continued from `crc` (0 to start).
std::uint32_t crc32(std::uint32_t crc, const std::uint8_t* data, std::size_t size);

// Compresses a stream given in pieces: write() any number of times, then
// finish() once. The compressed bytes go to `sink` as they are made.
class Deflater {
public:
    using Sink = std::function<void(const std::uint8_t* data, std::size_t size)>;
    explicit Deflater(Sink sink);
    void write(const std::uint8_t* data, std::size_t size);
    void finish();

private:
    struct Symbol {
        std::uint16_t length;    // 0: a literal byte in `distance`
        std::uint16_t distance;  // or the literal
    };
    void compress(bool flush);
    // Puts the position on its hash chain; returns the chain's previous head.
    std::int32_t insertHash(std::size_t position);
    std::size_t longestMatch(std::int32_t candidate, std::size_t& distance) const;
    void addLiteral(std::uint8_t byte);
    void addMatch(std::size_t length, std::size_t distance);
    void emitBlock(bool last);
    void slide();
    void putBits(std::uint32_t bits, unsigned count);
    void flushBits();

    Sink sink_;
    std::vector<std::uint8_t> window_;  // two window sizes; slid down as it fills
    std::size_t end_ = 0;               // bytes in window_
    std::size_t position_ = 0;          // next byte to compress
    std::size_t blockStart_ = 0;        // the current block's first byte in window_
    std::vector<std::int32_t> head_;    // per hash: latest position, -1 none
    std::vector<std::int32_t> previous_;
    std::vector<Symbol> symbols_;
    // Lazy matching: the byte before position_ is not yet coded, and the
    // match found there waits for a longer one at position_.
    bool matchAvailable_ = false;
    std::size_t matchLength_ = 2;
    std::size_t matchDistance_ = 0;
    std::vector<std::uint8_t> out_;
    std::uint64_t bitBuffer_ = 0;
    unsigned bitCount_ = 0;
    bool finished_ = false;
};

// The whole of `data` compressed, for small inputs and the tests.
std::vector<std::uint8_t> deflate(std::string_view data);

}  // namespace corvid::pack
