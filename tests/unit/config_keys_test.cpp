#include <gtest/gtest.h>

#include "config/config_keys.h"
#include "start/launcher.h"
#include "support/fake_platform.h"

namespace corvid {
namespace {

using testing::FakePlatform;
using testing::nativePath;

TEST(SplitAtSeparator, KeepsEmptyPiecesAndNeverTrims) {
    const struct {
        const char16_t* text;
        WideList expected;
    } cases[] = {
        {u"1.6;1.5", {u"1.6", u"1.5"}}, {u"1.6;", {u"1.6", u""}}, {u";1.6", {u"", u"1.6"}},
        {u"", {u""}},                   {u";", {u"", u""}},        {u" 1.6 ; 1.5", {u" 1.6 ", u" 1.5"}},
        {u"1.6", {u"1.6"}},
    };
    for (const auto& c : cases) EXPECT_EQ(splitAtSeparator(c.text, u";"), c.expected) << toUtf8(c.text);
}

TEST(JvmTypeKey, ComparesExactly) {
    EXPECT_EQ(parseJvmType(u"server"), JvmType::ServerOnly);
    EXPECT_EQ(parseJvmType(u"favor_server"), JvmType::FavorServer);
    EXPECT_EQ(parseJvmType(u"Server"), JvmType::Default);
    EXPECT_EQ(parseJvmType(u"client"), JvmType::Default);
    EXPECT_EQ(parseJvmType(u""), JvmType::Default);
}

TEST(JvmSourceKey, SetsTheSourceFlags) {
    const struct {
        const char16_t* text;
        bool favorSource, allowJdk, allowJre;
    } cases[] = {
        {u"", true, true, true},          {u"favor_JRE", true, false, true}, {u"favor_JDK", true, true, false},
        {u"only_JDK", false, true, false}, {u"only_JRE", false, false, true}, {u"favor_jre", false, false, false},
        {u"anything", false, false, false},
    };
    for (const auto& c : cases) {
        RuntimeSearchPolicy policy;
        applyJvmSource(c.text, policy);
        EXPECT_EQ(policy.favorSource, c.favorSource) << toUtf8(c.text);
        EXPECT_EQ(policy.allowJdk, c.allowJdk) << toUtf8(c.text);
        EXPECT_EQ(policy.allowJre, c.allowJre) << toUtf8(c.text);
    }
}

TEST(VmProviderKey, MatchesTheFirstRowIgnoringCase) {
    const struct {
        const char16_t* text;
        bool allowJRockit, favorJRockit, allowSun, favorSun;
    } cases[] = {
        {u"", false, false, true, true},           {u"jrockit", true, true, false, false},
        {u"JRockit", true, true, false, false},    {u"favor_sun", true, false, true, true},
        {u"FAVOR_JROCKIT", true, true, true, false}, {u"any", true, false, true, false},
        {u"sun", false, false, true, true},        {u"jrockit ", false, false, true, true},
    };
    for (const auto& c : cases) {
        RuntimeSearchPolicy policy;
        applyVmProvider(c.text, policy);
        EXPECT_EQ(policy.allowJRockit, c.allowJRockit) << toUtf8(c.text);
        EXPECT_EQ(policy.favorJRockit, c.favorJRockit) << toUtf8(c.text);
        EXPECT_EQ(policy.allowSun, c.allowSun) << toUtf8(c.text);
        EXPECT_EQ(policy.favorSun, c.favorSun) << toUtf8(c.text);
    }
}

class LoadConfiguration : public ::testing::Test {
protected:
    void writeConfig(const char16_t* text) { fake.profiles.files[configFile] = text; }

    FakePlatform fake;
    Trace trace;
    Launcher launcher{fake.platform, trace, {}};
    WideString configFile = nativePath(u"C:/Apps/Tool/tool.ini");
};

TEST_F(LoadConfiguration, ReadsEveryKeyIntoTheLauncher) {
    writeConfig(
        u"[Java Runtime Environment]\n"
        u"Minimum Version=1.6\nMaximum Version=any\nPreferred versions=1.8;17\n"
        u"JRE Path=jre\nJVM Type=favor_server\nJVM Source=only_JDK\nVM Provider=any\n"
        u"Main Class=com.example.app.Main\nSystem Path=%TOOLS%\nLibrary Path=native\n"
        u"[Application]\nApplication Type=service\nFailure Check=yES\nOverride WorkingDir=yes\n"
        u"[Product Information]\nProduct Code={42}\nProduct Name=Tool\n");
    ASSERT_TRUE(loadConfiguration(launcher));
    EXPECT_EQ(launcher.minVersion.parts, (std::array<std::int32_t, 4>{1, 6, 0, 0}));
    EXPECT_EQ(launcher.maxVersion.parts, JavaVersion::openUpper().parts);
    EXPECT_EQ(launcher.preferredVersions, (WideList{u"1.8", u"17"}));
    EXPECT_EQ(launcher.jrePath, u"jre");
    EXPECT_EQ(launcher.jvmType, JvmType::FavorServer);
    EXPECT_FALSE(launcher.policy.favorSource);
    EXPECT_TRUE(launcher.policy.allowJdk);
    EXPECT_TRUE(launcher.policy.allowJRockit);
    EXPECT_FALSE(launcher.policy.favorSun);
    EXPECT_EQ(launcher.mainClass, u"com/example/app/Main");
    EXPECT_EQ(launcher.systemPath, u"%TOOLS%");  // expanded later, when it is used
    EXPECT_EQ(launcher.libraryPath, u"native");
    EXPECT_TRUE(launcher.isService);
    EXPECT_TRUE(launcher.failureCheck);
    EXPECT_TRUE(launcher.overrideWorkingDir);
    EXPECT_EQ(launcher.productCode, u"{42}");
    EXPECT_EQ(launcher.productName, u"Tool");
    EXPECT_TRUE(fake.ui.boxes.empty());
}

TEST_F(LoadConfiguration, DefaultsWhenOnlyTheMainClassIsGiven) {
    writeConfig(u"[Java Runtime Environment]\nMain Class=Main\n");
    ASSERT_TRUE(loadConfiguration(launcher));
    EXPECT_EQ(launcher.minVersion.count, 0);
    EXPECT_EQ(launcher.maxVersion.parts, JavaVersion::openUpper().parts);  // no upper bound
    EXPECT_EQ(launcher.preferredVersions, WideList{u""});
    EXPECT_EQ(launcher.jvmType, JvmType::Default);
    EXPECT_TRUE(launcher.policy.favorSource && launcher.policy.allowJdk && launcher.policy.allowJre);
    EXPECT_TRUE(launcher.policy.allowSun && launcher.policy.favorSun);
    EXPECT_FALSE(launcher.policy.allowJRockit || launcher.policy.favorJRockit);
    EXPECT_FALSE(launcher.isService || launcher.failureCheck || launcher.overrideWorkingDir);
}

TEST_F(LoadConfiguration, MissingMainClassShows210AndStopsReading) {
    writeConfig(u"[Java Runtime Environment]\nMain Class=\nLibrary Path=x\n[Application]\nFailure Check=Yes\n");
    EXPECT_FALSE(loadConfiguration(launcher));
    ASSERT_EQ(fake.ui.boxes.size(), 1u);
    EXPECT_EQ(fake.ui.boxes[0].text, u"Main class was not specified in INI file.");
    EXPECT_FALSE(launcher.failureCheck);
    EXPECT_EQ(launcher.libraryPath, u"");
}

TEST_F(LoadConfiguration, AMainModuleOrJarTakesThePlaceOfTheMainClass) {
    const std::pair<WideString, MainForm> cases[] = {
        {u"Main Module=app/app.Main\n", MainForm::Module},
        {u"Main Jar=app.jar\n", MainForm::Jar},
        {u"Main Class=a.Main\nMain Jar=app.jar\nMain Module=app\n", MainForm::Module},
    };
    for (const auto& [keys, form] : cases) {
        writeConfig((u"[Java Runtime Environment]\n" + keys).c_str());
        EXPECT_TRUE(loadConfiguration(launcher)) << toUtf8(keys);
        EXPECT_EQ(launcher.mainForm(), form) << toUtf8(keys);
    }
    EXPECT_TRUE(fake.ui.boxes.empty());
}

TEST_F(LoadConfiguration, MissingFileIsNamedInsteadOfTheMainClass) {
    fake.ui.language = 0x0407;
    EXPECT_FALSE(loadConfiguration(launcher));
    ASSERT_EQ(fake.ui.boxes.size(), 1u);
    EXPECT_EQ(fake.ui.boxes[0].text, u"Die Konfigurationsdatei " + configFile + u" wurde nicht gefunden.");
}

TEST_F(LoadConfiguration, ExactWordsAreCaseSensitive) {
    writeConfig(u"[Java Runtime Environment]\nMain Class=M\nMinimum Version=Any\nJVM Type=Server\n"
                u"[Application]\nApplication Type=Service\nFailure Check=no\n");
    ASSERT_TRUE(loadConfiguration(launcher));
    EXPECT_EQ(launcher.minVersion.count, 0);
    EXPECT_EQ(launcher.jvmType, JvmType::Default);
    EXPECT_FALSE(launcher.isService);
    EXPECT_FALSE(launcher.failureCheck);
}

TEST_F(LoadConfiguration, JrePathComesFromTheUserFileWhenItExists) {
#ifdef _WIN32
    fake.environment.variables[u"APPDATA"] = u"C:\\Roaming";
    const WideString userFile = u"C:\\Roaming\\Tool\\{42}\\tool.ini";
#else
    fake.environment.variables[u"XDG_CONFIG_HOME"] = u"/cfg";
    const WideString userFile = u"/cfg/Tool/{42}/tool.ini";
#endif
    const char16_t* config =
        u"[Java Runtime Environment]\nMain Class=M\nJRE Path=beside\n"
        u"[Product Information]\nProduct Code={42}\nProduct Name=Tool\n";
    const struct {
        const char* name;
        bool userFileExists;
        const char16_t* userFileText;
        bool nt;
        const char16_t* applicationType;
        const char16_t* expected;
    } cases[] = {
        {"user file holds it", true, u"[Java Runtime Environment]\nJRE Path=mine\n", true, u"", u"mine"},
        {"user file without the key hides the other", true, u"[Other]\nx=1\n", true, u"", u""},
        {"no user file", false, u"", true, u"", u"beside"},
        {"service ignores the user file", true, u"[Java Runtime Environment]\nJRE Path=mine\n", true, u"service",
         u"beside"},
        {"not NT", true, u"[Java Runtime Environment]\nJRE Path=mine\n", false, u"", u"beside"},
    };
    for (const auto& c : cases) {
        fake.files.existing.clear();
        if (c.userFileExists) fake.files.existing.insert(userFile);
        if (c.userFileExists) {
            fake.profiles.files[userFile] = c.userFileText;
        } else {
            fake.profiles.files.erase(userFile);
        }
        fake.process.nt = c.nt;
        writeConfig((WideString(config) + u"[Application]\nApplication Type=" + c.applicationType + u"\n").c_str());
        ASSERT_TRUE(loadConfiguration(launcher)) << c.name;
        EXPECT_EQ(launcher.jrePath, c.expected) << c.name;
    }
}

}  // namespace
}  // namespace corvid
