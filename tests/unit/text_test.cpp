#include <gtest/gtest.h>

#include "platform/text.h"

namespace corvid {
namespace {

TEST(FormatText, InsertsTextsAndSignedNumbers) {
    EXPECT_EQ(formatText(u"Windows exception: %s (errno = %d).\n", {u"failed", static_cast<std::int32_t>(126)}),
              u"Windows exception: failed (errno = 126).\n");
    EXPECT_EQ(formatText(u"%d", {static_cast<std::int32_t>(0x80070005u)}), u"-2147024891");
    EXPECT_EQ(formatText(u"%s and %s", {u"a", u""}), u"a and ");
    EXPECT_EQ(formatText(u"100%% %s", {u"%d"}), u"100% %d");  // arguments are not re-read
    EXPECT_EQ(formatText(u"%s %s", {u"only"}), u"only ");
    EXPECT_EQ(formatText(u"tail %", {}), u"tail %");
    EXPECT_EQ(formatText(u"%x", {u"a"}), u"%x");
}

TEST(Utf8, RoundTripsAndReplacesMalformedBytes) {
    const WideString text = u"Gr\u00FC\u00DFe \u20AC \U0001F600";
    EXPECT_EQ(fromUtf8(toUtf8(text)), text);
    EXPECT_EQ(toUtf8(u"\u00FC"), "\xC3\xBC");
    EXPECT_EQ(fromUtf8("a\xFF" "b"), u"a\uFFFDb");
    EXPECT_EQ(fromUtf8("a\xC3"), u"a\uFFFD");       // cut short
    EXPECT_EQ(fromUtf8("\xE2\x82" "x"), u"\uFFFD\uFFFDx");  // broken sequence, each stray byte replaced
    // Modified UTF-8 writes a supplementary character as two encoded surrogates.
    EXPECT_EQ(fromUtf8("\xED\xA0\xBD\xED\xB8\x80"), u"\U0001F600");
    EXPECT_EQ(toUtf8(WideString(1, static_cast<char16_t>(0xD800))), "\xEF\xBF\xBD");  // lone surrogate
}

// A lead byte whose sequence the text ends too early, or whose continuation
// bytes run out, is one U+FFFD; everything after it is still decoded.
TEST(Utf8, CutShortSequenceKeepsWhatFollows) {
    const struct {
        std::string_view bytes;
        WideString text;
    } cases[] = {
        {"caf\xE9s", u"caf\uFFFDs"},
        {"\xEF\n", u"\uFFFD\n"},
        {"\xF0\x9F\x98", u"\uFFFD\uFFFD\uFFFD"},
        {"\xF0\x9F" "ab", u"\uFFFD\uFFFDab"},
        {"x\xC3", u"x\uFFFD"},
        {"\xE2\x82\xAC\xE2", u"\u20AC\uFFFD"},
    };
    for (const auto& c : cases) EXPECT_EQ(fromUtf8(c.bytes), c.text) << testing::PrintToString(std::string(c.bytes));
}

// Overlong forms are malformed: they would let other bytes pass for a line
// break or a slash. The modified UTF-8 NUL is the one that is kept.
TEST(Utf8, OverlongFormsAreMalformed) {
    const struct {
        std::string_view bytes;
        WideString text;
    } cases[] = {
        {"[S]\xC0\x8A" "K", u"[S]\uFFFD\uFFFDK"},
        {"a\xC0\xAF" "b", u"a\uFFFD\uFFFDb"},
        {"\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},
        {"\xF0\x80\x80\xAF", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {std::string_view("\xC0\x80", 2), WideString(1, u'\0')},
    };
    for (const auto& c : cases) EXPECT_EQ(fromUtf8(c.bytes), c.text) << testing::PrintToString(std::string(c.bytes));
}

TEST(WideSpace, TrimsOnlyWhiteSpace) {
    EXPECT_EQ(trimWideSpace(u" \t\r\n\v\f a b \u00A0"), u"a b");
    EXPECT_EQ(trimWideSpace(u"   "), u"");
    EXPECT_EQ(trimWideSpace(u"x"), u"x");
}

TEST(AsciiCase, IgnoresOnlyAsciiLetters) {
    EXPECT_TRUE(equalsIgnoringAsciiCase(u"YeS", u"yes"));
    EXPECT_FALSE(equalsIgnoringAsciiCase(u"\u00FC", u"\u00DC"));
    EXPECT_FALSE(equalsIgnoringAsciiCase(u"yes", u"yes "));
}

TEST(NarrowText, RoundTripsAscii) {
    EXPECT_EQ(toNarrow(u"-Djava.class.path=a b"), "-Djava.class.path=a b");
    EXPECT_EQ(fromNarrow("C:\\x"), u"C:\\x");
    EXPECT_EQ(toNarrow(u""), "");
}

}  // namespace
}  // namespace corvid

namespace corvid {
namespace {

TEST(PercentReferences, ExpandKnownNamesAndKeepTheRest) {
    const auto lookup = [](const WideString& name) -> std::optional<WideString> {
        if (name == u"A") return WideString(u"x");
        if (name == u"EMPTY") return WideString();
        return std::nullopt;
    };
    const struct {
        const char16_t* text;
        const char16_t* expanded;
    } cases[] = {
        {u"%A%", u"x"},       {u"a%A%b%A%", u"axbx"}, {u"%B%", u"%B%"},   {u"%B%A%", u"%Bx"},
        {u"100%", u"100%"},   {u"%%", u"%%"},         {u"%EMPTY%.", u"."}, {u"", u""},
        {u"%A", u"%A"},
    };
    for (const auto& c : cases) EXPECT_EQ(expandPercentReferences(c.text, lookup), c.expanded) << toUtf8(c.text);
}

}  // namespace
}  // namespace corvid
