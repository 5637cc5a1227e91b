#include <gtest/gtest.h>

#include "jvm/java_launch.h"
#include "launcher/entry.h"
#include "jvm/jvm_options.h"
#include "jvm/process_environment.h"
#include "start/launcher.h"
#include "support/fake_platform.h"

namespace corvid {
namespace {

using testing::FakePlatform;
using testing::nativePath;

ProcessArguments commandLine(const char16_t* text) { return {text, std::nullopt}; }

TEST(LauncherStart, FailedInitialisationEndsWithMinusOne) {
    const struct {
        const char* name;
        const char16_t* module;
        const char16_t* config;
        std::vector<WideString> boxes;
    } cases[] = {
        {"main class missing", u"C:/Apps/tool.exe", u"[Java Runtime Environment]\nMinimum Version=1.6\n",
         {u"Main class was not specified in INI file."}},
        {"no configuration file: named", u"C:/Apps/tool.exe", nullptr,
         {u"The configuration file " + nativePath(u"C:/Apps/tool.ini") + u" was not found."}},
#ifdef _WIN32
        {"path without a dot shows nothing", u"C:/Apps/tool", u"[Java Runtime Environment]\nMain Class=M\n", {}},
#endif
    };
    for (const auto& c : cases) {
        FakePlatform fake;
        fake.process.module.path = nativePath(c.module);
        if (c.config) fake.profiles.files[nativePath(u"C:/Apps/tool.ini")] = c.config;
        EXPECT_EQ(runLauncher(fake.platform, commandLine(u"tool.exe a")), -1) << c.name;
        std::vector<WideString> shown;
        for (const auto& box : fake.ui.boxes) shown.push_back(box.text);
        EXPECT_EQ(shown, c.boxes) << c.name;
    }
}

TEST(LauncherStart, ModulePathFailureIsReportedOnce) {
    FakePlatform fake;
    fake.process.module = {false, {}, 5};
    EXPECT_EQ(runLauncher(fake.platform, commandLine(u"tool.exe")), -1);
    ASSERT_EQ(fake.ui.boxes.size(), 1u);
    EXPECT_EQ(fake.ui.boxes[0].text, u"Windows exception: failed to get the module path (errno = 5).\n");
}

TEST(LauncherStart, ArgumentsAreSplitOnceBeforeAnythingElse) {
    FakePlatform fake;
    Trace trace;
    Launcher launcher(fake.platform, trace, commandLine(u"\"C:\\A B\\tool.exe\" -nosplash \"two words\""));
    launcher.initialize();
    EXPECT_EQ(launcher.arguments, (WideList{u"-nosplash", u"two words"}));
    launcher.shutdown();
    EXPECT_TRUE(launcher.arguments.empty());
}

TEST(WorkingDirOverride, ChangesToTheExecutablesFolderOnlyWhenItCan) {
    const struct {
        ModulePath module;
        std::vector<WideString> changes;
    } cases[] = {
        {{true, nativePath(u"C:/Apps/Tool/tool.exe"), 0}, {nativePath(u"C:/Apps/Tool")}},
        {{true, nativePath(u"/tool.exe"), 0}, {}},
        {{true, u"tool.exe", 0}, {}},
        {{false, {}, 2}, {}},
    };
    for (const auto& c : cases) {
        FakePlatform fake;
        fake.process.module = c.module;
        fake.process.directoryChangeSucceeds = false;  // a failure is ignored
        Trace trace;
        Launcher launcher(fake.platform, trace, {});
        applyWorkingDirOverride(launcher);
        EXPECT_EQ(fake.process.directoryChanges, c.changes);
        EXPECT_TRUE(fake.ui.boxes.empty());
    }
}

TEST(AppUserModelId, IsSetWhenConfiguredBeforeTheRuntimeIsSelected) {
    for (const auto& [line, expected] : {std::pair<WideString, WideList>{u"App User Model ID=Acme.MyApp.2\n", {u"Acme.MyApp.2"}},
                                         std::pair<WideString, WideList>{u"App User Model ID=\n", {}},
                                         std::pair<WideString, WideList>{u"", {}}}) {
        FakePlatform fake;
        fake.profiles.files[nativePath(u"C:/Apps/Tool/tool.ini")] =
            u"[Java Runtime Environment]\nMain Class=M\n[Application]\n" + line;
        Trace trace;
        Launcher launcher(fake.platform, trace, {});
        // No runtime is found: the id is set all the same.
        EXPECT_FALSE(launcher.initialize());
        EXPECT_EQ(fake.process.appUserModelIds, expected);
    }
}

// Whatever the current directory, %CORVID_EXE_DIR% names the application's
// files in the keys that take paths, without changing the directory.
TEST(ExecutableFolder, NamesTheApplicationsFilesInEveryPath) {
    FakePlatform fake;
    // No drive letter: Linux lists paths with ':'.
    fake.process.module = {true, nativePath(u"/Apps/Tool/tool.exe"), 0};
    fake.profiles.files[nativePath(u"/Apps/Tool/tool.ini")] = nativePath(
        u"[Java Runtime Environment]\nMain Class=M\n"
        u"Virtual Machine Parameters=--module-path=%CORVID_EXE_DIR%/mods -Dx=%CORVID_EXE_DIR%\n"
        u"Library Path=%CORVID_EXE_DIR%/native\n"
        u"[Class Path]\nClass Path=%CORVID_EXE_DIR%/lib/*\n"
        u"[Application]\nOutput File=%CORVID_EXE_DIR%/out.txt\n");
    fake.files.existing.insert(nativePath(u"/Apps/Tool/lib"));
    fake.files.contents[nativePath(u"/Apps/Tool/lib/b.jar")] = "";
    fake.files.contents[nativePath(u"/Apps/Tool/lib/a.jar")] = "";
    Trace trace;
    Launcher launcher(fake.platform, trace, {});
    // No runtime is found, but the folder is published before the selection.
    EXPECT_FALSE(launcher.initialize());
    EXPECT_TRUE(fake.process.directoryChanges.empty());
    launcher.jvmLibraryPath = nativePath(u"C:/rt/bin/server/jvm.dll");
    prepareEnvironment(launcher);
    ASSERT_EQ(buildJvmOptions(launcher), JvmOptionsResult::Built);
    const std::string folder = toNarrow(nativePath(u"/Apps/Tool"));
    const char list = static_cast<char>(kSearchPathSeparator);
    const char separator = static_cast<char>(kPathSeparator);
    ASSERT_GE(launcher.jvmOptions.size(), 4u);
    EXPECT_EQ(launcher.jvmOptions[0].rfind("-Djava.library.path=" + folder + separator + "native" + list, 0), 0u)
        << launcher.jvmOptions[0];
    EXPECT_EQ(launcher.jvmOptions[1], "-Djava.class.path=" + folder + separator + "lib" + separator + "a.jar" + list +
                                          folder + separator + "lib" + separator + "b.jar");
    EXPECT_EQ(launcher.jvmOptions[2], "--module-path=" + folder + separator + "mods");
    EXPECT_EQ(launcher.jvmOptions[3], "-Dx=" + folder);
    EXPECT_EQ(launcher.outputFile, nativePath(u"/Apps/Tool/out.txt"));
}

TEST(WorkingDirOverride, HappensBeforeTheRuntimeIsSelected) {
    FakePlatform fake;
    fake.profiles.files[nativePath(u"C:/Apps/Tool/tool.ini")] =
        u"[Java Runtime Environment]\nMain Class=M\n[Application]\nOverride WorkingDir=YES\n";
    Trace trace;
    Launcher launcher(fake.platform, trace, {});
    launcher.initialize();
    EXPECT_EQ(fake.process.directoryChanges, WideList{nativePath(u"C:/Apps/Tool")});
}

// Windows loads a relative library path along the DLL search path, which has
// no current directory: the JVM library is loaded, and announced to the
// program, by the full path of what the selection found.
TEST(RelativeJrePath, IsLoadedAndPublishedAsAFullPath) {
    FakePlatform fake;
    fake.profiles.files[nativePath(u"C:/Apps/Tool/tool.ini")] =
        u"[Java Runtime Environment]\nMain Class=M\nJRE Path=jre\n";
#ifdef _WIN32
    const WideString found = u"jre\\bin\\client\\jvm.dll";
#else
    const WideString found = u"jre/lib/client/libjvm.so";
#endif
    fake.files.existing.insert(found);
    const WideString full = fake.process.currentDirectory + found;
    std::string traced;
    Trace trace{std::make_unique<testing::CollectingOutput>(traced)};
    Launcher launcher(fake.platform, trace, {});
    ASSERT_TRUE(launcher.initialize());
    prepareEnvironment(launcher);
    loadJvmLibrary(launcher);
    EXPECT_EQ(fake.libraries.loaded, WideList{full});
    EXPECT_EQ(fake.environment.variables[u"TAV_JVM_PATH"], full);
    EXPECT_NE(traced.find("JVM library " + toUtf8(found) + " is " + toUtf8(full)), std::string::npos) << traced;
}

}  // namespace
}  // namespace corvid
