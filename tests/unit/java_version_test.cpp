#include <gtest/gtest.h>

#include "start/java_version.h"

namespace corvid {
namespace {

struct ParseCase {
    const char16_t* text;
    std::int32_t fill;
    bool ok;
    std::array<std::int32_t, 4> parts;
    std::int32_t count;
};

class JavaVersionParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(JavaVersionParse, ReadsDigitGroups) {
    const ParseCase& c = GetParam();
    JavaVersion v;
    v.parts = {9, 9, 9, 9};
    v.count = 9;
    EXPECT_EQ(v.parse(c.text, c.fill), c.ok);
    EXPECT_EQ(v.parts, c.parts);
    EXPECT_EQ(v.count, c.count);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, JavaVersionParse,
    ::testing::Values(ParseCase{u"1.6.0_10", 0, true, {1, 6, 0, 10}, 4},
                      ParseCase{u"1.6", 0, true, {1, 6, 0, 0}, 2},
                      ParseCase{u"1.6", 65535, true, {1, 6, 65535, 65535}, 2},
                      ParseCase{u"jre 1.5", 0, true, {1, 5, 0, 0}, 2},
                      ParseCase{u"1.6.0_10-b03", 0, true, {1, 6, 0, 10}, 5},
                      ParseCase{u"1.2.3.4.5.6", 0, true, {1, 2, 3, 4}, 5},
                      ParseCase{u"10", 0, true, {10, 0, 0, 0}, 1},
                      ParseCase{u"17.0.21.1", 0, true, {17, 0, 21, 1}, 4},
                      ParseCase{u"1.2147483647", 0, true, {1, 2147483647, 0, 0}, 2},
                      // Overflowing groups fail the whole read, fill not applied.
                      ParseCase{u"1.2147483648", 65535, false, {0, 0, 0, 0}, 0},
                      ParseCase{u"1.2147483649", 0, false, {0, 0, 0, 0}, 0},
                      ParseCase{u"1.21474836470", 0, false, {0, 0, 0, 0}, 0},
                      ParseCase{u"99999999999999999999", 0, false, {0, 0, 0, 0}, 0},
                      ParseCase{u"", 65535, false, {0, 0, 0, 0}, 0},
                      ParseCase{u"any", 65535, false, {0, 0, 0, 0}, 0},
                      ParseCase{u"abc", 0, false, {0, 0, 0, 0}, 0}));

TEST(JavaVersionFormat, NeverWritesASingleNumberAndDropsOpenTail) {
    const struct {
        std::array<std::int32_t, 4> parts;
        const char16_t* text;
    } cases[] = {
        {{1, 6, 0, 10}, u"1.6.0.10"},   {{1, 6, 0, 0}, u"1.6"},
        {{1, 0, 0, 0}, u"1.0"},         {{7, 0, 0, 0}, u"7.0"},
        {{1, 6, 65535, 65535}, u"1.6"}, {{1, 65535, 0, 5}, u"1.65535.0.5"},
        {{0, 0, 0, 0}, u"0.0.0.0"},     {{65535, 65535, 65535, 65535}, u"0.0.0.0"},
        {{-3, 0, 0, 0}, u"-3.0"},
    };
    for (const auto& c : cases) {
        JavaVersion v;
        v.parts = c.parts;
        EXPECT_EQ(v.format(), c.text);
    }
}

JavaVersion version(const char16_t* text) {
    JavaVersion v;
    v.parse(text, 0);
    return v;
}

TEST(JavaVersionCompare, OrdersByPartsAlone) {
    EXPECT_LT(JavaVersion::compare(version(u"1.5"), version(u"1.6")), 0);
    EXPECT_GT(JavaVersion::compare(version(u"1.10"), version(u"1.9.9.9")), 0);
    EXPECT_EQ(JavaVersion::compare(version(u"1.6"), version(u"1.6.0.0")), 0);  // count ignored
    EXPECT_LT(JavaVersion::compare(version(u"17"), JavaVersion::openUpper()), 0);
}

TEST(JavaVersionPrefix, MatchesLeadingGroupsAndFiveGroupTexts) {
    EXPECT_TRUE(version(u"1.6").isPrefixOf(version(u"1.6.0_10")));
    EXPECT_TRUE(version(u"1.6").isPrefixOf(version(u"1.6")));
    EXPECT_FALSE(version(u"1.6.0").isPrefixOf(version(u"1.6")));  // candidate has fewer groups
    EXPECT_FALSE(version(u"1.6").isPrefixOf(version(u"1.7.0")));
    EXPECT_TRUE(version(u"1.6.0_10-b03").isPrefixOf(version(u"1.6.0_10-b04")));
    EXPECT_FALSE(version(u"1.6.0_10-b03").isPrefixOf(version(u"1.6.0_10")));
    EXPECT_FALSE(version(u"").isPrefixOf(version(u"1.6")));
}

TEST(JavaVersionBounds, OnlyExactAnyOpensABound) {
    EXPECT_TRUE(readLowerBound(u"any").isOpen());
    EXPECT_EQ(readLowerBound(u"any").count, 4);
    EXPECT_EQ(readUpperBound(u"any").parts, JavaVersion::openUpper().parts);
    EXPECT_EQ(readUpperBound(u"1.6").parts, (std::array<std::int32_t, 4>{1, 6, 65535, 65535}));
    EXPECT_EQ(readLowerBound(u"1.6").parts, (std::array<std::int32_t, 4>{1, 6, 0, 0}));
    // A missing upper bound is open-ended, as "any" is.
    EXPECT_EQ(readUpperBound(u"").parts, JavaVersion::openUpper().parts);
    EXPECT_EQ(readUpperBound(u"").count, 4);
    EXPECT_EQ(readUpperBound(u"ANY").parts, (std::array<std::int32_t, 4>{0, 0, 0, 0}));
    EXPECT_TRUE(readUpperBound(u"ANY").isOpen());
    EXPECT_FALSE(readUpperBound(u"1.6").isOpen());
}

}  // namespace
}  // namespace corvid
