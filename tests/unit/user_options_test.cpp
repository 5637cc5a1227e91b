#include "jvm/user_options.h"

#include <gtest/gtest.h>

#include "jvm/jvm_options.h"
#include "start/launcher.h"
#include "support/fake_platform.h"

namespace corvid {
namespace {

using testing::FakePlatform;
using testing::nativePath;

// The launcher's own path, for applications that restart themselves.
const std::string kExecutableProperty = toNarrow(u"-Dcorvid.executable=" + nativePath(u"C:/Apps/Tool/tool.exe"));
const std::string kLauncherProperty = "-Dsun.java.launcher=SUN_STANDARD";

TEST(UserOptions, OneWholeOptionALine) {
    const struct {
        const char16_t* content;
        WideList options;
    } cases[] = {
        {u"", {}},
        {u"-Xmx2g", {u"-Xmx2g"}},
        {u"# heap for the big projects\r\n\r\n  -Xmx2g \t\r\n-Duser.home=C:\\My Files\\x\n",
         {u"-Xmx2g", u"-Duser.home=C:\\My Files\\x"}},
        {u"  # indented comment\n-Dq=\"kept as written\"\n\n\n", {u"-Dq=\"kept as written\""}},
        {u"-Da=1 -Db=2\r-Dc=#3", {u"-Da=1 -Db=2", u"-Dc=#3"}},
    };
    for (const auto& c : cases) EXPECT_EQ(parseUserOptions(c.content), c.options) << toUtf8(c.content);
}

class AppendUserOptions : public ::testing::Test {
protected:
    void configure(const WideString& ini) {
        fake.profiles.files[nativePath(u"C:/Apps/Tool/tool.ini")] =
            u"[Class Path]\nClass Path=a.jar\n[Java Runtime Environment]\nVirtual Machine Parameters=-Xmx1g\n" + ini;
        fake.environment.variables = {{u"APPDATA", nativePath(u"C:/Users/u/AppData")},
                                      {u"XDG_CONFIG_HOME", nativePath(u"C:/Users/u/AppData")},
                                      {u"DATA", u"D:\\data"}};
        launcher.productName = u"Tool";
        launcher.productCode = u"1";
        launcher.mainClass = u"app/Main";
    }
    WideString optionsFile = nativePath(u"C:/Users/u/AppData/Tool/1/tool.vmoptions");
    FakePlatform fake;
    Trace trace;
    Launcher launcher{fake.platform, trace, {}};
};

TEST_F(AppendUserOptions, ComeAfterTheConfiguredOnesWithSharesAndReferences) {
    configure(u"User Options=yes\n");
    fake.files.contents[optionsFile] = "# mine\n-Xmx25P\n-Dwhere=%DATA%\\a b\n-Xss2m\n";
    ASSERT_EQ(buildJvmOptions(launcher), JvmOptionsResult::Built);
    EXPECT_EQ(launcher.jvmOptions, (JvmOptionList{"-Djava.class.path=a.jar", "-Xmx1g", "-Xmx2097152K",
                                                  "-Dwhere=D:\\data\\a b", "-Xss2m",
                                                  kExecutableProperty, "-Dsun.java.command=app.Main", kLauncherProperty}));
    EXPECT_EQ(launcher.threadStackSize, 2u << 20);
}

TEST_F(AppendUserOptions, NothingIsReadWhenOffForServicesOrWithoutAFile) {
    fake.files.contents[optionsFile] = "-Xmx2g\n";
    for (const WideString ini : {u"", u"User Options=no\n", u"User Options=YES\n[Application]\nApplication Type=service\n"}) {
        configure(ini);
        launcher.isService = ini.find(u"service") != WideString::npos;
        launcher.jvmOptions.clear();
        ASSERT_EQ(buildJvmOptions(launcher), JvmOptionsResult::Built);
        EXPECT_EQ(launcher.jvmOptions, (JvmOptionList{"-Djava.class.path=a.jar", "-Xmx1g", kExecutableProperty, "-Dsun.java.command=app.Main", kLauncherProperty}))
            << toUtf8(ini);
    }
    configure(u"User Options=Yes\n");
    fake.files.contents.clear();
    launcher.isService = false;
    launcher.jvmOptions.clear();
    ASSERT_EQ(buildJvmOptions(launcher), JvmOptionsResult::Built);
    EXPECT_EQ(launcher.jvmOptions.size(), 5u);
}

}  // namespace
}  // namespace corvid
