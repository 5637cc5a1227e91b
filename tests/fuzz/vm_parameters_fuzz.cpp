// VM-parameter splitting and quote removal: tokens are non-empty pieces of
// the text, in order; without quotes the text splits at its runs of spaces;
// quote removal takes out quote characters only, two at a time, and leaves a
// token without quote pairs alone. Taking out java's launcher options (-cp,
// -splash:) keeps the other tokens in order and leaves none of those options
// among them, but as the value of another two-token form.
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
    WideList unquoted = tokens;
    for (WideString& token : unquoted) removeQuotes(token);
    WideList kept = unquoted;
    const LauncherOptions taken = takeLauncherOptions(kept);
    FUZZ_CHECK(kept.size() + taken.classPaths.size() + taken.splashPictures.size() + (taken.dangling ? 1 : 0) <=
               unquoted.size());
    std::size_t at = 0;
    bool isValue = false;
    for (const WideString& token : kept) {
        while (at < unquoted.size() && unquoted[at] != token) ++at;
        FUZZ_CHECK(at < unquoted.size());
        ++at;
        if (!isValue) {
            FUZZ_CHECK(token != u"-cp" && token != u"-classpath" && token != u"--class-path");
            FUZZ_CHECK(token.rfind(u"-splash:", 0) != 0 && token.rfind(u"--class-path=", 0) != 0);
        }
        isValue = !isValue && optionTakingNextToken(token).has_value();
    }
    if (taken.dangling) FUZZ_CHECK(!unquoted.empty() && unquoted.back() == *taken.dangling);

    // Quote removal works on any text, not only on tokens.
    WideString whole = text;
    removeQuotes(whole);
    FUZZ_CHECK(withoutQuotes(whole) == withoutQuotes(text));
    return 0;
}
