// Version texts: a failed read leaves nothing behind, the parts the text did
// not give hold the fill, bounds read from one text never cross, ordering is
// antisymmetric and transitive, and formatting then reading is stable.
#include "fuzz_support.h"
#include "start/java_version.h"

using namespace corvid;

namespace {

bool hasDigit(WideView text) {
    for (const char16_t c : text) {
        if (c >= u'0' && c <= u'9') return true;
    }
    return false;
}

void checkRead(const WideString& text, std::int32_t fill) {
    JavaVersion v;
    const bool ok = v.parse(text, fill);
    if (!ok) {
        FUZZ_CHECK(v.count == 0);
        FUZZ_CHECK((v.parts == std::array<std::int32_t, 4>{0, 0, 0, 0}));
        return;
    }
    FUZZ_CHECK(hasDigit(text));
    FUZZ_CHECK(v.count >= 1 && v.count <= 5);
    for (int i = 0; i < 4; ++i) {
        FUZZ_CHECK(v.parts[i] >= 0);
        if (i >= v.count) FUZZ_CHECK(v.parts[i] == fill);
    }
    // The written text reads back to the parts it shows, and writing that is
    // the same text again.
    const WideString written = v.format();
    JavaVersion again;
    FUZZ_CHECK(again.parse(written, fill));
    FUZZ_CHECK(again.format() == written);
    if (written != u"0.0.0.0") {
        for (int i = 0; i < again.count && i < 4; ++i) FUZZ_CHECK(again.parts[i] == v.parts[i]);
    }
    FUZZ_CHECK(v.isPrefixOf(v));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const WideString a = fuzz::nextText(bytes);
    const WideString b = fuzz::nextText(bytes);
    const WideString c = fuzz::nextText(bytes);

    for (const WideString* text : {&a, &b, &c}) {
        checkRead(*text, 0);
        checkRead(*text, JavaVersion::kOpenUpper);
        FUZZ_CHECK(JavaVersion::compare(readLowerBound(*text), readUpperBound(*text)) <= 0);
    }

    JavaVersion va, vb, vc;
    va.parse(a, 0);
    vb.parse(b, 0);
    vc.parse(c, 0);
    FUZZ_CHECK(JavaVersion::compare(va, vb) == -JavaVersion::compare(vb, va));
    FUZZ_CHECK((JavaVersion::compare(va, vb) == 0) == (va.parts == vb.parts));
    if (JavaVersion::compare(va, vb) <= 0 && JavaVersion::compare(vb, vc) <= 0) {
        FUZZ_CHECK(JavaVersion::compare(va, vc) <= 0);
    }
    // A prefix match agrees with the parts it covers.
    if (va.isPrefixOf(vb)) {
        for (int i = 0; i < va.count && i < 4; ++i) FUZZ_CHECK(va.parts[i] == vb.parts[i]);
        FUZZ_CHECK(vb.count >= va.count);
    }
    return 0;
}
