#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/link_text.h"

namespace corvid {
namespace {

// The bytes a registry string value stores: UTF-16 little-endian, with the
// terminating NUL unless `terminated` is false.
std::vector<std::uint8_t> stored(std::u16string_view text, bool terminated = true) {
    std::vector<std::uint8_t> bytes;
    for (const char16_t c : text) {
        bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    if (terminated) bytes.insert(bytes.end(), {0, 0});
    return bytes;
}

struct ColourCase {
    const char* name;
    std::vector<std::uint8_t> bytes;
    std::uint32_t type;
    std::optional<ColourRef> colour;  // nullopt: the caller keeps its colour
};

class ColourValue : public ::testing::TestWithParam<ColourCase> {};

TEST_P(ColourValue, ReadsRedGreenBlue) {
    const ColourCase& c = GetParam();
    EXPECT_EQ(parseColourValue(c.type, c.bytes.data(), c.bytes.size()), c.colour);
}

INSTANTIATE_TEST_SUITE_P(
    Values, ColourValue,
    ::testing::Values(
        ColourCase{"Red", stored(u"255,0,0"), kRegistryString, makeColour(255, 0, 0)},
        ColourCase{"ChannelOrder", stored(u"1,2,3"), kRegistryString, makeColour(1, 2, 3)},
        ColourCase{"CutToEightBits", stored(u"300,0,0"), kRegistryString, makeColour(44, 0, 0)},
        ColourCase{"ExpandableString", stored(u"0,128,0"), kRegistryExpandString, makeColour(0, 128, 0)},
        ColourCase{"TwoNumbers", stored(u"0,0"), kRegistryString, std::nullopt},
        ColourCase{"EmptyThird", stored(u"0,0,"), kRegistryString, std::nullopt},
        ColourCase{"NoBytes", {}, kRegistryString, std::nullopt},
        // Eleven characters and the NUL fill the 24 bytes; one more does not fit.
        ColourCase{"ElevenCharacters", stored(u"100,100,100"), kRegistryString, makeColour(100, 100, 100)},
        ColourCase{"TwelveCharacters", stored(u" 100,100,100"), kRegistryString, std::nullopt},
        ColourCase{"BlanksAndSigns", stored(u" +9,\t-2, 7x"), kRegistryString, makeColour(9, 254, 7)},
        ColourCase{"NoDigitsReadAsZero", stored(u"a,b,c"), kRegistryString, makeColour(0, 0, 0)},
        ColourCase{"MinusOneFirst", stored(u"-1,0,0"), kRegistryString, std::nullopt},
        ColourCase{"MinusOneSecond", stored(u"0,-1,0"), kRegistryString, std::nullopt},
        ColourCase{"MinusOneThirdIsWhite", stored(u"0,0,-1"), kRegistryString, makeColour(0, 0, 255)},
        ColourCase{"LongNumberCut", stored(u"9999999,0,1"), kRegistryString, makeColour(0x7F, 0, 1)},
        ColourCase{"NotTerminated", stored(u"255,0,0", false), kRegistryString, std::nullopt},
        ColourCase{"OddByteCount", {'1', 0, ',', 0, '2', 0, ',', 0, '3', 0, 0}, kRegistryString, std::nullopt},
        ColourCase{"TextEndsAtFirstNul", stored(std::u16string(u"1,2\0,3", 6)), kRegistryString, std::nullopt},
        ColourCase{"BinaryType", stored(u"255,0,0"), 3, std::nullopt},
        ColourCase{"NumberType", stored(u"255,0,0"), 4, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

struct PlaceCase {
    const char* name;
    std::uint32_t style;
    int left;   // of the placed text
    int right;
};

class LinkRectangle : public ::testing::TestWithParam<PlaceCase> {};

TEST_P(LinkRectangle, FollowsTheStaticsAlignment) {
    const PlaceCase& c = GetParam();
    const TextRect client{0, 0, 151, 13};
    const TextRect measured{0, 0, 60, 13};
    EXPECT_EQ(placeMeasuredText(client, measured, alignmentOfStatic(c.style)), (TextRect{c.left, 0, c.right, 13}));
}

INSTANTIATE_TEST_SUITE_P(
    Styles, LinkRectangle,
    ::testing::Values(PlaceCase{"Left", 0x0, 0, 60},
                      PlaceCase{"LeftWithNotify", 0x100, 0, 60},
                      // Half of 91 rounds toward zero.
                      PlaceCase{"Centred", 0x1, 45, 105},
                      PlaceCase{"Right", 0x2, 91, 151},
                      PlaceCase{"CentreBitWins", 0x3, 45, 105}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace corvid
