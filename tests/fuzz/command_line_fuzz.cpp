// Command-line splitting: arguments are pieces of the line, in order; without
// quotes the line splits at its runs of spaces; quoting an argument list and
// splitting it again gives the list back.
#include "fuzz_support.h"
#include "start/command_line.h"

using namespace corvid;

namespace {

WideList splitAtSpaceRuns(WideView text) {
    WideList pieces;
    std::size_t p = 0;
    while (p < text.size()) {
        while (p < text.size() && text[p] == u' ') ++p;
        if (p == text.size()) break;
        std::size_t end = text.find(u' ', p);
        if (end == WideView::npos) end = text.size();
        pieces.emplace_back(text.substr(p, end - p));
        p = end;
    }
    return pieces;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const WideString line = fuzz::textOf({reinterpret_cast<const char*>(data), size});
    const WideList arguments = splitCommandLine(line);

    std::size_t from = 0;
    std::size_t total = 0;
    for (const WideString& argument : arguments) {
        FUZZ_CHECK(fuzz::takenFrom(line, argument, from));
        total += argument.size();
    }
    FUZZ_CHECK(total <= line.size());
    if (line.find(u'"') == WideString::npos) {
        // A line that starts with a space (never so after the parse's
        // trimming) has an empty first argument.
        WideList expected = splitAtSpaceRuns(line);
        if (!line.empty() && line[0] == u' ') expected.insert(expected.begin(), WideString());
        FUZZ_CHECK(arguments == expected);
    }

    // Arguments without quotes survive being quoted and joined.
    WideList plain;
    WideString joined = u"program";
    for (const WideString& argument : arguments) {
        if (argument.find(u'"') != WideString::npos) continue;
        plain.push_back(argument);
        joined += u" \"" + argument + u"\"";
    }
    FUZZ_CHECK(parseCommandLine(joined) == plain);

    // The program name is the only thing the parse drops.
    const WideList parsed = parseCommandLine(line);
    const WideList trimmed = splitCommandLine(trimWideSpace(line));
    FUZZ_CHECK(parsed.size() + (trimmed.empty() ? 0 : 1) == trimmed.size());
    FUZZ_CHECK(hasNoSplashSwitch(parsed) ==
               (std::find(parsed.begin(), parsed.end(), u"-nosplash") != parsed.end() ||
                std::find(parsed.begin(), parsed.end(), u"/nosplash") != parsed.end()));
    return 0;
}
