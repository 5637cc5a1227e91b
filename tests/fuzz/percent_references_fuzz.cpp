// %NAME% expansion: with no names known the text is unchanged; a lookup that
// gives every name back as its own reference changes nothing; values are put
// in as they are, never expanded again; with every value empty the result is
// the text less some of its references.
#include <map>

#include "fuzz_support.h"

using namespace corvid;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const WideString text = fuzz::nextText(bytes);
    // The remaining parts are NAME=VALUE definitions.
    std::map<WideString, WideString> defined;
    while (!bytes.empty()) {
        const WideString definition = fuzz::nextText(bytes);
        const std::size_t equals = definition.find(u'=');
        if (equals == WideString::npos) continue;
        defined[definition.substr(0, equals)] = definition.substr(equals + 1);
    }

    std::size_t lookups = 0;
    const WideString unknown = expandPercentReferences(text, [&](const WideString& name) -> std::optional<WideString> {
        FUZZ_CHECK(!name.empty() && name.find(u'%') == WideString::npos);
        ++lookups;
        return std::nullopt;
    });
    FUZZ_CHECK(unknown == text);
    FUZZ_CHECK(lookups <= fuzz::countOf(text, u'%'));

    const WideString itself = expandPercentReferences(
        text, [](const WideString& name) -> std::optional<WideString> { return u"%" + name + u"%"; });
    FUZZ_CHECK(itself == text);

    const WideString emptied =
        expandPercentReferences(text, [](const WideString&) -> std::optional<WideString> { return WideString(); });
    FUZZ_CHECK(emptied.size() <= text.size());
    std::size_t from = 0;
    for (const char16_t c : emptied) FUZZ_CHECK(fuzz::takenFrom(text, WideView(&c, 1), from));

    // Values stand for themselves: a value that is a reference to a defined
    // name stays that reference.
    std::size_t produced = 0;
    const WideString expanded = expandPercentReferences(text, [&](const WideString& name) -> std::optional<WideString> {
        const auto found = defined.find(name);
        if (found == defined.end()) return std::nullopt;
        produced += found->second.size();
        return found->second;
    });
    FUZZ_CHECK(expanded.size() <= text.size() + produced);
    if (defined.empty()) FUZZ_CHECK(expanded == text);
    return 0;
}
