#include "jvm/jvm_options.h"

#include <gtest/gtest.h>

#include "jvm/process_environment.h"
#include "start/launcher.h"
#include "support/fake_platform.h"

namespace corvid {
namespace {

using testing::FakePlatform;
using testing::nativePath;

// The launcher's own path, for applications that restart themselves.
const std::string kExecutableProperty = toNarrow(u"-Dcorvid.executable=" + nativePath(u"C:/Apps/Tool/tool.exe"));
const std::string kLauncherProperty = "-Dsun.java.launcher=SUN_STANDARD";

TEST(SplitVmParameters, SplitsAtSpacesOutsideClosedQuotes) {
    struct Case {
        WideString text;
        WideList tokens;
    };
    const Case cases[] = {
        {u"", {}},
        {u"   ", {}},
        {u"-Xmx512m", {u"-Xmx512m"}},
        {u"-Xmx512m  -Dx=\"a b\" ", {u"-Xmx512m", u"-Dx=\"a b\""}},
        {u"  -Xmx1m -Xms1m", {u"-Xmx1m", u"-Xms1m"}},
        // An unclosed quote protects nothing.
        {u"-Dx=\"a b", {u"-Dx=\"a", u"b"}},
        // Tabs are ordinary characters.
        {u"-Da=1\t-Db=2", {u"-Da=1\t-Db=2"}},
        {u"-Dp=\"C:/Program Files/x\" -Dq=1", {u"-Dp=\"C:/Program Files/x\"", u"-Dq=1"}},
        // A doubled closing quote belongs to the pair it closes.
        {u"-Dq=\"a \"\"b\" c", {u"-Dq=\"a \"\"b\"", u"c"}},
        {u"\"a b\"\"c d\" e", {u"\"a b\"\"c", u"d\"", u"e"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(splitVmParameters(c.text), c.tokens) << toUtf8(c.text);
    }
}

TEST(RemoveQuotes, RemovesPairsAndKeepsOneOfADoubledClosingQuote) {
    const std::pair<WideString, WideString> cases[] = {
        {u"plain", u"plain"},
        {u"\"abc\"", u"abc"},
        {u"-Dapp.dir=\"C:\\Program Files\\App\"", u"-Dapp.dir=C:\\Program Files\\App"},
        {u"a\"b", u"a\"b"},
        {u"\"a\"b\"c\"", u"abc"},
        {u"\"\"", u""},
        {u"\"a\"\"", u"a\""},
        {u"-Dq=\"a \"\"b\"", u"-Dq=a \"b\""},
        {u"x\"\"\"\"y", u"x\"\"y"},
    };
    for (const auto& [token, expected] : cases) {
        WideString text = token;
        removeQuotes(text);
        EXPECT_EQ(text, expected) << toUtf8(token);
    }
}

TEST(ParseNumberList, ReadsDigitsAndColonsFromTheFirstOfThem) {
    NumberList list = parseNumberList(u"-Xmx50:0:2048P");
    EXPECT_EQ(list.start, 4u);
    EXPECT_EQ(list.numbers, (std::vector<std::uint64_t>{50, 0, 2048}));
    list = parseNumberList(u"-Xmx:7P");
    EXPECT_EQ(list.start, 4u);
    EXPECT_EQ(list.numbers, (std::vector<std::uint64_t>{0, 7}));
    list = parseNumberList(u"-XmxP");
    EXPECT_EQ(list.start, 5u);
    EXPECT_TRUE(list.numbers.empty());
}

TEST(MemoryPercent, RecognisesOnlyTheThreeOptionsWithAShareSuffix) {
    for (const WideString token : {u"-Xmx50P", u"-Xms10p", u"-Xss1T", u"-Xmx5t"}) {
        EXPECT_TRUE(isMemoryPercentOption(token)) << toUtf8(token);
    }
    for (const WideString token : {u"-xmx50P", u"-Xmx50%", u"-Xmx512m", u"-XmnP", u"-Dx=P", u"-XmxP2"}) {
        EXPECT_FALSE(isMemoryPercentOption(token)) << toUtf8(token);
    }
}

TEST(MemoryPercent, SharesOfPhysicalAndVirtualMemoryInKilobytes) {
    struct Case {
        std::uint64_t physical;
        WideString token;
        WideString expected;
    };
    const std::uint64_t gib = std::uint64_t{1} << 30;
    const Case cases[] = {
        {8 * gib, u"-Xmx50P", u"-Xmx4194304K"},
        {8 * gib, u"-Xmx33P", u"-Xmx2768240K"},
        {8 * gib, u"-Xmx50:0:2048P", u"-Xmx2097152K"},
        // The maximum cuts to 1048576, then the minimum raises it again.
        {8 * gib, u"-Xmx50:4096:1024P", u"-Xmx4194304K"},
        {2 * gib, u"-Xms10:512P", u"-Xms524288K"},
        {8 * gib, u"-Xmx50p", u"-Xmx4194304K"},
        // 1% of 128 TiB of address space.
        {8 * gib, u"-Xmx1T", u"-Xmx1374389534K"},
        // A share too large for 64 bits saturates instead of overflowing.
        {8 * gib, u"-Xmx100000000000000000000P", u"-Xmx18446744073709551615K"},
        // No number at all: the whole token is the prefix and the share is 0.
        // Kept so: the JVM refuses the option either way, with its own message.
        {8 * gib, u"-XmxP", u"-XmxP0K"},
    };
    for (const Case& c : cases) {
        testing::FakeMemory memory;
        memory.memory = {c.physical, std::uint64_t{128} << 40};
        WideString token = c.token;
        applyMemoryPercent(token, memory);
        EXPECT_EQ(token, c.expected) << toUtf8(c.token);
    }
}

TEST(ParseStackSize, AcceptsOneNumberWithAnOptionalUnit) {
    const std::pair<WideString, std::optional<std::uint64_t>> cases[] = {
        {u"512k", 524288},
        {u"2m", 2097152},
        {u"2M", 2097152},
        {u"1g", std::uint64_t{1} << 30},
        {u"1048576", 1048576},
        {u"=1m", std::nullopt},
        {u"", std::nullopt},
        {u"k", std::nullopt},
        {u"10:20", std::nullopt},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(parseStackSize(text), expected) << toUtf8(text);
    }
}

TEST(JoinOptionValues, JavaTwoTokenFormsBecomeOneToken) {
    struct Case {
        WideList tokens;
        WideList joined;
        std::optional<WideString> dangling;
    };
    const Case cases[] = {
        {{u"-p", u"mods", u"-Xmx1m"}, {u"--module-path=mods", u"-Xmx1m"}, {}},
        {{u"--module-path", u"a"}, {u"--module-path=a"}, {}},
        {{u"--upgrade-module-path", u"u"}, {u"--upgrade-module-path=u"}, {}},
        {{u"--add-modules", u"ALL-SYSTEM"}, {u"--add-modules=ALL-SYSTEM"}, {}},
        {{u"--limit-modules", u"java.base"}, {u"--limit-modules=java.base"}, {}},
        {{u"--add-exports", u"m/p=ALL-UNNAMED"}, {u"--add-exports=m/p=ALL-UNNAMED"}, {}},
        {{u"--add-opens", u"java.base/java.lang=ALL-UNNAMED"}, {u"--add-opens=java.base/java.lang=ALL-UNNAMED"}, {}},
        {{u"--add-reads", u"a=b"}, {u"--add-reads=a=b"}, {}},
        {{u"--patch-module", u"m=p.jar"}, {u"--patch-module=m=p.jar"}, {}},
        {{u"--enable-native-access", u"ALL-UNNAMED"}, {u"--enable-native-access=ALL-UNNAMED"}, {}},
        // The value is whatever follows, as java takes it.
        {{u"--add-modules", u"-p", u"x"}, {u"--add-modules=-p", u"x"}, {}},
        // One-token forms and near names pass unchanged.
        {{u"--add-opens=a=b", u"-P", u"--add-open", u"-p=x"}, {u"--add-opens=a=b", u"-P", u"--add-open", u"-p=x"}, {}},
        {{u"-Xmx1m", u"--add-opens"}, {u"-Xmx1m", u"--add-opens"}, u"--add-opens"},
        {{u"-p"}, {u"-p"}, u"-p"},
    };
    for (const Case& c : cases) {
        WideList tokens = c.tokens;
        EXPECT_EQ(joinOptionValues(tokens, 0), c.dangling) << toUtf8(c.tokens.front());
        if (!c.dangling) {
            EXPECT_EQ(tokens, c.joined) << toUtf8(c.tokens.front());
        }
    }
}

TEST(ExpandClassPathWildcards, AFolderWildcardIsItsJarsInNameOrder) {
    testing::FakeFileSystem files;
    const WideString lib = nativePath(u"app/lib/");
    const WideString libFolder = nativePath(u"app/lib");
    files.existing = {libFolder, lib + u"dir.jar", u".", nativePath(u"empty")};
    for (const WideString name : {u"b.jar", u"a.jar", u"notes.txt", u"C.JAR"}) files.contents[lib + name] = "x";
    files.contents[WideString(u".") + kPathSeparator + u"here.jar"] = "x";
    const WideString sep(1, kSearchPathSeparator);
    struct Case {
        WideString classPath;
        WideString expected;
    };
    const Case cases[] = {
        {lib + u"*", lib + u"C.JAR" + sep + lib + u"a.jar" + sep + lib + u"b.jar"},
        {u"x.jar" + sep + u"*" + sep + u"y.jar", u"x.jar" + sep + u"here.jar" + sep + u"y.jar"},
        // Not a folder, not a wildcard of a folder, or an empty folder.
        {nativePath(u"missing/*"), nativePath(u"missing/*")},
        {nativePath(u"app/lib*"), nativePath(u"app/lib*")},
        {nativePath(u"app/lib/*.jar"), nativePath(u"app/lib/*.jar")},
        {u"a.jar" + sep + nativePath(u"empty/*"), u"a.jar"},
        {u"", u""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(expandClassPathWildcards(files, c.classPath, kSearchPathSeparator), c.expected) << toUtf8(c.classPath);
    }
}

TEST(TakeLauncherOptions, ClassPathAndSplashLeaveTheTokensAndOtherOptionsKeepTheirValues) {
    using ClassPaths = std::vector<std::pair<WideString, WideString>>;
    const struct {
        WideList tokens;
        WideList kept;
        ClassPaths classPaths;
        WideList splash;
        std::optional<WideString> dangling;
    } cases[] = {
        {{u"-Xmx1m", u"-cp", u"a b.jar", u"-Dx=1"}, {u"-Xmx1m", u"-Dx=1"}, {{u"-cp", u"a b.jar"}}, {}, {}},
        {{u"-classpath", u"a", u"--class-path", u"b", u"--class-path=c"}, {},
         {{u"-classpath", u"a"}, {u"--class-path", u"b"}, {u"--class-path", u"c"}}, {}, {}},
        // The value of another two-token form is never an option of its own.
        {{u"--add-opens", u"-cp", u"x"}, {u"--add-opens", u"-cp", u"x"}, {}, {}, {}},
        {{u"-p", u"-splash:s.png"}, {u"-p", u"-splash:s.png"}, {}, {}, {}},
        // And a class path takes whatever follows.
        {{u"-cp", u"--add-opens", u"-Dy"}, {u"-Dy"}, {{u"-cp", u"--add-opens"}}, {}, {}},
        {{u"-splash:s.png", u"-Dsplash:x", u"-splash:", u"-splash"}, {u"-Dsplash:x", u"-splash"}, {}, {u"s.png", u""}, {}},
        // Letter case counts, as for java.
        {{u"-CP", u"x", u"-Classpath", u"y"}, {u"-CP", u"x", u"-Classpath", u"y"}, {}, {}, {}},
        {{u"-Xmx1m", u"-classpath"}, {u"-Xmx1m"}, {}, {}, u"-classpath"},
        {{}, {}, {}, {}, {}},
    };
    for (const auto& c : cases) {
        WideList tokens = c.tokens;
        const LauncherOptions taken = takeLauncherOptions(tokens);
        const std::string name = c.tokens.empty() ? "" : toUtf8(c.tokens.front());
        EXPECT_EQ(tokens, c.kept) << name;
        ClassPaths classPaths;
        for (const auto& option : taken.classPaths) classPaths.emplace_back(option.name, option.value);
        EXPECT_EQ(classPaths, c.classPaths) << name;
        EXPECT_EQ(taken.splashPictures, c.splash) << name;
        EXPECT_EQ(taken.dangling, c.dangling) << name;
    }
}

class BuildJvmOptions : public ::testing::Test {
protected:
    void configure(const WideString& ini) { fake.profiles.files[nativePath(u"C:/Apps/Tool/tool.ini")] = ini; }

    FakePlatform fake;
    Trace trace;
    Launcher launcher{fake.platform, trace, {}};
};

TEST_F(BuildJvmOptions, ClassPathThenTheParametersInOrder) {
    configure(
        u"[Class Path]\nClass Path=%APP%/lib/a.jar\n"
        u"[Java Runtime Environment]\nVirtual Machine Parameters=-Xmx512m  -Dx=\"a b\" -Dy=%QUOTED% -Xss1m -Xss=2m\n");
    fake.environment.variables = {{u"APP", u"/opt/my app"}, {u"QUOTED", u"say \"hi\""}};
    launcher.jvmOptions.push_back("-Djava.library.path=first");
    launcher.mainClass = u"app/Main";

    EXPECT_EQ(buildJvmOptions(launcher), JvmOptionsResult::Built);
    EXPECT_EQ(launcher.jvmOptions,
              (JvmOptionList{"-Djava.library.path=first", "-Djava.class.path=/opt/my app/lib/a.jar", "-Xmx512m",
                             "-Dx=a b", "-Dy=say \"hi\"", "-Xss1m", "-Xss=2m", kExecutableProperty, "-Dsun.java.command=app.Main", kLauncherProperty}));
    EXPECT_EQ(launcher.threadStackSize, 1048576u);
    EXPECT_EQ(fake.memory.queries, 0);
    EXPECT_TRUE(fake.ui.boxes.empty());
}

TEST_F(BuildJvmOptions, StackSizeFromAPercentageAndTheLastAcceptedToken) {
    configure(u"[Class Path]\nClass Path=a.jar\n[Java Runtime Environment]\nVirtual Machine Parameters=-Xss10:20P -Xss\n");
    launcher.mainClass = u"Main";
    EXPECT_EQ(buildJvmOptions(launcher), JvmOptionsResult::Built);
    EXPECT_EQ(launcher.jvmOptions,
              (JvmOptionList{"-Djava.class.path=a.jar", "-Xss838860K", "-Xss", kExecutableProperty, "-Dsun.java.command=Main", kLauncherProperty}));
    EXPECT_EQ(launcher.threadStackSize, 838860u * 1024);
}

TEST_F(BuildJvmOptions, JavaOptionFormsAreJoinedAfterQuotesAndWildcardsExpanded) {
    configure(u"[Class Path]\nClass Path=%APP%" + nativePath(u"/lib/*") +
              u"\n[Java Runtime Environment]\nVirtual Machine Parameters=-p \"my mods\" "
              u"--add-opens java.base/java.lang=ALL-UNNAMED -Dx=\"a -p b\"\n");
    fake.environment.variables = {{u"APP", nativePath(u"/opt/app")}};
    fake.files.existing.insert(nativePath(u"/opt/app/lib"));
    fake.files.contents[nativePath(u"/opt/app/lib/z.jar")] = fake.files.contents[nativePath(u"/opt/app/lib/a.jar")] = "x";
    launcher.mainClass = u"app/Main";
    EXPECT_EQ(buildJvmOptions(launcher), JvmOptionsResult::Built);
    EXPECT_EQ(launcher.jvmOptions,
              (JvmOptionList{toNarrow(u"-Djava.class.path=" + nativePath(u"/opt/app/lib/a.jar") + kSearchPathSeparator +
                                      nativePath(u"/opt/app/lib/z.jar")),
                             "--module-path=my mods", "--add-opens=java.base/java.lang=ALL-UNNAMED", "-Dx=a -p b",
                             kExecutableProperty, "-Dsun.java.command=app.Main", kLauncherProperty}));
}

TEST_F(BuildJvmOptions, AnOptionWithoutItsValueRefusesTheStart) {
    configure(u"[Class Path]\nClass Path=a.jar\n[Java Runtime Environment]\nVirtual Machine Parameters=-Xmx1m --add-opens\n");
    EXPECT_EQ(buildJvmOptions(launcher), JvmOptionsResult::Refused);
    EXPECT_TRUE(launcher.jvmOptions.empty());
    ASSERT_EQ(fake.ui.boxes.size(), 1u);
    EXPECT_EQ(fake.ui.boxes[0].text, u"The option --add-opens in Virtual Machine Parameters needs a value.\n");
}

TEST_F(BuildJvmOptions, MissingClassPathShowsItsMessageAndAddsNothing) {
    configure(u"[Java Runtime Environment]\nVirtual Machine Parameters=-Xss2m -Xmx10P\n[Application]\nOutput File=out.txt\n");
    EXPECT_EQ(buildJvmOptions(launcher), JvmOptionsResult::Incomplete);
    EXPECT_TRUE(launcher.jvmOptions.empty());
    // The parameters are read for a class path option only; none of them applies.
    EXPECT_EQ(launcher.threadStackSize, 0u);
    EXPECT_EQ(fake.memory.queries, 0);
    EXPECT_TRUE(launcher.outputFile.empty());
    ASSERT_EQ(fake.ui.boxes.size(), 1u);
    EXPECT_EQ(fake.ui.boxes[0].text, u"Java Class Path was not specified in INI file.");
}

TEST_F(BuildJvmOptions, MainFormsGiveTheClassPathTheModuleAndTheCommandProperty) {
    struct Case {
        const char* name;
        WideString mainClass, mainModule, mainJar, parameters;
        WideList arguments;
        JvmOptionList expected;
    };
    const Case cases[] = {
        {"class", u"com/x/Main", u"", u"", u"", {u"a", u"b c"},
         {"-Djava.class.path=cp", kExecutableProperty, "-Dsun.java.command=com.x.Main a b c", kLauncherProperty}},
        {"jar: the jar is the class path", u"com/x/Main", u"", u"%APP%/app.jar", u"", {u"%APP%"},
         {"-Djava.class.path=/opt/app.jar", kExecutableProperty, "-Dsun.java.command=/opt/app.jar %APP%", kLauncherProperty}},
        {"module", u"", u"app/app.Main", u"", u"--module-path=mods", {u"a"},
         {"-Djava.class.path=cp", "--module-path=mods", "-Djdk.module.main=app", kExecutableProperty, "-Dsun.java.command=app/app.Main a", kLauncherProperty}},
        {"command set by the parameters", u"", u"app", u"", u"-Dsun.java.command=Mine", {u"a"},
         {"-Djava.class.path=cp", "-Dsun.java.command=Mine", "-Djdk.module.main=app", kExecutableProperty, kLauncherProperty}},
        {"launcher set by the parameters", u"app/Main", u"", u"", u"-Dsun.java.launcher=%APP%", {},
         {"-Djava.class.path=cp", "-Dsun.java.launcher=/opt", kExecutableProperty, "-Dsun.java.command=app.Main"}},
        {"executable set by the parameters", u"app/Main", u"", u"", u"-Dcorvid.executable=%APP%/x", {},
         {"-Djava.class.path=cp", "-Dcorvid.executable=/opt/x", "-Dsun.java.command=app.Main", kLauncherProperty}},
    };
    fake.environment.variables = {{u"APP", u"/opt"}};
    fake.files.contents[u"/opt/app.jar"] = "PK";
    for (const Case& c : cases) {
        configure(u"[Class Path]\nClass Path=cp\n[Java Runtime Environment]\nVirtual Machine Parameters=" + c.parameters);
        launcher.jvmOptions.clear();
        launcher.mainClass = c.mainClass;
        launcher.mainModule = c.mainModule;
        launcher.mainJar = c.mainJar;
        launcher.arguments = c.arguments;
        EXPECT_EQ(buildJvmOptions(launcher), JvmOptionsResult::Built) << c.name;
        EXPECT_EQ(launcher.jvmOptions, c.expected) << c.name;
    }
    EXPECT_TRUE(fake.ui.boxes.empty());
}

TEST_F(BuildJvmOptions, AJarOrModulePathEntryWithoutAFormToPassRefusesTheStart) {
    // A lone surrogate: no narrow form holds it, and the path has no short name.
    const WideString odd = nativePath(u"/opt/a\xD800/x.jar");
    fake.files.contents[odd] = "PK";
    const struct {
        const char* name;
        WideString mainJar, parameters;
    } cases[] = {
        {"Main Jar", odd, u""},
        {"-p", u"", u"-p mods" + WideString(1, kSearchPathSeparator) + odd},
        {"--upgrade-module-path=", u"", u"--upgrade-module-path=" + odd},
    };
    for (const auto& c : cases) {
        configure(u"[Class Path]\nClass Path=cp\n[Java Runtime Environment]\nVirtual Machine Parameters=" + c.parameters);
        launcher.jvmOptions.clear();
        launcher.mainClass = u"app/Main";
        launcher.mainJar = c.mainJar;
        fake.ui.boxes.clear();
        EXPECT_EQ(buildJvmOptions(launcher), JvmOptionsResult::Refused) << c.name;
        EXPECT_TRUE(launcher.jvmOptions.empty()) << c.name;
        ASSERT_EQ(fake.ui.boxes.size(), 1u) << c.name;
        EXPECT_EQ(fake.ui.boxes[0].text, u"The path " + odd +
                                             u" holds characters that cannot be passed to Java, and the file system "
                                             u"gives it no short name.") << c.name;
    }
}

// java's -cp written among the VM parameters names the class path where the
// configuration names none; otherwise it is dropped (and traced). It never
// reaches the JVM, which would refuse it; neither does -splash:.
TEST_F(BuildJvmOptions, JavasClassPathOptionsNameTheClassPathWhereTheConfigurationDoesNot) {
    std::string traced;
    Trace tracing{std::make_unique<testing::CollectingOutput>(traced)};
    Launcher tracedLauncher{fake.platform, tracing, {}};
    fake.environment.variables = {{u"APP", nativePath(u"/opt")}};
    fake.files.existing.insert(nativePath(u"/opt/lib"));
    fake.files.contents[nativePath(u"/opt/lib/a.jar")] = fake.files.contents[u"app.jar"] = "PK";
    const std::string sep(1, static_cast<char>(kSearchPathSeparator));
    const struct {
        const char* name;
        WideString classPath, mainModule, mainJar, parameters;
        JvmOptionList expected;
        const char* tracedLine;
    } cases[] = {
        {"-cp, wildcards and references expanded", u"", u"", u"", u"-Xmx1m -cp %APP%" + nativePath(u"/lib/*") + u" -Dx=1",
         {toNarrow(u"-Djava.class.path=" + nativePath(u"/opt/lib/a.jar")), "-Xmx1m", "-Dx=1"},
         "class path from the VM parameters' -cp: %APP%"},
        {"-classpath, quoted", u"", u"", u"", u"-Xss1m -classpath \"my dir\"", {"-Djava.class.path=my dir", "-Xss1m"},
         "class path from the VM parameters' -classpath: my dir"},
        {"[Class Path] wins", u"cp", u"", u"", u"--class-path other -Xmx1m", {"-Djava.class.path=cp", "-Xmx1m"},
         "--class-path other dropped from the VM parameters: [Class Path] is set"},
        {"the last one wins", u"", u"", u"", u"-cp a --class-path=b", {"-Djava.class.path=b"},
         "-cp a dropped from the VM parameters: a later one wins"},
        {"Main Jar is the class path", u"", u"", u"app.jar", u"-cp x", {"-Djava.class.path=app.jar"},
         "-cp x dropped from the VM parameters: Main Jar is the class path"},
        {"a module with a class path", u"", u"app", u"", u"-cp m.jar --module-path=mods",
         {"-Djava.class.path=m.jar", "--module-path=mods", "-Djdk.module.main=app"}, "class path from the VM parameters' -cp: m.jar"},
        {"-splash: is no JVM option", u"cp", u"", u"", u"-splash:s.png -Xmx1m", {"-Djava.class.path=cp", "-Xmx1m"},
         "-splash:s.png taken from the VM parameters as the splash picture"},
    };
    for (const auto& c : cases) {
        configure(u"[Class Path]\nClass Path=" + c.classPath + u"\n[Java Runtime Environment]\nVirtual Machine Parameters=" +
                  c.parameters);
        traced.clear();
        tracedLauncher.jvmOptions.clear();
        tracedLauncher.mainClass = u"app/Main";
        tracedLauncher.mainModule = c.mainModule;
        tracedLauncher.mainJar = c.mainJar;
        EXPECT_EQ(buildJvmOptions(tracedLauncher), JvmOptionsResult::Built) << c.name;
        JvmOptionList expected = c.expected;
        expected.push_back(kExecutableProperty);
        const std::string program = !c.mainModule.empty() ? "app" : !c.mainJar.empty() ? "app.jar" : "app.Main";
        expected.push_back("-Dsun.java.command=" + program);
        expected.push_back(kLauncherProperty);
        EXPECT_EQ(tracedLauncher.jvmOptions, expected) << c.name;
        EXPECT_NE(traced.find(c.tracedLine), std::string::npos) << c.name << "\n" << traced;
        EXPECT_TRUE(fake.ui.boxes.empty()) << c.name;
    }
    // A -splash: where [Display] names a picture is dropped, and says so.
    configure(u"[Class Path]\nClass Path=cp\n[Display]\nSplash Screen=conf.png\n"
              u"[Java Runtime Environment]\nVirtual Machine Parameters=-splash:s.png\n");
    tracedLauncher.jvmOptions.clear();
    EXPECT_EQ(buildJvmOptions(tracedLauncher), JvmOptionsResult::Built);
    EXPECT_NE(traced.find("-splash:s.png dropped from the VM parameters: [Display] Splash Screen is set"), std::string::npos);
    // A -cp with nothing after it refuses the start, as any two-token form.
    configure(u"[Java Runtime Environment]\nVirtual Machine Parameters=-Xmx1m -cp\n");
    tracedLauncher.jvmOptions.clear();
    EXPECT_EQ(buildJvmOptions(tracedLauncher), JvmOptionsResult::Refused);
    EXPECT_TRUE(tracedLauncher.jvmOptions.empty());
    ASSERT_EQ(fake.ui.boxes.size(), 1u);
    EXPECT_EQ(fake.ui.boxes[0].text, u"The option -cp in Virtual Machine Parameters needs a value.\n");
}

TEST_F(BuildJvmOptions, TheSplashPictureOfTheLastSplashOption) {
    fake.environment.variables = {{u"APP", u"/opt"}};
    const std::pair<WideString, WideString> cases[] = {
        {u"-Xmx1m -splash:\"%APP%/my pic.png\"", u"/opt/my pic.png"},
        {u"-splash:a.png -splash:b.png", u"b.png"},
        {u"--add-opens -splash:a.png", u""},
        {u"-Dx=-splash:a.png", u""},
        {u"", u""},
    };
    for (const auto& [parameters, picture] : cases) {
        configure(u"[Java Runtime Environment]\nVirtual Machine Parameters=" + parameters + u"\n");
        EXPECT_EQ(splashOptionPicture(launcher), picture) << toUtf8(parameters);
    }
    fake.process.module = {false, {}, 5};
    EXPECT_EQ(splashOptionPicture(launcher), u"");
}

TEST_F(BuildJvmOptions, AMainJarThatCannotBeOpenedRefusesTheStartInJavasWords) {
    fake.files.existing.insert(nativePath(u"/opt/folder.jar"));
    fake.files.contents[nativePath(u"/opt/empty.jar")] = "";
    fake.environment.variables = {{u"APP", nativePath(u"/opt")}};
    const struct {
        WideString jar;
        bool opens;
    } cases[] = {
        {u"%APP%" + nativePath(u"/missing.jar"), false},
        {nativePath(u"/opt/folder.jar"), false},
        {u"%APP%" + nativePath(u"/empty.jar"), true},
    };
    for (const auto& c : cases) {
        configure(u"[Java Runtime Environment]\nVirtual Machine Parameters=-Xmx1m\n");
        launcher.jvmOptions.clear();
        launcher.mainJar = c.jar;
        fake.ui.boxes.clear();
        EXPECT_EQ(buildJvmOptions(launcher), c.opens ? JvmOptionsResult::Built : JvmOptionsResult::Refused) << toUtf8(c.jar);
        if (c.opens) {
            EXPECT_TRUE(fake.ui.boxes.empty());
            continue;
        }
        EXPECT_TRUE(launcher.jvmOptions.empty());
        ASSERT_EQ(fake.ui.boxes.size(), 1u);
        // The path as expanded, as java names it.
        EXPECT_EQ(fake.ui.boxes[0].text, u"Unable to access jarfile " + launcher.mainJar);
        EXPECT_EQ(launcher.mainJar.find(u'%'), WideString::npos);
    }
    fake.ui.language = 0x0407;
    fake.ui.boxes.clear();
    launcher.mainJar = u"x.jar";
    EXPECT_EQ(buildJvmOptions(launcher), JvmOptionsResult::Refused);
    ASSERT_EQ(fake.ui.boxes.size(), 1u);
    EXPECT_EQ(fake.ui.boxes[0].text, u"Kein Zugriff auf die JAR-Datei x.jar (Unable to access jarfile).");
}

TEST_F(BuildJvmOptions, AModuleOrJarNeedsNoClassPathAndStillReadsTheParametersAndFiles) {
    configure(u"[Java Runtime Environment]\nVirtual Machine Parameters=-Xmx1m\n[Application]\nOutput File=out.txt\n");
    launcher.mainModule = u"app";
    EXPECT_EQ(buildJvmOptions(launcher), JvmOptionsResult::Built);
    EXPECT_EQ(launcher.jvmOptions, (JvmOptionList{"-Xmx1m", "-Djdk.module.main=app", kExecutableProperty, "-Dsun.java.command=app", kLauncherProperty}));
    EXPECT_EQ(launcher.outputFile, u"out.txt");
    EXPECT_TRUE(fake.ui.boxes.empty());
}

TEST_F(BuildJvmOptions, RedirectionFilesAreExpanded) {
    configure(u"[Class Path]\nClass Path=a.jar\n[Application]\nOutput File=%LOGS%/out.txt\nError File=err.txt\n");
    fake.environment.variables = {{u"logs", u"/var/log/app"}};
    EXPECT_EQ(buildJvmOptions(launcher), JvmOptionsResult::Built);
    EXPECT_EQ(launcher.outputFile, u"/var/log/app/out.txt");
    EXPECT_EQ(launcher.errorFile, u"err.txt");
}

TEST_F(BuildJvmOptions, NoModulePathFailsSilently) {
    fake.process.module = {false, {}, 5};
    EXPECT_EQ(buildJvmOptions(launcher), JvmOptionsResult::Incomplete);
    EXPECT_TRUE(fake.ui.boxes.empty());
}

}  // namespace
}  // namespace corvid
