#include "start/java_version.h"

namespace corvid {

namespace {

bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

}  // namespace

bool JavaVersion::parse(WideView text, std::int32_t fill) {
    parts = {0, 0, 0, 0};
    count = 0;
    std::size_t pos = 0;
    while (pos < text.size() && !isDigit(text[pos])) ++pos;
    if (pos == text.size()) return false;
    int k = 0;
    for (;;) {
        std::int64_t value = 0;
        for (; pos < text.size() && isDigit(text[pos]); ++pos) {
            // 214748364 is checked before each digit is appended; the two
            // values that still pass and overflow a signed part fail as well.
            if (value > 214748364) {
                parts = {0, 0, 0, 0};
                return false;
            }
            value = value * 10 + (text[pos] - u'0');
        }
        if (value > INT32_MAX) {
            parts = {0, 0, 0, 0};
            return false;
        }
        parts[static_cast<std::size_t>(k)] = static_cast<std::int32_t>(value);
        while (pos < text.size() && !isDigit(text[pos])) ++pos;
        if (pos == text.size()) break;
        if (++k == 4) break;
    }
    count = k + 1;
    for (int i = count; i < 4; ++i) parts[static_cast<std::size_t>(i)] = fill;
    return true;
}

bool JavaVersion::isOpen() const {
    bool allZero = true;
    bool allMax = true;
    for (const std::int32_t part : parts) {
        allZero = allZero && part == 0;
        allMax = allMax && part == kOpenUpper;
    }
    return allZero || allMax;
}

WideString JavaVersion::format() const {
    int last = -1;
    for (int i = 3; i >= 0; --i) {
        const std::int32_t part = parts[static_cast<std::size_t>(i)];
        if (part != 0 && part != kOpenUpper) {
            last = i;
            break;
        }
    }
    if (last < 0) return u"0.0.0.0";
    if (last == 0) last = 1;
    WideString text;
    for (int i = 0; i <= last; ++i) {
        if (i > 0) text += u'.';
        text += fromAscii(std::to_string(parts[static_cast<std::size_t>(i)]));
    }
    return text;
}

int JavaVersion::compare(const JavaVersion& a, const JavaVersion& b) {
    for (std::size_t i = 0; i < 4; ++i) {
        if (a.parts[i] != b.parts[i]) return a.parts[i] < b.parts[i] ? -1 : 1;
    }
    return 0;
}

bool JavaVersion::isPrefixOf(const JavaVersion& v) const {
    if (count < 1 || v.count < count) return false;
    const int compared = count < 4 ? count : 4;
    for (int i = 0; i < compared; ++i) {
        if (parts[static_cast<std::size_t>(i)] != v.parts[static_cast<std::size_t>(i)]) return false;
    }
    // A fifth group stands for the count itself: both texts had five or more.
    return count < 5 || v.count == count;
}

JavaVersion readLowerBound(WideView text) {
    if (text == u"any") return JavaVersion::openLower();
    JavaVersion version;
    version.parse(text, 0);
    return version;
}

JavaVersion readUpperBound(WideView text) {
    // A missing bound means no bound: 0.0.0.0 would admit no runtime at all.
    if (text == u"any" || text.empty()) return JavaVersion::openUpper();
    JavaVersion version;
    version.parse(text, JavaVersion::kOpenUpper);
    return version;
}

}  // namespace corvid
