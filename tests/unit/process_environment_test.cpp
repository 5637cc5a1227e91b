#include "jvm/process_environment.h"

#include <gtest/gtest.h>

#include "config/config_keys.h"
#include "runtime/runtime_search.h"
#include "start/launcher.h"
#include "support/fake_platform.h"

namespace corvid {
namespace {

using testing::FakePlatform;
using testing::nativePath;

// Writes a list with ';' and '/' and gives it the platform's separators.
WideString native(WideView text) {
    WideString out = nativePath(text);
    for (char16_t& c : out) {
        if (c == u';') c = kSearchPathSeparator;
    }
    return out;
}

#ifdef _WIN32
constexpr char16_t kLibrary[] = u"C:/Runtime/bin/server/jvm.dll";
constexpr char16_t kHome[] = u"C:/Runtime";
constexpr char16_t kBin[] = u"C:/Runtime/bin";
#else
constexpr char16_t kLibrary[] = u"/opt/jdk/lib/server/libjvm.so";
constexpr char16_t kHome[] = u"/opt/jdk";
constexpr char16_t kBin[] = u"/opt/jdk/bin";
#endif

TEST(StripPathComponents, CutsBeforeTheLastSeparatorRepeatedly) {
    const WideString path = nativePath(u"C:/Runtime/bin/server/jvm.dll");
    EXPECT_EQ(stripPathComponents(path, 2), nativePath(u"C:/Runtime/bin"));
    EXPECT_EQ(stripPathComponents(path, 3), nativePath(u"C:/Runtime"));
    EXPECT_EQ(stripPathComponents(path, 6), u"C:");
    EXPECT_EQ(stripPathComponents(u"jvm.dll", 2), u"jvm.dll");
}

TEST(RuntimeHome, HomeAndBinFromTheLibraryPath) {
    EXPECT_EQ(runtimeHomeFolder(nativePath(kLibrary)), nativePath(kHome));
    EXPECT_EQ(runtimeBinFolder(nativePath(kLibrary)), nativePath(kBin));
#ifndef _WIN32
    // The Java 8 layout keeps the library one folder deeper.
    EXPECT_EQ(runtimeHomeFolder(u"/opt/jre8/lib/amd64/server/libjvm.so"), u"/opt/jre8");
    EXPECT_EQ(runtimeBinFolder(u"/opt/jre8/lib/amd64/server/libjvm.so"), u"/opt/jre8/bin");
#endif
}

class PrepareEnvironment : public ::testing::Test {
protected:
    PrepareEnvironment() {
        launcher.jvmLibraryPath = nativePath(kLibrary);
        fake.environment.variables[kSearchPathVariable] = native(u"/usr/bin;/bin");
    }

    WideString variable(const WideString& name) { return fake.environment.get(name).value_or(u"(unset)"); }

    FakePlatform fake;
    Trace trace;
    Launcher launcher{fake.platform, trace, {}};
};

TEST_F(PrepareEnvironment, PublishesTheRuntimeAndPutsItsBinFolderLast) {
    prepareEnvironment(launcher);
    EXPECT_EQ(variable(kJvmPathVariable), nativePath(kLibrary));
    EXPECT_EQ(variable(kJvmHomeVariable), nativePath(kHome));
    EXPECT_EQ(variable(kSearchPathVariable), native(u"/usr/bin;/bin;") + nativePath(kBin));
    EXPECT_TRUE(launcher.jvmOptions.empty());
}

TEST_F(PrepareEnvironment, SystemPathComesFirstWithOneSeparator) {
    fake.environment.variables[u"TOOLS"] = nativePath(u"/tools");
    for (const WideString systemPath : {u"%TOOLS%", u"%TOOLS%;"}) {
        launcher.systemPath = native(systemPath);
        fake.environment.variables[kSearchPathVariable] = native(u"/usr/bin");
        prepareEnvironment(launcher);
        EXPECT_EQ(variable(kSearchPathVariable), native(u"/tools;/usr/bin;") + nativePath(kBin)) << toUtf8(systemPath);
    }
}

TEST_F(PrepareEnvironment, LibraryPathOptionJoinsEveryPieceWithASeparator) {
    const WideString tail = native(u";") + nativePath(kHome) + nativePath(u"/lib");
    struct Case {
        WideString configured;
        WideString inheritedPath;
        WideString expected;
    };
    const Case cases[] = {
        {u"/app/native", u"/usr/bin", u"/app/native;/Apps/Tool/;.;/usr/bin"},
        {u"/app/native;", u"/usr/bin;", u"/app/native;/Apps/Tool/;.;/usr/bin"},
        {u"%NATIVE%", u"/usr/bin", u"/app/lib;/Apps/Tool/;.;/usr/bin"},
    };
    for (const Case& c : cases) {
        launcher.jvmOptions.clear();
        launcher.libraryPath = native(c.configured);
        fake.environment.variables = {{kSearchPathVariable, native(c.inheritedPath)}, {u"NATIVE", native(u"/app/lib")}};
        fake.process.module = {true, nativePath(u"/Apps/Tool/tool.exe"), 0};
        prepareEnvironment(launcher);
        ASSERT_EQ(launcher.jvmOptions.size(), 1u);
        EXPECT_EQ(launcher.jvmOptions[0], toNarrow(u"-Djava.library.path=" + native(c.expected) + tail))
            << toUtf8(c.configured);
    }
}

TEST_F(PrepareEnvironment, PublishesTheExecutablesFolderWithoutItsSeparatorOrNothing) {
    const struct {
        ModulePath module;
        const char16_t* expected;  // nullptr: not set
    } cases[] = {
        {{true, nativePath(u"C:/Apps/My Tool/tool.exe"), 0}, u"C:/Apps/My Tool"},
        // At a root the folder is empty, so "%CORVID_EXE_DIR%/app" is "/app".
        {{true, nativePath(u"/tool.exe"), 0}, u""},
        {{true, u"tool.exe", 0}, nullptr},
        // Reported where the path is needed, not here.
        {{false, {}, 5}, nullptr},
    };
    for (const auto& c : cases) {
        fake.environment.variables[kExecutableFolderVariable] = u"inherited";
        fake.process.module = c.module;
        publishExecutableFolder(launcher);
        EXPECT_EQ(variable(kExecutableFolderVariable), c.expected ? nativePath(c.expected) : u"inherited")
            << toUtf8(c.module.path);
        EXPECT_TRUE(fake.ui.boxes.empty());
    }
}

TEST_F(PrepareEnvironment, UnreadableModulePathIsReportedAndLeavesTheFolderOut) {
    launcher.libraryPath = nativePath(u"/app/native");
    fake.process.module = {false, {}, 5};
    prepareEnvironment(launcher);
    ASSERT_EQ(fake.ui.boxes.size(), 1u);
    EXPECT_EQ(fake.ui.boxes[0].text, u"Windows exception: failed to get the module path (errno = 5).\n");
    ASSERT_EQ(launcher.jvmOptions.size(), 1u);
    EXPECT_EQ(launcher.jvmOptions[0], toNarrow(u"-Djava.library.path=" + native(u"/app/native;.;/usr/bin;/bin;") +
                                               nativePath(kHome) + nativePath(u"/lib")));
}

}  // namespace
}  // namespace corvid

namespace corvid {
namespace {

// The real environment's expansion gives the whole result or fails (leaving
// the text as written); it never hands back a text cut to a system limit.
TEST(SystemEnvironmentExpansion, WholeOrNothing) {
    Environment& environment = systemEnvironment();
    const WideString big(30000, u'b');
    ASSERT_TRUE(environment.set(u"CORVID_TEST_BIG", big));
    const WideString plain(40000, u'p');
    const struct {
        const char* name;
        WideString text;
        WideString whole;
        bool cutOnWindows;
    } cases[] = {
        {"short", u"<%CORVID_TEST_BIG%>", u"<" + big + u">", false},
        {"result past 32,767 characters", u"%CORVID_TEST_BIG%%CORVID_TEST_BIG%", big + big, true},
        {"text past 32,767 characters", plain + u"%CORVID_TEST_BIG%", plain + big, true},
    };
    for (const auto& c : cases) {
        const std::optional<WideString> result = environment.expand(c.text);
#ifdef _WIN32
        EXPECT_EQ(result.has_value(), !c.cutOnWindows) << c.name;
#endif
        if (result) {
            EXPECT_EQ(result->size(), c.whole.size()) << c.name;
            EXPECT_TRUE(*result == c.whole) << c.name;
        }
    }
    environment.set(u"CORVID_TEST_BIG", u"");
}

}  // namespace
}  // namespace corvid
