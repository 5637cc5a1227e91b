#include <gtest/gtest.h>

#include <algorithm>

#include "config/ini_file.h"
#include "pack/guid.h"
#include "pack/ini_text.h"
#include "pack/options.h"
#include "pack/wix_source.h"

namespace corvid::pack {
namespace {

PackOptions parsed(const std::vector<std::string>& arguments) {
    PackOptions options;
    std::string error;
    EXPECT_EQ(parsePackArguments(arguments, options, error), 0) << error;
    return options;
}

std::string hex(const std::array<std::uint8_t, 20>& digest) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    for (const std::uint8_t byte : digest) (text += kDigits[byte >> 4]) += kDigits[byte & 15];
    return text;
}

TEST(PackGuid, Sha1MatchesItsPublishedVectors) {
    EXPECT_EQ(hex(sha1("")), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
    EXPECT_EQ(hex(sha1("abc")), "a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(hex(sha1("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
              "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
    // 55 and 56 bytes: the padding takes one block, then two.
    EXPECT_EQ(hex(sha1(std::string(55, 'a'))), "c1c8bbdc22796e28c0e15163d20899b65621d65a");
    EXPECT_EQ(hex(sha1(std::string(56, 'a'))), "c2db330f6083854c99d4b5bfb6e8f29f201be699");
    EXPECT_EQ(hex(sha1(std::string(1000000, 'a'))), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
}

TEST(PackGuid, ReadsWritesAndDerives) {
    const struct {
        const char* text;
        const char* formatted;  // empty: refused
    } cases[] = {
        {"6b2f3c1e-8d54-4a0b-9e71-550ca3d62794", "{6B2F3C1E-8D54-4A0B-9E71-550CA3D62794}"},
        {"{6B2F3C1E-8D54-4A0B-9E71-550CA3D62794}", "{6B2F3C1E-8D54-4A0B-9E71-550CA3D62794}"},
        {"{6B2F3C1E-8D54-4A0B-9E71-550CA3D62794", ""},
        {"6B2F3C1E8D544A0B9E71550CA3D62794", ""},
        {"6B2F3C1E-8D54-4A0B-9E71-550CA3D6279G", ""},
        {"6B2F3C1E-8D54-4A0B-9E71+550CA3D62794", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        const auto guid = parseGuid(c.text);
        EXPECT_EQ(guid ? formatGuid(*guid) : std::string(), c.formatted) << c.text;
    }
    // The example of the name-based GUIDs' standard: python.org in the DNS space.
    const auto dns = parseGuid("6ba7b810-9dad-11d1-80b4-00c04fd430c8");
    ASSERT_TRUE(dns);
    EXPECT_EQ(formatGuid(nameGuid(*dns, "python.org")), "{886313E1-3B8A-5372-9B90-0C9AEE199E5D}");

    // Pinned: a change here would make every application's next package an
    // unrelated product that installs beside its last one.
    EXPECT_EQ(formatGuid(derivedUpgradeCode("Example Ltd", "MyApp")), "{F0D2B8BD-46B8-5BB7-B820-9694250A3F0D}");
    const std::string base = formatGuid(derivedUpgradeCode("Example Ltd", "MyApp"));
    EXPECT_NE(formatGuid(derivedUpgradeCode("Example Ltd", "myapp")), base);
    EXPECT_NE(formatGuid(derivedUpgradeCode("Example Ltd.", "MyApp")), base);
    EXPECT_NE(formatGuid(derivedUpgradeCode("MyApp", "Example Ltd")), base);
}

TEST(PackIni, ValuesReadBackAsWritten) {
    for (const char* value : {"plain", "-Da=\"b c\"", "\"quoted\"", "'single'", " lead", "trail ", "\"", "a \"b\" c",
                              "%CORVID_EXE_DIR%\\app\\*", "x=y; z"}) {
        const std::string text = "[S]\r\nKey=" + iniValue(value) + "\r\n";
        const auto back = findIniValue(fromUtf8(text), u"S", u"Key");
        ASSERT_TRUE(back) << value;
        EXPECT_EQ(toUtf8(*back), value);
    }
}

TEST(PackIni, WritesOnlyTheKeysTheOptionsSet) {
    const struct {
        const char* name;
        std::vector<std::string> arguments;
        const char* expected;
    } cases[] = {
        {"a jar with a bundled runtime, for Windows",
         {"--name", "MyApp", "--main-jar", "lib/myapp.jar", "--runtime", "jre", "--vendor", "Example Ltd",
          "--single-instance", "--startup-cache", "--splash", "pictures/splash.png", "--java-options", "-Xmx512m",
          "--type", "msi", "--dest", "d"},
         "; The configuration of the launcher beside this file, written by corvid-pack.\r\n"
         "; %CORVID_EXE_DIR% stands for the launcher's folder, so the application's files\r\n"
         "; are found from any current directory.\r\n"
         "\r\n"
         "[Java Runtime Environment]\r\n"
         "; --main-jar\r\n"
         "Main Jar=%CORVID_EXE_DIR%\\app\\lib\\myapp.jar\r\n"
         "; --runtime: the runtime in jre64 beside the launcher is taken first.\r\n"
         "; --java-options\r\n"
         "Virtual Machine Parameters=-Xmx512m\r\n"
         "; --startup-cache\r\n"
         "Startup Cache=Yes\r\n"
         "\r\n"
         "[Application]\r\n"
         "; --single-instance\r\n"
         "Single Instance=yes\r\n"
         "; --app-user-model-id, or the vendor and the name: the taskbar's identity\r\n"
         "App User Model ID=ExampleLtd.MyApp\r\n"
         "\r\n"
         "[Product Information]\r\n"
         "; --vendor and --name: the per-user file and the start-up cache are kept in\r\n"
         "; %APPDATA% and %LOCALAPPDATA% under these folder names.\r\n"
         "; --vendor (the name when not given)\r\n"
         "Product Name=Example Ltd\r\n"
         "; --name\r\n"
         "Product Code=MyApp\r\n"
         "\r\n"
         "[Display]\r\n"
         "; --splash\r\n"
         "Splash Screen=%CORVID_EXE_DIR%\\splash.png\r\n"},
        {"a main class found among the app folder's jars, for Linux",
         {"--name", "tool", "--main-class", "org.example.Tool", "--min-version", "17", "--max-version", "21",
          "--target", "linux", "--type", "zip", "--dest", "d"},
         "; The configuration of the launcher beside this file, written by corvid-pack.\n"
         "; %CORVID_EXE_DIR% stands for the launcher's folder, so the application's files\n"
         "; are found from any current directory.\n"
         "\n"
         "[Java Runtime Environment]\n"
         "; --main-class\n"
         "Main Class=org.example.Tool\n"
         "; --min-version\n"
         "Minimum Version=17\n"
         "; --max-version\n"
         "Maximum Version=21\n"
         "\n"
         "[Class Path]\n"
         "; every jar in the app folder (no --class-path)\n"
         "Class Path=%CORVID_EXE_DIR%/app/*\n"
         "\n"
         "[Application]\n"
         "; --app-user-model-id, or the vendor and the name: the taskbar's identity\n"
         "App User Model ID=tool.tool\n"
         "\n"
         "[Product Information]\n"
         "; --vendor and --name: the per-user file and the start-up cache are kept in\n"
         "; ~/.config and ~/.cache under these folder names.\n"
         "; --vendor (the name when not given)\n"
         "Product Name=tool\n"
         "; --name\n"
         "Product Code=tool\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(applicationIni(parsed(c.arguments)), c.expected) << c.name;
}

TEST(PackIni, PathsStandInTheExecutablesFolderAndValuesReadBack) {
    const struct {
        std::vector<std::string> arguments;
        const char16_t* section;
        const char16_t* key;
        const char* value;  // nullptr: the key is absent
    } cases[] = {
        {{"--main-class", "M", "--class-path", "lib/a.jar;b c.jar"}, u"Class Path", u"Class Path",
         "%CORVID_EXE_DIR%\\app\\lib\\a.jar;%CORVID_EXE_DIR%\\app\\b c.jar"},
        {{"--main-class", "M", "--class-path", "lib/a.jar:lib/*", "--target", "linux"}, u"Class Path", u"Class Path",
         "%CORVID_EXE_DIR%/app/lib/a.jar:%CORVID_EXE_DIR%/app/lib/*"},
        {{"--main-class", "M", "--class-path", ".;lib/*"}, u"Class Path", u"Class Path",
         "%CORVID_EXE_DIR%\\app;%CORVID_EXE_DIR%\\app\\lib\\*"},
        // A module takes its modules from the app folder, and no class path.
        {{"--main-module", "m/p.Main", "--java-options", "\"-Dx=a b\""}, u"Java Runtime Environment",
         u"Virtual Machine Parameters", "--module-path=%CORVID_EXE_DIR%\\app \"-Dx=a b\""},
        {{"--main-module", "m"}, u"Class Path", u"Class Path", nullptr},
        {{"--main-module", "m", "--class-path", "x.jar"}, u"Class Path", u"Class Path", "%CORVID_EXE_DIR%\\app\\x.jar"},
        {{"--main-jar", "a.jar"}, u"Class Path", u"Class Path", nullptr},
        {{"--main-class", "M"}, u"Java Runtime Environment", u"Virtual Machine Parameters", nullptr},
        {{"--main-class", "M"}, u"Application", u"Single Instance", nullptr},
        {{"--main-class", "M"}, u"Application", u"Override WorkingDir", nullptr},
        {{"--main-class", "M"}, u"Java Runtime Environment", u"JRE Path", nullptr},
        {{"--main-class", "M"}, u"Display", u"Splash Screen", nullptr},
        {{"--main-class", "M", "--java-options", "\"-Dq=1\""}, u"Java Runtime Environment",
         u"Virtual Machine Parameters", "\"-Dq=1\""},
        {{"--main-class", "M", "--vendor", " Spaced "}, u"Product Information", u"Product Name", " Spaced "},
        {{"--main-class", "M", "--vendor", "a=b"}, u"Product Information", u"Product Name", "a=b"},
        {{"--main-class", "M", "--app-user-model-id", "Ex.Ample.1"}, u"Application", u"App User Model ID", "Ex.Ample.1"},
        {{"--main-class", "M", "--splash", "C:\\art\\s.bmp"}, u"Display", u"Splash Screen", "%CORVID_EXE_DIR%\\s.bmp"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> arguments = {"--name", "N", "--type", "zip", "--dest", "d"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        const std::string text = applicationIni(parsed(arguments));
        const auto value = findIniValue(fromUtf8(text), c.section, c.key);
        if (c.value == nullptr) {
            EXPECT_FALSE(value) << text;
        } else {
            ASSERT_TRUE(value) << text;
            EXPECT_EQ(toUtf8(*value), c.value);
        }
        // A comment never reads as a key.
        for (std::size_t at = text.find(';'); at != std::string::npos; at = text.find("\n;", at + 1)) {
            const std::size_t end = text.find('\n', at + 1);
            EXPECT_EQ(text.substr(at, end - at).find('='), std::string::npos) << text.substr(at, end - at);
        }
    }
}

std::vector<ImageEntry> smallImage() {
    return {{"MyApp.exe", false},    {"MyApp.ini", false},      {"app", true},
            {"app/lib", true},       {"app/lib/myapp.jar", false}, {"app/plugins", true},
            {"jre64", true},         {"jre64/bin", true},        {"jre64/bin/java.dll", false}};
}

// An installer of MyApp 1.0.1 by Example Ltd, unless `more` says otherwise.
std::vector<std::string> msiArguments(std::vector<std::string> more) {
    std::vector<std::string> arguments = {"--name", "MyApp", "--main-jar", "lib/myapp.jar", "--type", "msi", "--dest", "d"};
    for (const char* option : {"--vendor", "--app-version"}) {
        if (std::find(more.begin(), more.end(), option) == more.end()) {
            arguments.insert(arguments.end(), {option, *option == '-' && option[2] == 'v' ? "Example Ltd" : "1.0.1"});
        }
    }
    arguments.insert(arguments.end(), more.begin(), more.end());
    return arguments;
}

TEST(PackWix, TheSourceForAPerUserInstall) {
    const PackOptions options = parsed(msiArguments({}));
    const PackageCodes codes = packageCodes(options);
    EXPECT_EQ(formatGuid(codes.upgrade), formatGuid(derivedUpgradeCode("Example Ltd", "MyApp")));
    const std::string expected =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
        "<!-- MyApp 1.0.1, written by corvid-pack for wixl. -->\n"
        "<Wix xmlns=\"http://schemas.microsoft.com/wix/2006/wi\">\n"
        "  <Product Id=\"" + formatGuid(codes.product) + "\" Name=\"MyApp\" Language=\"1033\" Codepage=\"1252\" "
        "Version=\"1.0.1\" Manufacturer=\"Example Ltd\" UpgradeCode=\"" + formatGuid(codes.upgrade) + "\">\n"
        "    <Package InstallerVersion=\"500\" Compressed=\"yes\" InstallScope=\"perUser\" SummaryCodepage=\"1252\" "
        "Description=\"MyApp\" Manufacturer=\"Example Ltd\"/>\n"
        "    <MajorUpgrade DowngradeErrorMessage=\"A newer version of MyApp is already installed.\"/>\n"
        "    <Media Id=\"1\" Cabinet=\"application.cab\" EmbedCab=\"yes\"/>\n"
        "    <Icon Id=\"ApplicationIcon.exe\" SourceFile=\"MyApp.exe\"/>\n"
        "    <Property Id=\"ARPPRODUCTICON\" Value=\"ApplicationIcon.exe\"/>\n"
        "    <Property Id=\"ARPNOMODIFY\" Value=\"1\"/>\n"
        "    <Property Id=\"ARPCOMMENTS\" Value=\"MyApp\"/>\n"
        "    <Directory Id=\"TARGETDIR\" Name=\"SourceDir\">\n"
        "      <Directory Id=\"LocalAppDataFolder\">\n"
        "        <Directory Id=\"UserProgramsFolder\" Name=\"Programs\">\n"
        "          <Directory Id=\"INSTALLDIR\" Name=\"MyApp\">\n"
        "            <Component Id=\"MainComponent\" Guid=\"" + formatGuid(nameGuid(codes.upgrade, "user MyApp.exe")) + "\" Win64=\"yes\">\n"
        "              <File Id=\"MainExecutable\" Name=\"MyApp.exe\" Source=\"MyApp.exe\" KeyPath=\"yes\"/>\n"
        "              <Shortcut Id=\"StartMenuShortcut\" Directory=\"ProgramMenuFolder\" Name=\"MyApp\" "
        "Description=\"MyApp\" Target=\"[#MainExecutable]\" WorkingDirectory=\"INSTALLDIR\"/>\n"
        "            </Component>\n"
        "            <Component Id=\"c0\" Guid=\"" + formatGuid(nameGuid(codes.upgrade, "user MyApp.ini")) + "\" Win64=\"yes\">\n"
        "              <File Id=\"f0\" Name=\"MyApp.ini\" Source=\"MyApp.ini\" KeyPath=\"yes\"/>\n"
        "            </Component>\n"
        "            <Directory Id=\"d1\" Name=\"app\">\n"
        "              <Directory Id=\"d2\" Name=\"lib\">\n"
        "                <Component Id=\"c1\" Guid=\"" + formatGuid(nameGuid(codes.upgrade, "user app/lib/myapp.jar")) + "\" Win64=\"yes\">\n"
        "                  <File Id=\"f1\" Name=\"myapp.jar\" Source=\"app/lib/myapp.jar\" KeyPath=\"yes\"/>\n"
        "                </Component>\n"
        "              </Directory>\n"
        "              <Directory Id=\"d3\" Name=\"plugins\">\n"
        "                <Component Id=\"c2\" Guid=\"" + formatGuid(nameGuid(codes.upgrade, "user app/plugins/")) + "\" Win64=\"yes\">\n"
        "                  <CreateFolder/>\n"
        "                  <RemoveFolder Id=\"r2\" On=\"uninstall\"/>\n"
        "                </Component>\n"
        "              </Directory>\n"
        "            </Directory>\n"
        "            <Directory Id=\"d4\" Name=\"jre64\">\n"
        "              <Directory Id=\"d5\" Name=\"bin\">\n"
        "                <Component Id=\"c3\" Guid=\"" + formatGuid(nameGuid(codes.upgrade, "user jre64/bin/java.dll")) + "\" Win64=\"yes\">\n"
        "                  <File Id=\"f3\" Name=\"java.dll\" Source=\"jre64/bin/java.dll\" KeyPath=\"yes\"/>\n"
        "                </Component>\n"
        "              </Directory>\n"
        "            </Directory>\n"
        "          </Directory>\n"
        "        </Directory>\n"
        "      </Directory>\n"
        "      <Directory Id=\"ProgramMenuFolder\"/>\n"
        "    </Directory>\n"
        "    <Feature Id=\"Application\" Level=\"1\">\n"
        "      <ComponentRef Id=\"MainComponent\"/>\n"
        "      <ComponentRef Id=\"c0\"/>\n"
        "      <ComponentRef Id=\"c1\"/>\n"
        "      <ComponentRef Id=\"c2\"/>\n"
        "      <ComponentRef Id=\"c3\"/>\n"
        "    </Feature>\n"
        "  </Product>\n"
        "</Wix>\n";
    EXPECT_EQ(wixSource(options, smallImage()), expected);
}

TEST(PackWix, ScopeShortcutsAndAssociationsChangeWhatTheyShould) {
    const struct {
        const char* name;
        std::vector<std::string> more;
        std::vector<std::string> present;
        std::vector<std::string> absent;
    } cases[] = {
        {"per machine",
         {"--per-machine", "--file-association", "myx=My document"},
         {"InstallScope=\"perMachine\"", "<Directory Id=\"ProgramFiles64Folder\">\n        <Directory Id=\"INSTALLDIR\"",
          "<RegistryValue Root=\"HKLM\" Key=\"Software\\Classes\\.myx\" Type=\"string\" Value=\"ExampleLtd.MyApp.myx\"/>"},
         {"LocalAppDataFolder", "Root=\"HKCU\""}},
        {"associations, per user",
         {"--file-association", ".myx=My [draft] document", "--file-association", "MYY=#1 choice"},
         {"<RegistryValue Root=\"HKCU\" Key=\"Software\\Classes\\.myx\" Type=\"string\" Value=\"ExampleLtd.MyApp.myx\"/>",
          "Key=\"Software\\Classes\\ExampleLtd.MyApp.myx\" Type=\"string\" Value=\"My [\\[]draft[\\]] document\"/>",
          "Key=\"Software\\Classes\\ExampleLtd.MyApp.myx\\DefaultIcon\" Type=\"string\" Value=\"[#MainExecutable],0\"/>",
          "Key=\"Software\\Classes\\ExampleLtd.MyApp.myx\\shell\\open\\command\" Type=\"string\" "
          "Value=\"&quot;[#MainExecutable]&quot; &quot;%1&quot;\"/>",
          "Key=\"Software\\Classes\\.MYY\" Type=\"string\" Value=\"ExampleLtd.MyApp.MYY\"/>",
          "Key=\"Software\\Classes\\ExampleLtd.MyApp.MYY\" Type=\"string\" Value=\"##1 choice\"/>"},
         {"HKLM"}},
        {"both shortcuts",
         {"--shortcut", "desktop", "--shortcut", "start-menu"},
         {"<Shortcut Id=\"StartMenuShortcut\" Directory=\"ProgramMenuFolder\"",
          "<Shortcut Id=\"DesktopShortcut\" Directory=\"DesktopFolder\"", "<Directory Id=\"DesktopFolder\"/>"},
         {}},
        {"desktop only", {"--shortcut", "desktop"}, {"DesktopShortcut"}, {"StartMenuShortcut", "ProgramMenuFolder"}},
        {"texts escaped for XML and wixl's preprocessor",
         {"--vendor", "R&D <\"Lab\"> $(var.X)", "--description", "It's $5"},
         {"Manufacturer=\"R&amp;D &lt;&quot;Lab&quot;&gt; $(var.Dollar)(var.X)\"", "Description=\"It&apos;s $(var.Dollar)5\""},
         {"$(var.X)", "$5"}},
    };
    for (const auto& c : cases) {
        const std::string source = wixSource(parsed(msiArguments(c.more)), smallImage());
        for (const std::string& part : c.present) EXPECT_NE(source.find(part), std::string::npos) << c.name << ": " << part;
        for (const std::string& part : c.absent) EXPECT_EQ(source.find(part), std::string::npos) << c.name << ": " << part;
    }
}

TEST(PackWix, CodesAreStableWhereUpgradesNeedItAndApartWhereTheyMust) {
    const auto codes = [](std::vector<std::string> more) { return packageCodes(parsed(msiArguments(std::move(more)))); };
    const PackageCodes base = codes({});
    const PackageCodes next = codes({"--app-version", "1.0.2"});
    const PackageCodes machine = codes({"--per-machine"});
    // One application, one upgrade code; each version and scope its own product.
    EXPECT_EQ(base.upgrade, next.upgrade);
    EXPECT_EQ(base.upgrade, machine.upgrade);
    EXPECT_NE(base.product, next.product);
    EXPECT_NE(base.product, machine.product);
    EXPECT_EQ(base.product, codes({}).product);
    EXPECT_EQ(codes({"--upgrade-code", "6b2f3c1e-8d54-4a0b-9e71-550ca3d62794"}).upgrade, parseGuid("6B2F3C1E-8D54-4A0B-9E71-550CA3D62794"));
    // A file keeps its component from version to version, within one scope.
    const std::string first = wixSource(parsed(msiArguments({})), smallImage());
    const std::string second = wixSource(parsed(msiArguments({"--app-version", "2.0.0"})), smallImage());
    const std::string component = formatGuid(nameGuid(base.upgrade, "user app/lib/myapp.jar"));
    EXPECT_NE(first.find(component), std::string::npos);
    EXPECT_NE(second.find(component), std::string::npos);
    EXPECT_EQ(wixSource(parsed(msiArguments({"--per-machine"})), smallImage()).find(component), std::string::npos);
}

TEST(PackWix, TheShortcutsTableGivesEachShortcutTheApplicationsIdentity) {
    EXPECT_EQ(shortcutPropertyTable(parsed(msiArguments({"--shortcut", "start-menu", "--shortcut", "desktop",
                                                         "--app-user-model-id", "Example.MyApp.[1]"}))),
              "MsiShortcutProperty\tShortcut_\tPropertyKey\tPropVariantValue\r\n"
              "s72\ts72\ts255\ts255\r\n"
              "MsiShortcutProperty\tMsiShortcutProperty\r\n"
              "StartMenuShortcutAppUserModelId\tStartMenuShortcut\t{9F4C2855-9F79-4B39-A8D0-E1D42DE1D5F3}, 5\t"
              "Example.MyApp.[\\[]1[\\]]\r\n"
              "DesktopShortcutAppUserModelId\tDesktopShortcut\t{9F4C2855-9F79-4B39-A8D0-E1D42DE1D5F3}, 5\t"
              "Example.MyApp.[\\[]1[\\]]\r\n");
    EXPECT_EQ(shortcutPropertyTable(parsed(msiArguments({}))).find("Desktop"), std::string::npos);
}

}  // namespace
}  // namespace corvid::pack
