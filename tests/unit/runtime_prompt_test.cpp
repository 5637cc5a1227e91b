#include <gtest/gtest.h>

#include "runtime/runtime_prompt.h"
#include "runtime/runtime_selection.h"
#include "start/launcher.h"
#include "support/runtime_world.h"

namespace corvid {
namespace {

using Outcome = RuntimePromptResult::Outcome;
using testing::FakePlatform;
using testing::kServer;
using testing::nativePath;

// A start on which no earlier source finds a runtime.
struct NothingFound {
    FakePlatform fake;
    Trace trace;
    Launcher launcher{fake.platform, trace, {}};
    const WideString configFile = nativePath(u"C:/Apps/Tool/tool.ini");
    const WideString userFile = nativePath(u"/appdata/Tool Pro/{12}/tool.ini");

    NothingFound() {
        fake.environment.variables[u"APPDATA"] = nativePath(u"/appdata");
        fake.environment.variables[u"XDG_CONFIG_HOME"] = nativePath(u"/appdata");
        launcher.productName = u"Tool: Pro";
        launcher.productCode = u"{12}";
        launcher.minVersion = readLowerBound(u"11");
        launcher.maxVersion = readUpperBound(u"17");
        fake.files.existing.insert(nativePath(u"/picked/") + kServer);
        fake.runtimePrompt.folder = nativePath(u"/picked/");
    }
};

struct StoreCase {
    const char* name;
    Outcome answer;
    bool nt;
    bool service;
    bool moduleOk;
    bool toUserFile;    // else beside the executable
    bool written;
};

class RuntimeFromUser : public ::testing::TestWithParam<StoreCase> {};

TEST_P(RuntimeFromUser, RemembersThePickWhereTheNextStartReadsIt) {
    const StoreCase& c = GetParam();
    NothingFound s;
    s.fake.runtimePrompt.answer = c.answer;
    s.fake.process.nt = c.nt;
    s.launcher.isService = c.service;
    if (!c.moduleOk) s.fake.process.module = {false, {}, 5};
    const WideString library = selectRuntime(s.launcher);

    ASSERT_EQ(s.fake.runtimePrompt.questions.size(), 1u);
    EXPECT_EQ(library, c.answer == Outcome::Chosen ? nativePath(u"/picked/") + kServer : WideString());
    const WideString wanted = c.toUserFile ? s.userFile : s.configFile;
    const WideString other = c.toUserFile ? s.configFile : s.userFile;
    if (c.written) {
        ASSERT_EQ(s.fake.profiles.files.count(wanted), 1u);
        EXPECT_EQ(s.fake.profiles.read(wanted, u"Java Runtime Environment", u"JRE Path", 256), nativePath(u"/picked/"));
    } else {
        EXPECT_EQ(s.fake.profiles.files.count(wanted), 0u);
    }
    EXPECT_EQ(s.fake.profiles.files.count(other), 0u);
    // Only the per-user file's folders are made, and only for a write to it.
    const bool foldersMade = !s.fake.files.createdDirectories.empty();
    EXPECT_EQ(foldersMade, c.written && c.toUserFile);
    if (foldersMade) {
        EXPECT_EQ(s.fake.files.createdDirectories,
                  (WideList{nativePath(u"/appdata/Tool Pro"), nativePath(u"/appdata/Tool Pro/{12}")}));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, RuntimeFromUser,
    ::testing::Values(StoreCase{"OkToPerUserFile", Outcome::Chosen, true, false, true, true, true},
                      StoreCase{"ServiceBesideExecutable", Outcome::Chosen, true, true, true, false, true},
                      StoreCase{"NotNtBesideExecutable", Outcome::Chosen, false, false, true, false, true},
                      StoreCase{"NoConfigurationPathStillSucceeds", Outcome::Chosen, true, false, false, true, false},
                      StoreCase{"CancelWritesNothing", Outcome::Cancelled, true, false, true, true, false},
                      StoreCase{"FailedDialogWritesNothing", Outcome::Failed, true, false, true, true, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RuntimeFromUser, AnOkWithoutALibraryWritesNothing) {
    NothingFound s;
    s.fake.runtimePrompt.answer = Outcome::Chosen;
    s.fake.runtimePrompt.folder = nativePath(u"/empty/");
    EXPECT_EQ(selectRuntime(s.launcher), WideString());
    EXPECT_TRUE(s.fake.profiles.files.empty());
    EXPECT_TRUE(s.fake.files.createdDirectories.empty());
}

struct QuestionCase {
    const char* name;
    JvmType type;
    const char16_t* config;  // the configuration file's text
    const char16_t* message;
    const char16_t* downloadUrl;
};

class RuntimePromptQuestion : public ::testing::TestWithParam<QuestionCase> {};

TEST_P(RuntimePromptQuestion, AsksWithTheRequirementAndTheConfiguredPage) {
    const QuestionCase& c = GetParam();
    NothingFound s;
    s.launcher.jvmType = c.type;
    s.fake.profiles.files[s.configFile] = c.config;
    selectRuntime(s.launcher);
    ASSERT_EQ(s.fake.runtimePrompt.questions.size(), 1u);
    const auto& question = s.fake.runtimePrompt.questions[0];
    EXPECT_EQ(question.message, c.message);
    EXPECT_EQ(question.downloadUrl, c.downloadUrl);
    EXPECT_EQ(question.type, c.type);
    EXPECT_TRUE(s.fake.ui.boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Questions, RuntimePromptQuestion,
    ::testing::Values(
        QuestionCase{"ServerOnly", JvmType::ServerOnly, u"",
                     u"The Java Runtime Environment (JRE) was not found. Please  download and install a JRE with a "
                     u"server JVM (version between 11.0 and 17) from:",
                     u""},
        QuestionCase{"FavorServerWithOwnPage", JvmType::FavorServer,
                     u"[Java Runtime Environment]\nDownload URL = https://example.org/rt \n",
                     u"The Java Runtime Environment (JRE) was not found. Please  download and install a JRE "
                     u"(version between 11.0 and 17) from:",
                     u"https://example.org/rt"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace corvid
