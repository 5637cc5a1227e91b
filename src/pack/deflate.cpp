#include "pack/deflate.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <queue>

namespace corvid::pack {

namespace {

constexpr std::size_t kWindow = 32768;
constexpr std::size_t kWindowMask = kWindow - 1;
constexpr std::size_t kMinMatch = 3;
constexpr std::size_t kMaxMatch = 258;
constexpr std::size_t kMinLookahead = kMaxMatch + kMinMatch + 1;
// Matches are sought no further back than this, so that a position on a
// hash chain is never one that sliding has replaced.
constexpr std::size_t kMaxDistance = kWindow - kMinLookahead;
constexpr unsigned kHashBits = 15;
constexpr std::size_t kHashSize = std::size_t{1} << kHashBits;
// Effort as zlib's level 5: chains of 32, lazy matching below 16, good
// enough at 32 (within 1% of its default level's size, at less time); a
// three-byte match further than 4 KB costs more than its literals.
constexpr unsigned kMaxChain = 32;
constexpr std::size_t kMaxLazy = 16;
constexpr std::size_t kNiceLength = 32;
constexpr std::size_t kTooFar = 4096;
constexpr std::size_t kBlockSymbols = 16383;
constexpr std::size_t kFlushOutput = 1 << 16;

constexpr std::uint16_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                           31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                           2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::uint16_t kDistanceBase[30] = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,
                                             33,  49,  65,  97,  129, 193,  257,  385,  513,  769,
                                             1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::uint8_t kDistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                             6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
// The order in which the code-length code's lengths are sent.
constexpr std::uint8_t kCodeLengthOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

struct CodeTables {
    std::array<std::uint8_t, kMaxMatch + 1> lengthCode{};  // by match length
    std::array<std::uint8_t, 512> distanceCode{};          // by distance-1, then (distance-1)>>7
    std::array<std::uint32_t, 256> crc{};
    CodeTables() {
        for (int code = 0; code < 29; ++code) {
            const int count = 1 << kLengthExtra[code];
            for (int i = 0; i < count && kLengthBase[code] + i <= static_cast<int>(kMaxMatch); ++i) {
                lengthCode[kLengthBase[code] + i] = static_cast<std::uint8_t>(code);
            }
        }
        // Code 28 comes last, so 258 has its own code, not 27's last value.
        for (int code = 0; code < 30; ++code) {
            const int count = 1 << kDistanceExtra[code];
            for (int i = 0; i < count; ++i) {
                const int distance = kDistanceBase[code] + i - 1;
                if (distance < 256) distanceCode[distance] = static_cast<std::uint8_t>(code);
                else distanceCode[256 + (distance >> 7)] = static_cast<std::uint8_t>(code);
            }
        }
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            crc[n] = c;
        }
    }
};

const CodeTables& tables() {
    static const CodeTables instance;
    return instance;
}

unsigned distanceCodeOf(std::size_t distance) {
    const std::size_t d = distance - 1;
    return d < 256 ? tables().distanceCode[d] : tables().distanceCode[256 + (d >> 7)];
}

// Code lengths of a Huffman code for the frequencies, none longer than
// `limit`. Too long a code is made to fit by flattening the frequencies and
// building again, which costs little on real data. At least two symbols get
// a length, so every code is complete.
std::vector<std::uint8_t> codeLengths(std::vector<std::uint32_t> frequencies, unsigned limit) {
    std::size_t used = 0;
    for (const std::uint32_t f : frequencies) used += f != 0;
    for (std::size_t i = 0; used < 2 && i < frequencies.size(); ++i) {
        if (frequencies[i] == 0) {
            frequencies[i] = 1;
            ++used;
        }
    }
    const std::size_t symbols = frequencies.size();
    for (;;) {
        struct Node {
            std::uint64_t weight;
            int parent;
        };
        std::vector<Node> nodes;
        using Entry = std::pair<std::uint64_t, int>;
        std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> queue;
        std::vector<int> leafOf(symbols, -1);
        for (std::size_t s = 0; s < symbols; ++s) {
            if (frequencies[s] == 0) continue;
            leafOf[s] = static_cast<int>(nodes.size());
            queue.push({frequencies[s], static_cast<int>(nodes.size())});
            nodes.push_back({frequencies[s], -1});
        }
        while (queue.size() > 1) {
            const Entry a = queue.top();
            queue.pop();
            const Entry b = queue.top();
            queue.pop();
            const int parent = static_cast<int>(nodes.size());
            nodes.push_back({a.first + b.first, -1});
            nodes[static_cast<std::size_t>(a.second)].parent = parent;
            nodes[static_cast<std::size_t>(b.second)].parent = parent;
            queue.push({a.first + b.first, parent});
        }
        std::vector<std::uint8_t> lengths(symbols, 0);
        unsigned longest = 0;
        for (std::size_t s = 0; s < symbols; ++s) {
            if (leafOf[s] < 0) continue;
            unsigned depth = 0;
            for (int n = leafOf[s]; nodes[static_cast<std::size_t>(n)].parent >= 0; n = nodes[static_cast<std::size_t>(n)].parent) {
                ++depth;
            }
            lengths[s] = static_cast<std::uint8_t>(std::min(depth, 255u));
            longest = std::max(longest, depth);
        }
        if (longest <= limit) return lengths;
        for (std::uint32_t& f : frequencies) {
            if (f != 0) f = (f >> 1) | 1;
        }
    }
}

// Canonical codes for the lengths, bit-reversed as DEFLATE sends them.
std::vector<std::uint16_t> canonicalCodes(const std::vector<std::uint8_t>& lengths) {
    std::array<std::uint16_t, 17> count{};
    for (const std::uint8_t length : lengths) ++count[length];
    count[0] = 0;
    std::array<std::uint16_t, 17> next{};
    std::uint16_t code = 0;
    for (unsigned bits = 1; bits <= 16; ++bits) {
        code = static_cast<std::uint16_t>((code + count[bits - 1]) << 1);
        next[bits] = code;
    }
    std::vector<std::uint16_t> codes(lengths.size(), 0);
    for (std::size_t s = 0; s < lengths.size(); ++s) {
        const unsigned length = lengths[s];
        if (length == 0) continue;
        std::uint16_t value = next[length]++;
        std::uint16_t reversed = 0;
        for (unsigned i = 0; i < length; ++i, value >>= 1) reversed = static_cast<std::uint16_t>((reversed << 1) | (value & 1));
        codes[s] = reversed;
    }
    return codes;
}

// The code lengths of the literal/length and distance codes, run-length
// coded with the code-length alphabet (16: repeat the last 3-6 times, 17:
// 3-10 zeros, 18: 11-138 zeros). Each entry is a symbol and its extra value.
std::vector<std::pair<std::uint8_t, std::uint8_t>> runLengths(const std::vector<std::uint8_t>& lengths) {
    std::vector<std::pair<std::uint8_t, std::uint8_t>> out;
    std::size_t i = 0;
    while (i < lengths.size()) {
        const std::uint8_t length = lengths[i];
        std::size_t run = 1;
        while (i + run < lengths.size() && lengths[i + run] == length) ++run;
        i += run;
        if (length == 0) {
            while (run >= 11) {
                const std::size_t n = std::min<std::size_t>(run, 138);
                out.push_back({18, static_cast<std::uint8_t>(n - 11)});
                run -= n;
            }
            if (run >= 3) {
                out.push_back({17, static_cast<std::uint8_t>(run - 3)});
                run = 0;
            }
            for (; run > 0; --run) out.push_back({0, 0});
            continue;
        }
        out.push_back({length, 0});
        --run;
        while (run >= 3) {
            const std::size_t n = std::min<std::size_t>(run, 6);
            out.push_back({16, static_cast<std::uint8_t>(n - 3)});
            run -= n;
        }
        for (; run > 0; --run) out.push_back({length, 0});
    }
    return out;
}

unsigned codeLengthExtraBits(std::uint8_t symbol) { return symbol == 16 ? 2 : symbol == 17 ? 3 : symbol == 18 ? 7 : 0; }

std::vector<std::uint8_t> fixedLiteralLengths() {
    std::vector<std::uint8_t> lengths(288);
    for (std::size_t s = 0; s < 288; ++s) lengths[s] = s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8;
    return lengths;
}

}  // namespace

std::uint32_t crc32(std::uint32_t crc, const std::uint8_t* data, std::size_t size) {
    const auto& table = tables().crc;
    crc = ~crc;
    for (std::size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

Deflater::Deflater(Sink sink)
    : sink_(std::move(sink)), window_(2 * kWindow), head_(kHashSize, -1), previous_(kWindow, -1) {
    symbols_.reserve(kBlockSymbols + 1);
}

void Deflater::write(const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        if (end_ == window_.size()) slide();
        const std::size_t n = std::min(size, window_.size() - end_);
        std::memcpy(window_.data() + end_, data, n);
        end_ += n;
        data += n;
        size -= n;
        compress(false);
    }
}

void Deflater::finish() {
    if (finished_) return;
    finished_ = true;
    compress(true);
    if (matchAvailable_) addLiteral(window_[position_ - 1]);
    matchAvailable_ = false;
    emitBlock(true);
    flushBits();
    if (!out_.empty()) sink_(out_.data(), out_.size());
    out_.clear();
}

void Deflater::slide() {
    // The block's bytes must stay for a stored block: end the block first.
    emitBlock(false);
    std::memmove(window_.data(), window_.data() + kWindow, end_ - kWindow);
    end_ -= kWindow;
    position_ -= kWindow;
    blockStart_ -= kWindow;
    const auto shift = [](std::int32_t& p) { p = p >= static_cast<std::int32_t>(kWindow) ? p - static_cast<std::int32_t>(kWindow) : -1; };
    for (std::int32_t& p : head_) shift(p);
    for (std::int32_t& p : previous_) shift(p);
}

std::int32_t Deflater::insertHash(std::size_t position) {
    const std::uint32_t hash = ((static_cast<std::uint32_t>(window_[position]) << 10) ^
                                (static_cast<std::uint32_t>(window_[position + 1]) << 5) ^ window_[position + 2]) &
                               (kHashSize - 1);
    const std::int32_t older = head_[hash];
    previous_[position & kWindowMask] = older;
    head_[hash] = static_cast<std::int32_t>(position);
    return older;
}

std::size_t Deflater::longestMatch(std::int32_t candidate, std::size_t& distance) const {
    const std::size_t available = std::min(kMaxMatch, end_ - position_);
    const std::size_t nice = std::min(kNiceLength, available);
    std::size_t best = kMinMatch - 1;
    unsigned chain = kMaxChain;
    const std::size_t limit = position_ > kMaxDistance ? position_ - kMaxDistance : 0;
    const std::uint8_t* here = window_.data() + position_;
    while (candidate >= 0 && static_cast<std::size_t>(candidate) >= limit && chain-- > 0) {
        const std::uint8_t* there = window_.data() + candidate;
        if (best < available && there[best] == here[best] && there[0] == here[0] && there[1] == here[1]) {
            std::size_t length = 2;
            while (length < available && there[length] == here[length]) ++length;
            if (length > best) {
                best = length;
                distance = position_ - static_cast<std::size_t>(candidate);
                if (length >= nice) break;
            }
        }
        const std::int32_t next = previous_[static_cast<std::size_t>(candidate) & kWindowMask];
        if (next >= candidate) break;
        candidate = next;
    }
    return best;
}

void Deflater::compress(bool flush) {
    while (position_ < end_ && (flush || end_ - position_ >= kMinLookahead)) {
        const bool hashable = end_ - position_ >= kMinMatch;
        const std::int32_t candidate = hashable ? insertHash(position_) : -1;
        const std::size_t previousLength = matchLength_;
        const std::size_t previousDistance = matchDistance_;
        matchLength_ = kMinMatch - 1;
        if (candidate >= 0 && previousLength < kMaxLazy) {
            std::size_t distance = 0;
            const std::size_t length = longestMatch(candidate, distance);
            if (length >= kMinMatch && !(length == kMinMatch && distance > kTooFar)) {
                matchLength_ = length;
                matchDistance_ = distance;
            }
        }
        if (previousLength >= kMinMatch && matchLength_ <= previousLength) {
            // The match found one byte back is as long: take it.
            addMatch(previousLength, previousDistance);
            const std::size_t end = position_ - 1 + previousLength;
            for (std::size_t p = position_ + 1; p < end; ++p) {
                if (end_ - p >= kMinMatch) insertHash(p);
            }
            position_ = end;
            matchAvailable_ = false;
            matchLength_ = kMinMatch - 1;
        } else if (matchAvailable_) {
            addLiteral(window_[position_ - 1]);
            ++position_;
        } else {
            matchAvailable_ = true;
            ++position_;
        }
        if (symbols_.size() >= kBlockSymbols) emitBlock(false);
    }
}

void Deflater::addLiteral(std::uint8_t byte) { symbols_.push_back({0, byte}); }

void Deflater::addMatch(std::size_t length, std::size_t distance) {
    symbols_.push_back({static_cast<std::uint16_t>(length), static_cast<std::uint16_t>(distance)});
}

void Deflater::putBits(std::uint32_t bits, unsigned count) {
    bitBuffer_ |= static_cast<std::uint64_t>(bits) << bitCount_;
    bitCount_ += count;
    while (bitCount_ >= 8) {
        out_.push_back(static_cast<std::uint8_t>(bitBuffer_));
        bitBuffer_ >>= 8;
        bitCount_ -= 8;
    }
}

void Deflater::flushBits() {
    if (bitCount_ > 0) putBits(0, 8 - bitCount_);
}

void Deflater::emitBlock(bool last) {
    if (symbols_.empty() && !last) return;
    std::size_t raw = 0;
    std::vector<std::uint32_t> literalFrequencies(286, 0);
    std::vector<std::uint32_t> distanceFrequencies(30, 0);
    std::uint64_t extraBits = 0;
    for (const Symbol& symbol : symbols_) {
        if (symbol.length == 0) {
            ++literalFrequencies[symbol.distance];
            ++raw;
            continue;
        }
        const unsigned lengthCode = tables().lengthCode[symbol.length];
        const unsigned distanceCode = distanceCodeOf(symbol.distance);
        ++literalFrequencies[257 + lengthCode];
        ++distanceFrequencies[distanceCode];
        extraBits += kLengthExtra[lengthCode] + kDistanceExtra[distanceCode];
        raw += symbol.length;
    }
    literalFrequencies[256] = 1;

    const std::vector<std::uint8_t> literalLengths = codeLengths(literalFrequencies, 15);
    const std::vector<std::uint8_t> distanceLengths = codeLengths(distanceFrequencies, 15);
    std::size_t literalCount = 286;
    while (literalCount > 257 && literalLengths[literalCount - 1] == 0) --literalCount;
    std::size_t distanceCount = 30;
    while (distanceCount > 1 && distanceLengths[distanceCount - 1] == 0) --distanceCount;
    std::vector<std::uint8_t> allLengths(literalLengths.begin(), literalLengths.begin() + static_cast<std::ptrdiff_t>(literalCount));
    allLengths.insert(allLengths.end(), distanceLengths.begin(), distanceLengths.begin() + static_cast<std::ptrdiff_t>(distanceCount));
    const auto runs = runLengths(allLengths);
    std::vector<std::uint32_t> codeLengthFrequencies(19, 0);
    for (const auto& run : runs) ++codeLengthFrequencies[run.first];
    const std::vector<std::uint8_t> codeLengthLengths = codeLengths(codeLengthFrequencies, 7);
    std::size_t codeLengthCount = 19;
    while (codeLengthCount > 4 && codeLengthLengths[kCodeLengthOrder[codeLengthCount - 1]] == 0) --codeLengthCount;

    static const std::vector<std::uint8_t> fixedLiterals = fixedLiteralLengths();
    std::uint64_t dynamicBits = 3 + 14 + 3 * codeLengthCount;
    for (const auto& run : runs) dynamicBits += codeLengthLengths[run.first] + codeLengthExtraBits(run.first);
    std::uint64_t fixedBits = 3;
    for (std::size_t s = 0; s < 286; ++s) {
        dynamicBits += std::uint64_t{literalFrequencies[s]} * literalLengths[s];
        fixedBits += std::uint64_t{literalFrequencies[s]} * fixedLiterals[s];
    }
    for (std::size_t d = 0; d < 30; ++d) {
        dynamicBits += std::uint64_t{distanceFrequencies[d]} * distanceLengths[d];
        fixedBits += std::uint64_t{distanceFrequencies[d]} * 5;
    }
    dynamicBits += extraBits;
    fixedBits += extraBits;
    const std::uint64_t storedBits = 8 * raw + (raw / 65535 + 1) * (3 + 7 + 32);

    if (storedBits < dynamicBits && storedBits < fixedBits) {
        std::size_t at = blockStart_;
        std::size_t left = raw;
        do {
            const std::size_t n = std::min<std::size_t>(left, 65535);
            left -= n;
            putBits(last && left == 0 ? 1 : 0, 1);
            putBits(0, 2);
            flushBits();
            putBits(static_cast<std::uint32_t>(n), 16);
            putBits(static_cast<std::uint32_t>(~n & 0xFFFF), 16);
            out_.insert(out_.end(), window_.begin() + static_cast<std::ptrdiff_t>(at),
                        window_.begin() + static_cast<std::ptrdiff_t>(at + n));
            at += n;
        } while (left > 0);
    } else {
        const bool fixed = fixedBits <= dynamicBits;
        std::vector<std::uint8_t> usedLiteralLengths = literalLengths;
        std::vector<std::uint8_t> usedDistanceLengths = distanceLengths;
        putBits(last ? 1 : 0, 1);
        if (fixed) {
            putBits(1, 2);
            usedLiteralLengths = fixedLiterals;
            usedDistanceLengths.assign(30, 5);
        } else {
            putBits(2, 2);
            putBits(static_cast<std::uint32_t>(literalCount - 257), 5);
            putBits(static_cast<std::uint32_t>(distanceCount - 1), 5);
            putBits(static_cast<std::uint32_t>(codeLengthCount - 4), 4);
            for (std::size_t i = 0; i < codeLengthCount; ++i) putBits(codeLengthLengths[kCodeLengthOrder[i]], 3);
            const auto codeLengthCodes = canonicalCodes(codeLengthLengths);
            for (const auto& run : runs) {
                putBits(codeLengthCodes[run.first], codeLengthLengths[run.first]);
                putBits(run.second, codeLengthExtraBits(run.first));
            }
        }
        const auto literalCodes = canonicalCodes(usedLiteralLengths);
        const auto distanceCodes = canonicalCodes(usedDistanceLengths);
        for (const Symbol& symbol : symbols_) {
            if (symbol.length == 0) {
                putBits(literalCodes[symbol.distance], usedLiteralLengths[symbol.distance]);
                continue;
            }
            const unsigned lengthCode = tables().lengthCode[symbol.length];
            putBits(literalCodes[257 + lengthCode], usedLiteralLengths[257 + lengthCode]);
            putBits(symbol.length - kLengthBase[lengthCode], kLengthExtra[lengthCode]);
            const unsigned distanceCode = distanceCodeOf(symbol.distance);
            putBits(distanceCodes[distanceCode], usedDistanceLengths[distanceCode]);
            putBits(symbol.distance - kDistanceBase[distanceCode], kDistanceExtra[distanceCode]);
        }
        putBits(literalCodes[256], usedLiteralLengths[256]);
    }
    blockStart_ += raw;
    symbols_.clear();
    if (out_.size() >= kFlushOutput) {
        sink_(out_.data(), out_.size());
        out_.clear();
    }
}

std::vector<std::uint8_t> deflate(std::string_view data) {
    std::vector<std::uint8_t> out;
    Deflater deflater([&out](const std::uint8_t* bytes, std::size_t size) { out.insert(out.end(), bytes, bytes + size); });
    deflater.write(reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
    deflater.finish();
    return out;
}

}  // namespace corvid::pack
