// The text conversions: decoding UTF-8 never yields more units than bytes and
// never drops or invents an ASCII character; encoding then decoding gives the
// text back with only lone surrogates replaced; trimming takes blanks from the
// ends only; formatting a text without '%' leaves it as it is.
#include "fuzz_support.h"

using namespace corvid;

namespace {

WideString asciiOf(WideView text) {
    WideString out;
    for (const char16_t c : text) {
        if (c < 0x80 && c != 0) out.push_back(c);
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    const WideString decoded = fromUtf8(bytes);
    FUZZ_CHECK(decoded.size() <= bytes.size());
    std::string asciiBytes;
    for (const char b : bytes) {
        if (static_cast<unsigned char>(b) < 0x80 && b != 0) asciiBytes.push_back(b);
    }
    // NUL aside, which modified UTF-8 also writes as C0 80.
    FUZZ_CHECK(asciiOf(decoded) == fromAscii(asciiBytes));
    // What was decoded encodes and decodes to itself.
    const WideString clean = fuzz::withLoneSurrogatesReplaced(decoded);
    FUZZ_CHECK(fromUtf8(toUtf8(decoded)) == clean);

    const WideString units = fuzz::unitsOf(bytes);
    const std::string encoded = toUtf8(units);
    FUZZ_CHECK(fromUtf8(encoded) == fuzz::withLoneSurrogatesReplaced(units));
    FUZZ_CHECK(encoded.size() <= units.size() * 3);

    const WideString trimmed = trimWideSpace(units);
    FUZZ_CHECK(units.find(trimmed) != WideString::npos);
    if (!trimmed.empty()) FUZZ_CHECK(!isWideSpace(trimmed.front()) && !isWideSpace(trimmed.back()));
    if (!units.empty() && !isWideSpace(units.front()) && !isWideSpace(units.back())) FUZZ_CHECK(trimmed == units);

    const WideString formatted = formatText(units, {u"[text]", static_cast<std::int32_t>(size)});
    if (units.find(u'%') == WideString::npos) FUZZ_CHECK(formatted == units);
    FUZZ_CHECK(fuzz::countOf(formatted, u'%') <= fuzz::countOf(units, u'%'));

    // Narrow text is UTF-8 on this system.
    FUZZ_CHECK(fromNarrow(toNarrow(units)) == fuzz::withLoneSurrogatesReplaced(units));
    return 0;
}
