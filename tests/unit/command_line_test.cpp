#include <gtest/gtest.h>

#include "start/command_line.h"

namespace corvid {
namespace {

struct SplitCase {
    const char16_t* line;
    WideList expected;
};

class CommandLineSplit : public ::testing::TestWithParam<SplitCase> {};

TEST_P(CommandLineSplit, FollowsTheLaunchersOwnRules) { EXPECT_EQ(splitCommandLine(GetParam().line), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandLineSplit,
    ::testing::Values(
        SplitCase{u"", {}},
        SplitCase{u"tool.exe", {u"tool.exe"}},
        SplitCase{u"tool.exe a  b", {u"tool.exe", u"a", u"b"}},
        SplitCase{u"\"C:\\Program Files\\Tool\\tool.exe\" -nosplash \"two words\" x",
                  {u"C:\\Program Files\\Tool\\tool.exe", u"-nosplash", u"two words", u"x"}},
        // A backslash never escapes a quote.
        SplitCase{u"tool.exe \"C:\\dir\\\" x", {u"tool.exe", u"C:\\dir\\", u"x"}},
        // Quotes inside an unquoted argument are ordinary characters.
        SplitCase{u"one\"two three\"four", {u"one\"two", u"three\"four"}},
        // A closing quote ends the argument even without a space after it.
        SplitCase{u"\"one\"two", {u"one", u"two"}},
        SplitCase{u"tool \"\"", {u"tool", u""}},
        SplitCase{u"tool \"", {u"tool", u""}},
        SplitCase{u"tool \"open rest  of line", {u"tool", u"open rest  of line"}},
        // Only U+0020 separates; a tab is part of the argument.
        SplitCase{u"tool a\tb", {u"tool", u"a\tb"}},
        SplitCase{u"tool a   ", {u"tool", u"a"}}));

TEST(ParseCommandLine, DropsTheProgramNameHoweverItWasWritten) {
    EXPECT_EQ(parseCommandLine(u"C:\\Program Files\\tool.exe x"), (WideList{u"Files\\tool.exe", u"x"}));
    EXPECT_EQ(parseCommandLine(u"  \t tool.exe \r\n"), WideList{});
    EXPECT_EQ(parseCommandLine(u"tool.exe"), WideList{});
    EXPECT_EQ(parseCommandLine(u""), WideList{});
    EXPECT_EQ(parseCommandLine(u"\u3000tool.exe a\u3000"), WideList{u"a"});
}

TEST(ParseCommandLine, TakesPresplitArgumentsUnchanged) {
    ProcessArguments process{u"ignored \"x\"", WideList{u"a \"b\"", u""}};
    EXPECT_EQ(parseCommandLine(process), (WideList{u"a \"b\"", u""}));
    process.split.reset();
    EXPECT_EQ(parseCommandLine(process), WideList{u"x"});
}

TEST(NoSplashSwitch, IsExactAndStaysAmongTheArguments) {
    EXPECT_TRUE(hasNoSplashSwitch({u"a", u"-nosplash"}));
    EXPECT_TRUE(hasNoSplashSwitch({u"/nosplash", u"b"}));
    EXPECT_FALSE(hasNoSplashSwitch({u"-NoSplash"}));
    EXPECT_FALSE(hasNoSplashSwitch({u"--nosplash", u"nosplash", u"-nosplash "}));
    EXPECT_FALSE(hasNoSplashSwitch({}));
}

}  // namespace
}  // namespace corvid
