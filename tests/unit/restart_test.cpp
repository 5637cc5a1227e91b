#include <gtest/gtest.h>

#include "config/config_keys.h"
#include "jvm/process_environment.h"
#include "jvm/restart.h"
#include "start/launcher.h"
#include "support/fake_platform.h"

namespace corvid {
namespace {

using namespace std::chrono_literals;
using testing::FakePlatform;
using testing::nativePath;

TEST(RestartExitCodeKey, AWholeNumberOrOff) {
    const struct {
        const char16_t* text;
        std::optional<std::int32_t> expected;
    } cases[] = {
        {u"9", 9},   {u"-1", -1},    {u"+3", 3},     {u"2147483647", INT32_MAX}, {u"-2147483648", INT32_MIN},
        {u"", {}},   {u"nine", {}},  {u"9 ", {}},    {u"2147483648", {}},        {u"0x9", {}},
        {u"-", {}},  {u"99999999999", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(parseExitCode(c.text), c.expected) << toUtf8(c.text);
}

TEST(RestartHandover, ReadsBackWhatWasWrittenAndNothingElse) {
    const auto back = parseRestartHandover(formatRestartHandover({2, 4242}));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->quickInARow, 2u);
    EXPECT_EQ(back->predecessor, 4242u);
    for (const char16_t* bad : {u"", u"2", u"2:", u":4242", u"x:1", u"1:2:3", u"-1:5", u"1234567890:1"}) {
        EXPECT_FALSE(parseRestartHandover(bad)) << toUtf8(bad);
    }
}

TEST(RestartGuard, AQuickEndCountsALongRunStartsAfresh) {
    const struct {
        unsigned before;
        std::chrono::milliseconds ranFor;
        bool restart;
        unsigned after;
    } cases[] = {
        {0, 10ms, true, 1},   {2, 999ms, true, 3},  {3, 10ms, false, 4},
        {3, 1000ms, true, 0}, {0, 5000ms, true, 0}, {100, 2s, true, 0},
    };
    for (const auto& c : cases) {
        const RestartDecision decision = decideRestart(c.before, c.ranFor);
        EXPECT_EQ(decision.restart, c.restart) << c.before << " " << c.ranFor.count();
        EXPECT_EQ(decision.quickInARow, c.after) << c.before << " " << c.ranFor.count();
    }
}

class Restart : public ::testing::Test {
protected:
    FakePlatform fake;
    Trace trace;
    Launcher launcher{fake.platform, trace, {u"tool.exe \"a b\" c", std::nullopt}};
};

TEST_F(Restart, TheKeyIsReadForApplicationsOnly) {
    const struct {
        const char16_t* ini;
        std::optional<std::int32_t> expected;
    } cases[] = {
        {u"[Application]\nRestart Exit Code=9\n", 9},
        {u"[Application]\nRestart Exit Code=soon\n", {}},
        {u"[Application]\nRestart Exit Code=9\nApplication Type=service\n", {}},
    };
    for (const auto& c : cases) {
        fake.profiles.files[nativePath(u"C:/Apps/Tool/tool.ini")] =
            WideString(u"[Java Runtime Environment]\nMain Class=Main\n") + c.ini;
        launcher.restart = {};
        ASSERT_TRUE(loadConfiguration(launcher)) << toUtf8(c.ini);
        EXPECT_EQ(launcher.restart.exitCode, c.expected) << toUtf8(c.ini);
    }
}

TEST_F(Restart, StartsTheExecutableAgainOnceWithItsArgumentsAndTheCount) {
    launcher.restart.exitCode = 9;
    launcher.restart.quickInARow = 1;
    restartAfterExit(launcher, 9);  // main never ran: a failed start
    EXPECT_TRUE(fake.process.startedAgain.empty());
    programStarting(launcher);
    restartAfterExit(launcher, 0);
    EXPECT_TRUE(fake.process.startedAgain.empty());
    restartAfterExit(launcher, 9);
    restartAfterExit(launcher, 9);
    ASSERT_EQ(fake.process.startedAgain.size(), 1u);
    const auto& again = fake.process.startedAgain[0];
    EXPECT_EQ(again.path, nativePath(u"C:/Apps/Tool/tool.exe"));
    EXPECT_EQ(again.arguments.commandLine, u"tool.exe \"a b\" c");
    EXPECT_EQ(again.name, u"CORVID_RESTART");
    EXPECT_EQ(again.value, u"2:4242");
}

// The start rewrites its search path and publishes the runtime; a restart
// that inherited that would prepend and append to it again each time.
TEST_F(Restart, GetsTheEnvironmentTheStartGot) {
    fake.environment.variables = {{u"CORVID_RESTART", u"0:77"}, {kSearchPathVariable, nativePath(u"/usr/bin")},
                                  {u"HOME", nativePath(u"/home/ada")}};
    fake.profiles.files[nativePath(u"C:/Apps/Tool/tool.ini")] =
        u"[Java Runtime Environment]\nMain Class=Main\nSystem Path=" + nativePath(u"/tools") +
        u"\n[Application]\nRestart Exit Code=9\n";
    launcher.initialize();  // no runtime is found; the environment is what matters
    launcher.jvmLibraryPath = nativePath(u"/jdk/lib/server/libjvm.so");
    prepareEnvironment(launcher);
    ASSERT_NE(fake.environment.get(kSearchPathVariable), nativePath(u"/usr/bin"));
    programStarting(launcher);
    restartAfterExit(launcher, 9);
    ASSERT_EQ(fake.process.startedAgain.size(), 1u);
    const testing::FakeProcess::Variables expected = {{kSearchPathVariable, nativePath(u"/usr/bin")},
                                                      {u"HOME", nativePath(u"/home/ada")}};
    EXPECT_EQ(fake.process.startedAgain[0].environment, expected);
}

TEST_F(Restart, ARestartedStartTakesTheHandoverOutAndWaitsForTheOneBefore) {
    fake.environment.variables[u"CORVID_RESTART"] = u"2:77";
    takeRestartHandover(launcher);
    EXPECT_FALSE(fake.environment.get(u"CORVID_RESTART"));
    EXPECT_EQ(launcher.restart.quickInARow, 2u);
    EXPECT_EQ(fake.process.waitedFor, (std::vector<std::uint32_t>{77}));

    fake.environment.variables[u"CORVID_RESTART"] = u"garbage";
    launcher.restart.quickInARow = 0;
    takeRestartHandover(launcher);
    EXPECT_FALSE(fake.environment.get(u"CORVID_RESTART"));
    EXPECT_EQ(launcher.restart.quickInARow, 0u);
    EXPECT_EQ(fake.process.waitedFor.size(), 1u);
}

}  // namespace
}  // namespace corvid
