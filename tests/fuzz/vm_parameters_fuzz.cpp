// VM-parameter splitting and quote removal: tokens are non-empty pieces of
// the text, in order; without quotes the text splits at its runs of spaces;
// quote removal takes out quote characters only, two at a time, and leaves a
// token without quote pairs alone.
#include "fuzz_support.h"
#include "jvm/jvm_options.h"

using namespace corvid;

namespace {

WideString withoutQuotes(WideView text) {
    WideString out;
    for (const char16_t c : text) {
        if (c != u'"') out.push_back(c);
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const WideString text = fuzz::textOf({reinterpret_cast<const char*>(data), size});
    const WideList tokens = splitVmParameters(text);

    std::size_t from = 0;
    for (const WideString& token : tokens) {
        FUZZ_CHECK(!token.empty());
        FUZZ_CHECK(token.front() != u' ');
        FUZZ_CHECK(fuzz::takenFrom(text, token, from));
        // A token ends at a space or at the end of the text.
        FUZZ_CHECK(from == text.size() || text[from] == u' ');
    }
    if (text.find(u'"') == WideString::npos) {
        for (const WideString& token : tokens) FUZZ_CHECK(token.find(u' ') == WideString::npos);
        std::size_t words = 0;
        for (std::size_t i = 0; i < text.size(); ++i) words += text[i] != u' ' && (i == 0 || text[i - 1] == u' ');
        FUZZ_CHECK(tokens.size() == words);
    }

    for (const WideString& token : tokens) {
        WideString unquoted = token;
        removeQuotes(unquoted);
        FUZZ_CHECK(withoutQuotes(unquoted) == withoutQuotes(token));
        const std::size_t before = fuzz::countOf(token, u'"');
        const std::size_t after = fuzz::countOf(unquoted, u'"');
        FUZZ_CHECK(after <= before && (before - after) % 2 == 0);
        if (before < 2) FUZZ_CHECK(unquoted == token);
    }
    // Quote removal works on any text, not only on tokens.
    WideString whole = text;
    removeQuotes(whole);
    FUZZ_CHECK(withoutQuotes(whole) == withoutQuotes(text));
    return 0;
}
