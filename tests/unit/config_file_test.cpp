#include <gtest/gtest.h>

#include "config/config_file.h"
#include "start/launcher.h"
#include "support/fake_platform.h"

namespace corvid {
namespace {

using testing::FakePlatform;
using testing::nativePath;

TEST(ConfigFilePath, CutsAfterTheLastDotOfTheWholePath) {
    const struct {
        const char16_t* module;
        const char16_t* config;  // nullptr: none
    } cases[] = {
        {u"C:/Apps/Tool/tool.exe", u"C:/Apps/Tool/tool.ini"},
        {u"C:/Apps/my.tool.exe", u"C:/Apps/my.tool.ini"},
        {u"C:/Apps/tool.", u"C:/Apps/tool.ini"},
#ifdef _WIN32
        {u"C:/Tools 1.2/tool", u"C:/Tools 1.ini"},
        {u"C:/Apps/tool", nullptr},
#else
        {u"/opt/Tools 1.2/tool", u"/opt/Tools 1.2/tool.ini"},
        {u"/opt/app/tool", u"/opt/app/tool.ini"},
        {u"tool", u"tool.ini"},
#endif
    };
    for (const auto& c : cases) {
        const auto path = configFilePathFor(nativePath(c.module));
        if (c.config) {
            EXPECT_EQ(path, nativePath(c.config));
        } else {
            EXPECT_FALSE(path.has_value());
        }
    }
}

TEST(UserConfigFilePath, JoinsFolderNameCodeAndBaseName) {
    const struct {
        const char16_t* appData;
        const char16_t* name;
        const char16_t* code;
        const char16_t* module;
        const char16_t* expected;
    } cases[] = {
        {u"C:/Users/ann/AppData/Roaming", u"Tool: Pro?", u"{1234}", u"C:/Apps/tool.exe",
         u"C:/Users/ann/AppData/Roaming/Tool Pro/{1234}/tool.ini"},
        {u"R", u"a\\b?c\"d|e>f<g:h/i*j. k", u"c", u"C:/x/my.app.exe", u"R/abcdefghij. k/c/my.app.ini"},
        {u"R", u"", u"", u"C:/x/tool", u"R///tool.ini"},
        {u"", u"N", u"C", u"tool.exe", u"/N/C/tool.ini"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(userConfigFilePathFor(nativePath(c.appData), c.name, c.code, nativePath(c.module)),
                  nativePath(c.expected));
    }
}

class ConfigFileTest : public ::testing::Test {
protected:
    FakePlatform fake;
    Trace trace;
    Launcher launcher{fake.platform, trace, {}};
};

TEST_F(ConfigFileTest, ModulePathFailureShowsMessage202With208AndTheCode) {
    fake.process.module = {false, {}, 0x80000005u};
    EXPECT_FALSE(getConfigFilePath(launcher).has_value());
    ASSERT_EQ(fake.ui.boxes.size(), 1u);
    EXPECT_EQ(fake.ui.boxes[0].text, u"Windows exception: failed to get the module path (errno = -2147483643).\n");
    EXPECT_EQ(getUserConfigFilePath(launcher, true), u"");
    EXPECT_TRUE(fake.files.createdDirectories.empty());
}

#ifdef _WIN32
TEST_F(ConfigFileTest, PathWithoutDotFailsSilently) {
    fake.process.module.path = nativePath(u"C:/Apps/tool");
    EXPECT_FALSE(getConfigFilePath(launcher).has_value());
    EXPECT_TRUE(fake.ui.boxes.empty());
}
#endif

// A module path that fills the whole buffer was cut short: it names another
// file and must not be used, whatever error the system did or did not set.
TEST(ModulePathBuffer, APathThatFillsTheBufferIsAFailure) {
    const WideString fits(259, u'a');
    const WideString cut(260, u'a');
    const struct {
        const char* name;
        WideView written;
        std::uint32_t error;
        bool ok;
        std::uint32_t expectedError;
    } cases[] = {
        {"259 characters fit", fits, 0, true, 0},
        {"260 characters were cut, with the system's code", cut, 122, false, 122},
        {"260 characters were cut, no code set", cut, 0, false, 9999},
        {"nothing written", WideView(), 5, false, 5},
    };
    for (const auto& c : cases) {
        const ModulePath module = modulePathFromBuffer(c.written, 260, c.error, 9999);
        EXPECT_EQ(module.ok, c.ok) << c.name;
        EXPECT_EQ(module.error, c.expectedError) << c.name;
        EXPECT_EQ(module.path, c.ok ? WideString(c.written) : WideString()) << c.name;
    }
}

TEST_F(ConfigFileTest, ModuleFolderKeepsItsSeparator) {
    EXPECT_EQ(getModuleFolder(launcher), nativePath(u"C:/Apps/Tool/"));
    fake.process.module.path = u"tool.exe";
    EXPECT_EQ(getModuleFolder(launcher), u"tool.exe");
}

TEST_F(ConfigFileTest, UserFileFoldersAreCreatedInOrder) {
#ifdef _WIN32
    fake.environment.variables[u"APPDATA"] = u"C:\\Roaming";
    const WideString root = u"C:\\Roaming";
#else
    fake.environment.variables[u"XDG_CONFIG_HOME"] = u"/home/ann/.config";
    const WideString root = u"/home/ann/.config";
#endif
    launcher.productName = u"My:App";
    launcher.productCode = u"42";
    const WideString sep(1, kPathSeparator);
    EXPECT_EQ(getUserConfigFilePath(launcher, true), root + sep + u"MyApp" + sep + u"42" + sep + u"tool.ini");
    EXPECT_EQ(fake.files.createdDirectories, (WideList{root + sep + u"MyApp", root + sep + u"MyApp" + sep + u"42"}));
}

#ifndef _WIN32
TEST_F(ConfigFileTest, LinuxUserFilesDefaultToDotConfigUnderHome) {
    fake.environment.variables[u"HOME"] = u"/home/bob";
    EXPECT_EQ(getUserConfigFilePath(launcher, false), u"/home/bob/.config///tool.ini");
}
#endif

TEST_F(ConfigFileTest, ExistenceTestRejectsLongPaths) {
    const WideString longPath(260, u'a');
    fake.files.existing.insert(longPath);
    fake.files.existing.insert(longPath.substr(1));
    EXPECT_FALSE(configFileExists(fake.platform, longPath));
    EXPECT_TRUE(configFileExists(fake.platform, longPath.substr(1)));
}

TEST_F(ConfigFileTest, ReadDoublesTheBufferWhileAValueMayBeCut) {
    const WideString file = nativePath(u"C:/Apps/Tool/tool.ini");
    const struct {
        std::size_t length;
        std::vector<std::size_t> capacities;
    } cases[] = {{254, {256}}, {255, {256, 512}}, {300, {256, 512}}, {511, {256, 512, 1024}}, {0, {256}}};
    for (const auto& c : cases) {
        fake.profiles.readCapacities.clear();
        const WideString value(c.length, u'x');
        fake.profiles.files[file] = u"[S]\nk=" + value;
        EXPECT_EQ(readConfigValue(fake.platform, file, u"S", u"k"), value);
        EXPECT_EQ(fake.profiles.readCapacities, c.capacities) << c.length;
    }
}

}  // namespace
}  // namespace corvid
