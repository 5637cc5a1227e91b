#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/registry_bytes.h"
#include "ui/link_text.h"

namespace corvid {
namespace {

using testing::registryText;

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
        ColourCase{"Red", registryText(u"255,0,0"), kRegistryString, makeColour(255, 0, 0)},
        ColourCase{"ChannelOrder", registryText(u"1,2,3"), kRegistryString, makeColour(1, 2, 3)},
        ColourCase{"CutToEightBits", registryText(u"300,0,0"), kRegistryString, makeColour(44, 0, 0)},
        ColourCase{"ExpandableString", registryText(u"0,128,0"), kRegistryExpandString, makeColour(0, 128, 0)},
        ColourCase{"TwoNumbers", registryText(u"0,0"), kRegistryString, std::nullopt},
        ColourCase{"EmptyThird", registryText(u"0,0,"), kRegistryString, std::nullopt},
        ColourCase{"NoBytes", {}, kRegistryString, std::nullopt},
        // Eleven characters and the NUL fill the 24 bytes; one more does not fit.
        ColourCase{"ElevenCharacters", registryText(u"100,100,100"), kRegistryString, makeColour(100, 100, 100)},
        ColourCase{"TwelveCharacters", registryText(u" 100,100,100"), kRegistryString, std::nullopt},
        ColourCase{"BlanksAndSigns", registryText(u" +9,\t-2, 7x"), kRegistryString, makeColour(9, 254, 7)},
        ColourCase{"NoDigitsReadAsZero", registryText(u"a,b,c"), kRegistryString, makeColour(0, 0, 0)},
        ColourCase{"MinusOneFirst", registryText(u"-1,0,0"), kRegistryString, std::nullopt},
        ColourCase{"MinusOneSecond", registryText(u"0,-1,0"), kRegistryString, std::nullopt},
        ColourCase{"MinusOneThirdIsWhite", registryText(u"0,0,-1"), kRegistryString, makeColour(0, 0, 255)},
        ColourCase{"LongNumberCut", registryText(u"9999999,0,1"), kRegistryString, makeColour(0x7F, 0, 1)},
        ColourCase{"NotTerminated", registryText(u"255,0,0", false), kRegistryString, std::nullopt},
        ColourCase{"OddByteCount", {'1', 0, ',', 0, '2', 0, ',', 0, '3', 0, 0}, kRegistryString, std::nullopt},
        ColourCase{"TextEndsAtFirstNul", registryText(std::u16string(u"1,2\0,3", 6)), kRegistryString, std::nullopt},
        ColourCase{"BinaryType", registryText(u"255,0,0"), 3, std::nullopt},
        ColourCase{"NumberType", registryText(u"255,0,0"), 4, std::nullopt}),
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
