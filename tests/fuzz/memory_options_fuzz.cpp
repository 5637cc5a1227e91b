// Memory shares and stack sizes: the number list starts at the first digit or
// ':' and has one number per ':' after it; a rewritten share keeps the text
// before the numbers and ends in a plain decimal size and "K" that respects
// the minimum and, below it, the maximum; a stack size is only ever read from
// one plain number with an optional unit.
#include <limits>
#include <string>

#include "fuzz_support.h"
#include "jvm/jvm_options.h"

using namespace corvid;

namespace {

class FixedMemory final : public Memory {
public:
    explicit FixedMemory(MemoryStatus status) : status_(status) {}
    MemoryStatus status() override { return status_; }

private:
    MemoryStatus status_;
};

bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider provider(data, size);
    MemoryStatus status;
    status.totalPhysical = provider.ConsumeIntegral<std::uint64_t>();
    status.availableVirtual = provider.ConsumeIntegral<std::uint64_t>();
    const std::string rest = provider.ConsumeRemainingBytesAsString();
    const WideString token = fuzz::textOf(rest);

    const NumberList list = parseNumberList(token);
    FUZZ_CHECK(list.start <= token.size());
    for (std::size_t i = 0; i < list.start; ++i) FUZZ_CHECK(!isDigit(token[i]) && token[i] != u':');
    if (list.start == token.size()) {
        FUZZ_CHECK(list.numbers.empty());
    } else {
        FUZZ_CHECK(list.numbers.size() == 1 + fuzz::countOf(WideView(token).substr(list.start), u':'));
    }

    if (isMemoryPercentOption(token)) {
        FixedMemory memory(status);
        WideString rewritten = token;
        applyMemoryPercent(rewritten, memory);
        const WideView prefix = WideView(token).substr(0, list.start);
        FUZZ_CHECK(rewritten.size() > prefix.size() + 1);
        FUZZ_CHECK(WideView(rewritten).substr(0, prefix.size()) == prefix);
        FUZZ_CHECK(rewritten.back() == u'K');
        const WideView digits = WideView(rewritten).substr(prefix.size(), rewritten.size() - prefix.size() - 1);
        for (const char16_t c : digits) FUZZ_CHECK(isDigit(c));
        FUZZ_CHECK(digits.size() <= 20 && (digits.size() == 1 || digits.front() != u'0'));
        const std::uint64_t kilobytes = std::stoull(toUtf8(digits));
        // Limits that fit without wrapping are kept to.
        const auto number = [&](std::size_t i) { return i < list.numbers.size() ? list.numbers[i] : 0; };
        const std::uint64_t minimum = number(1);
        const std::uint64_t maximum = number(2);
        constexpr std::uint64_t kLimit = std::uint64_t{1} << 50;
        if (minimum < kLimit) FUZZ_CHECK(kilobytes >= minimum * 1024);
        if (maximum != 0 && maximum < kLimit && minimum <= maximum) FUZZ_CHECK(kilobytes <= maximum * 1024);
        const char16_t kind = token.back();
        const std::uint64_t total = (kind == u'P' || kind == u'p') ? status.totalPhysical : status.availableVirtual;
        // Below 2^53 bytes the share is computed exactly enough not to round up.
        if (number(0) <= 100 && minimum == 0 && total < (std::uint64_t{1} << 53)) FUZZ_CHECK(kilobytes <= (total >> 10));
    }

    const auto stack = parseStackSize(token);
    if (stack) {
        FUZZ_CHECK(!token.empty() && isDigit(token.front()));
        FUZZ_CHECK(token.find(u':') == WideString::npos);
    }
    // One run of at most 18 digits and a unit is exactly that many bytes.
    std::size_t digitCount = 0;
    while (digitCount < token.size() && isDigit(token[digitCount])) ++digitCount;
    if (digitCount > 0 && digitCount <= 18 && token.size() <= digitCount + 1) {
        const std::uint64_t value = std::stoull(toUtf8(WideView(token).substr(0, digitCount)));
        std::uint64_t unit = 1;
        if (token.size() > digitCount) {
            switch (token.back()) {
                case u'k': case u'K': unit = 1024; break;
                case u'm': case u'M': unit = 1024 * 1024; break;
                case u'g': case u'G': unit = 1024 * 1024 * 1024; break;
                default: break;
            }
        }
        const bool plain = token.size() == digitCount || token.back() != u':';
        if (plain) {
            FUZZ_CHECK(stack.has_value());
            FUZZ_CHECK(*stack == value * unit);
        }
    }
    return 0;
}
