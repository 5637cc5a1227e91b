#include <gtest/gtest.h>

#include "pack/layout.h"
#include "pack/options.h"

namespace corvid::pack {
namespace {

using Arguments = std::vector<std::string>;

// The options every case needs, then the case's own.
Arguments with(const Arguments& more) {
    Arguments arguments = {"--name", "MyApp", "--main-class", "com.example.Main", "--type", "app-image", "--dest", "out"};
    arguments.insert(arguments.end(), more.begin(), more.end());
    return arguments;
}

TEST(PackOptions, RefusesABadCommandLineWithExitCodeTwoAndOneLine) {
    const struct {
        Arguments arguments;
        const char* message;
    } cases[] = {
        {with({"--colour", "red"}), "unknown option --colour"},
        {with({"stray"}), "unexpected argument stray"},
        {with({"--vendor"}), "--vendor needs a value"},
        {with({"--vendor", ""}), "--vendor needs a value that is not empty"},
        {with({"--vendor", "A", "--vendor", "B"}), "--vendor is given twice"},
        {with({"--console", "--console"}), "--console is given twice"},
        {{"--main-class", "M", "--type", "zip", "--dest", "d"}, "--name is needed"},
        {{"--name", "N", "--main-class", "M", "--dest", "d"}, "--type is needed"},
        {{"--name", "N", "--main-class", "M", "--type", "zip"}, "--dest is needed"},
        {{"--name", "N", "--type", "zip", "--dest", "d"}, "one of --main-jar, --main-class and --main-module is needed"},
        {with({"--main-jar", "a.jar"}), "one of --main-jar, --main-class and --main-module is needed"},
        {with({"--type", "x"}), "--type is given twice"},
        {{"--name", "N", "--main-class", "M", "--type", "deb", "--dest", "d"}, "--type deb: app-image, zip or msi"},
        {with({"--target", "macos"}), "--target macos: windows or linux"},
        {with({"--app-version", "1.2"}), "--app-version 1.2: not a version A.B.C or A.B.C.D"},
        {with({"--app-version", "1.2.3.4.5"}), "--app-version 1.2.3.4.5: not a version"},
        {with({"--app-version", "1.65536.0"}), "--app-version 1.65536.0: not a version"},
        {with({"--app-version", "1.2.x"}), "--app-version 1.2.x: not a version"},
        {with({"--app-version", "v1.2.3"}), "not a version"},
        {with({"--min-version", "seventeen"}), "--min-version seventeen: \"any\" or a version"},
        {with({"--max-version", "1.2.3.4.5"}), "--max-version 1.2.3.4.5"},
        {with({"--runtime", "jre", "--min-version", "17"}), "--runtime bundles the runtime"},
        {with({"--class-path", "../lib/a.jar"}), "--class-path: ../lib/a.jar is not a path inside the app folder"},
        {with({"--class-path", "/opt/a.jar"}), "is not a path inside the app folder"},
        {with({"--class-path", "C:\\lib\\a.jar"}), "is not a path inside the app folder"},
        {with({"--class-path", "a.jar;;b.jar"}), "--class-path: an empty entry is not a path inside"},
        {with({"--class-path", "./a.jar"}), "--class-path: ./a.jar is not a path inside the app folder"},
        {with({"--main-class", "x"}), "--main-class is given twice"},
        {with({"--java-options", "-Da=1\n-Db=2"}), "--java-options: one line of UTF-8 text is needed"},
        {with({"--\r\nname", "x"}), "unknown option --\\r\\nname"},
        {{"--name", "N", "--main-class", "M", "--dest", "d", "--type", "z\tip\x7F"}, "--type z\\tip\\x7F: app-image, zip or msi"},
        {with({"--description", std::string("caf\xC3", 4)}), "--description: one line of UTF-8 text is needed"},
        {with({"--app-user-model-id", "Example Corp.App"}), "at most 128 characters and no blanks"},
        {with({"--app-user-model-id", std::string(129, 'a')}), "at most 128 characters and no blanks"},
        {with({"--per-machine"}), "--per-machine is for --type msi only"},
        {with({"--shortcut", "desktop"}), "--shortcut is for --type msi only"},
        {with({"--file-association", "txt=Text"}), "--file-association is for --type msi only"},
        {with({"--upgrade-code", "{6B2F3C1E-8D54-4A0B-9E71-550CA3D62794}"}), "--upgrade-code is for --type msi only"},
        {with({"--target", "linux", "--icon", "a.ico"}), "--icon brands the Windows launcher"},
    };
    for (const auto& c : cases) {
        PackOptions options;
        std::string error;
        EXPECT_EQ(parsePackArguments(c.arguments, options, error), 2) << c.message;
        EXPECT_NE(error.find(c.message), std::string::npos) << "expected: " << c.message << "\nactual:   " << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
}

TEST(PackOptions, RefusesNamesNoFileCanHave) {
    for (const std::string& name : std::vector<std::string>{"a/b", "a\\b", "a:b", "a*b", "a?b", "a|b", "a\"b", "a<b", "a%b%", "ends.", "ends ",
                                    " starts", "CON", "con", "nul.txt", "COM1", "lpt9", std::string(101, 'a')}) {
        PackOptions options;
        std::string error;
        EXPECT_EQ(parsePackArguments({"--name", name, "--main-class", "M", "--type", "zip", "--dest", "d"}, options,
                                     error),
                  2)
            << name;
        EXPECT_EQ(error.rfind(std::string("--name ") + name + ": ", 0), 0u) << error;
    }
    for (const char* name : {"MyApp", "My App 2", "my.app", "Café", "COM10", "console", "a$b"}) {
        PackOptions options;
        std::string error;
        EXPECT_EQ(parsePackArguments({"--name", name, "--main-class", "M", "--type", "zip", "--dest", "d"}, options,
                                     error),
                  0)
            << name << ": " << error;
    }
}

TEST(PackOptions, RefusesForAnInstallerWhatWindowsInstallerCannotTake) {
    const auto msi = [](const Arguments& more) {
        Arguments arguments = {"--name", "MyApp", "--main-jar", "a.jar", "--type", "msi", "--dest", "out"};
        arguments.insert(arguments.end(), more.begin(), more.end());
        return arguments;
    };
    const struct {
        Arguments arguments;
        const char* message;  // empty: accepted
    } cases[] = {
        {msi({"--app-version", "255.255.65535"}), ""},
        {msi({"--app-version", "256.0.0"}), "--app-version 256.0.0: Windows Installer orders versions up to 255.255.65535"},
        {msi({"--app-version", "1.256.0"}), "up to 255.255.65535"},
        {msi({"--app-version", "1.0.0.1"}), "ignores a fourth number"},
        {msi({"--app-version", "1.0.0.0"}), "ignores a fourth number"},
        {msi({"--target", "linux"}), "--type msi makes a Windows installer"},
        {msi({"--upgrade-code", "6B2F3C1E-8D54-4A0B-9E71-550CA3D6279"}), "--upgrade-code 6B2F3C1E-8D54-4A0B-9E71-550CA3D6279: not a GUID"},
        {msi({"--upgrade-code", "{6b2f3c1e-8d54-4a0b-9e71-550ca3d62794}"}), ""},
        {msi({"--shortcut", "taskbar"}), "--shortcut taskbar: start-menu or desktop"},
        {msi({"--file-association", "txt"}), "--file-association txt: EXT=DESCRIPTION"},
        {msi({"--file-association", "=Text"}), "EXT=DESCRIPTION"},
        {msi({"--file-association", "t t=Text"}), "EXT=DESCRIPTION"},
        {msi({"--file-association", "txt="}), "EXT=DESCRIPTION"},
        {msi({"--file-association", "txt=Text", "--file-association", ".TXT=Other"}), "--file-association .TXT is given twice"},
        {msi({"--name", "x"}), "--name is given twice"},
        {msi({"--vendor", "Ça & Cœur™"}), ""},
        {msi({"--vendor", "Ça & Cœur™", "--app-user-model-id", "Ça.App"}), "an installer's shortcut takes ASCII"},
        {msi({"--vendor", "应用"}), "--vendor 应用: an MSI's texts are Windows-1252"},
        {msi({"--description", "Ω"}), "--description Ω: an MSI's texts are Windows-1252"},
        {msi({"--file-association", "x=文档"}), "--file-association 文档: an MSI's texts"},
    };
    for (const auto& c : cases) {
        PackOptions options;
        std::string error;
        const int status = parsePackArguments(c.arguments, options, error);
        if (*c.message == '\0') {
            EXPECT_EQ(status, 0) << error;
        } else {
            EXPECT_EQ(status, 2);
            EXPECT_NE(error.find(c.message), std::string::npos) << "expected: " << c.message << "\nactual:   " << error;
        }
    }
}

TEST(PackOptions, ReadsEveryOptionAndItsDefaults) {
    PackOptions options;
    std::string error;
    ASSERT_EQ(parsePackArguments(with({}), options, error), 0) << error;
    EXPECT_EQ(options.entry, EntryPoint::Class);
    EXPECT_EQ(options.vendor, "MyApp");
    EXPECT_EQ(options.description, "MyApp");
    EXPECT_EQ(options.appUserModelId, "MyApp.MyApp");
    EXPECT_EQ(versionName(options), "1.0.0");
    EXPECT_EQ(options.target, Target::Windows);
    EXPECT_TRUE(options.startMenuShortcut);
    EXPECT_FALSE(options.desktopShortcut);
    EXPECT_FALSE(options.upgradeCode);

    options = {};
    ASSERT_EQ(parsePackArguments({"--name", "My App", "--main-module", "com.example/com.example.Main", "--class-path",
                                  "lib/a.jar;lib\\b.jar:extra/*", "--input", "in", "--min-version", "17",
                                  "--max-version", "any", "--java-options", "-Xmx1g", "--java-options", "-Da=\"b c\"",
                                  "--icon", "i.ico", "--app-version", "2.5.1.7", "--vendor", "Example Ltd",
                                  "--copyright", "© 2026", "--description", "Does things", "--console",
                                  "--single-instance", "--splash", "s.png", "--startup-cache", "--target", "windows",
                                  "--launcher-dir", "launchers", "--type", "zip", "--dest", "out"},
                                 options, error),
              0)
        << error;
    EXPECT_EQ(options.entry, EntryPoint::Module);
    EXPECT_EQ(options.entryName, "com.example/com.example.Main");
    EXPECT_EQ(options.classPath, (std::vector<std::string>{"lib/a.jar", "lib/b.jar", "extra/*"}));
    EXPECT_EQ(options.javaOptions, (std::vector<std::string>{"-Xmx1g", "-Da=\"b c\""}));
    EXPECT_EQ(versionName(options), "2.5.1.7");
    EXPECT_EQ(options.appUserModelId, "ExampleLtd.MyApp");
    EXPECT_TRUE(options.console && options.singleInstance && options.startupCache);
    EXPECT_EQ(options.type, PackageType::Zip);
    EXPECT_EQ(options.launcherDir, "launchers");

    options = {};
    ASSERT_EQ(parsePackArguments({"--name", "N", "--main-jar", "n.jar", "--type", "msi", "--dest", "d", "--shortcut",
                                  "desktop", "--file-association", ".nte=Note", "--file-association", "nt2=Note, too",
                                  "--per-machine", "--upgrade-code", "6b2f3c1e-8d54-4a0b-9e71-550ca3d62794"},
                                 options, error),
              0)
        << error;
    EXPECT_FALSE(options.startMenuShortcut);
    EXPECT_TRUE(options.desktopShortcut);
    ASSERT_EQ(options.associations.size(), 2u);
    EXPECT_EQ(options.associations[0].extension, "nte");
    EXPECT_EQ(options.associations[1].description, "Note, too");
    EXPECT_TRUE(options.perMachine);
    ASSERT_TRUE(options.upgradeCode);
    EXPECT_EQ(formatGuid(*options.upgradeCode), "{6B2F3C1E-8D54-4A0B-9E71-550CA3D62794}");
}

TEST(PackOptions, NamesWhatItMakesForEachTarget) {
    const struct {
        Arguments arguments;
        const char* launcher;
        const char* config;
        const char* source;
        const char* package;
    } cases[] = {
        {{"--name", "My App", "--type", "zip"}, "My App.exe", "My App.ini", "corvid.exe", "My App-1.0.0-windows-x64.zip"},
        {{"--name", "Tool", "--type", "zip", "--console", "--app-version", "1.2.3.4"}, "Tool.exe", "Tool.ini",
         "corvidc.exe", "Tool-1.2.3.4-windows-x64.zip"},
        {{"--name", "tool", "--type", "zip", "--target", "linux", "--app-version", "0.9.10"}, "tool", "tool.ini",
         "corvid", "tool-0.9.10-linux-x64.tar.gz"},
        // The Linux launcher replaces the file name's extension.
        {{"--name", "my.app", "--type", "app-image", "--target", "linux"}, "my.app", "my.ini", "corvid", ""},
        {{"--name", "my.app", "--type", "msi", "--app-version", "3.0.1"}, "my.app.exe", "my.app.ini", "corvid.exe",
         "my.app-3.0.1.msi"},
    };
    for (const auto& c : cases) {
        Arguments arguments = c.arguments;
        arguments.insert(arguments.end(), {"--main-class", "M", "--dest", "d"});
        PackOptions options;
        std::string error;
        ASSERT_EQ(parsePackArguments(arguments, options, error), 0) << error;
        EXPECT_EQ(launcherFileName(options), c.launcher);
        EXPECT_EQ(configFileName(options), c.config);
        EXPECT_EQ(sourceLauncherName(options), c.source);
        EXPECT_EQ(packageFileName(options), c.package);
    }
}

TEST(PackOptions, TellsWhichTextsWindows1252Holds) {
    EXPECT_TRUE(fitsWindows1252("Plain ASCII 123 ~"));
    EXPECT_TRUE(fitsWindows1252("Ça, déjà vu: ÿ Æ ß × ÷"));
    EXPECT_TRUE(fitsWindows1252("€ ‚ ƒ „ … † ‡ ˆ ‰ Š ‹ Œ Ž ‘ ’ “ ” • – — ˜ ™ š › œ ž Ÿ"));
    EXPECT_FALSE(fitsWindows1252("\xC2\x81"));  // U+0081: a gap of Windows-1252
    EXPECT_FALSE(fitsWindows1252("Ω"));
    EXPECT_FALSE(fitsWindows1252("ő"));  // Latin-2, not 1252
    EXPECT_FALSE(fitsWindows1252("😀"));
}

TEST(PackOptions, JavaVersionBoundsAreWhatTheLauncherReads) {
    for (const char* bound : {"any", "17", "1.8", "17.0.2", "11.0.20.1"}) EXPECT_TRUE(isJavaVersionBound(bound)) << bound;
    for (const char* bound : {"", "Any", "17.", "1.2.3.4.5", "17-ea", "99999"}) EXPECT_FALSE(isJavaVersionBound(bound)) << bound;
}

}  // namespace
}  // namespace corvid::pack
