// The second stage of the registered-runtime search over the fake registry
// and file system: current registrations, JAVA_HOME, runtime folders.
#include <gtest/gtest.h>

#include "config/config_file.h"
#include "config/config_keys.h"
#include "runtime/current_runtimes.h"
#include "runtime/runtime_selection.h"
#include "start/launcher.h"
#include "support/runtime_world.h"

namespace corvid {
namespace {

using namespace testing;

constexpr RegistryHive kMachine = RegistryHive::LocalMachine;
constexpr RegistryHive kUser = RegistryHive::CurrentUser;

struct Stage : RuntimeWorld {
    CurrentSearchRules rules{JavaVersion::openLower(), JavaVersion::openUpper(), {}, JvmType::Default};

    Stage() { applyJvmSource(u"", rules.policy); }
    std::vector<JreCandidate> registrations() {
        CurrentFindings found;
        searchCurrentRegistrations(fake.platform, trace, rules, currentRegistrations(), found);
        return found.candidates;
    }
};

// ---- where each installer registers ----

struct LayoutCase {
    const char* name;
    RegistryHive hive;
    const char16_t* valueKey;   // the key holding the value
    const char16_t* valueName;
    char kind;                  // 'k' kit, 'r' runtime environment, '-' not a registration
};

class RegistrationLayout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(RegistrationLayout, FindsTheFolderInItsValue) {
    const LayoutCase& c = GetParam();
    Stage s;
    // Only runtime environments are favoured, so the kind shows in isFavoured.
    applyJvmSource(u"favor_JRE", s.rules.policy);
    const WideString home = s.runtime(u"/rt/one", "17.0.9", {kServer});
    s.fake.runtimes.setValue(c.hive, c.valueKey, c.valueName, home + kPathSeparator);
    const auto found = s.registrations();
    if (c.kind == '-') {
        EXPECT_TRUE(found.empty()) << s.traced;
        return;
    }
    ASSERT_EQ(found.size(), 1u) << s.traced;
    EXPECT_EQ(found[0].home, home + kPathSeparator);
    EXPECT_EQ(found[0].version.parts, (std::array<std::int32_t, 4>{17, 0, 9, 0})) << "from the release file";
    EXPECT_TRUE(found[0].isServer);
    EXPECT_EQ(found[0].isFavoured, c.kind == 'r');
}

INSTANTIATE_TEST_SUITE_P(
    Installers, RegistrationLayout,
    ::testing::Values(
        LayoutCase{"JavaSoftJdk", kMachine, u"Software\\JavaSoft\\JDK\\17", u"JavaHome", 'k'},
        LayoutCase{"JavaSoftJre", kMachine, u"Software\\JavaSoft\\JRE\\10.0.2", u"JavaHome", 'r'},
        LayoutCase{"TemurinJdk", kMachine, u"Software\\Eclipse Adoptium\\JDK\\17.0.9.9\\hotspot\\MSI", u"Path", 'k'},
        LayoutCase{"TemurinJreForUser", kUser, u"Software\\Eclipse Adoptium\\JRE\\17.0.9.9\\hotspot\\MSI", u"Path",
                   'r'},
        LayoutCase{"AdoptOpenJdk", kMachine, u"Software\\AdoptOpenJDK\\JDK\\11.0.2.9\\hotspot\\MSI", u"Path", 'k'},
        LayoutCase{"AdoptOpenJdkForUser", kUser, u"Software\\AdoptOpenJDK\\JDK\\11.0.2.9\\hotspot\\MSI", u"Path", 'k'},
        LayoutCase{"EclipseFoundationJre", kMachine, u"Software\\Eclipse Foundation\\JRE\\11.0.9.11\\hotspot\\MSI",
                   u"Path", 'r'},
        LayoutCase{"SemeruJdk", kMachine, u"Software\\Semeru\\JDK\\17.0.9.9\\openj9\\MSI", u"Path", 'k'},
        LayoutCase{"SemeruJre", kMachine, u"Software\\Semeru\\JRE\\17.0.9.9\\openj9\\MSI", u"Path", 'r'},
        LayoutCase{"MicrosoftJdk", kMachine, u"Software\\Microsoft\\JDK\\17.0.9.8\\hotspot\\MSI", u"Path", 'k'},
        LayoutCase{"ZuluJdk", kMachine, u"Software\\Azul Systems\\Zulu\\zulu-17", u"InstallationPath", 'k'},
        LayoutCase{"ZuluJre", kMachine, u"Software\\Azul Systems\\Zulu\\zulu-17-jre", u"InstallationPath", 'r'},
        LayoutCase{"SapMachineJdk", kMachine, u"Software\\SapMachine\\JDK\\17.0.9", u"JavaHome", 'k'},
        LayoutCase{"SapMachineJre", kMachine, u"Software\\SapMachine\\JRE\\17.0.9", u"JavaHome", 'r'},
        // Near misses: the wrong value name, level, hive or view.
        LayoutCase{"TemurinJavaHomeIsNotItsValue", kMachine,
                   u"Software\\Eclipse Adoptium\\JDK\\17.0.9.9\\hotspot\\MSI", u"JavaHome", '-'},
        LayoutCase{"TemurinVersionKeyWithoutMsi", kMachine, u"Software\\Eclipse Adoptium\\JDK\\17.0.9.9", u"Path",
                   '-'},
        LayoutCase{"MicrosoftNotPerUser", kUser, u"Software\\Microsoft\\JDK\\17.0.9.8\\hotspot\\MSI", u"Path", '-'},
        LayoutCase{"JavaSoftNotPerUser", kUser, u"Software\\JavaSoft\\JDK\\17", u"JavaHome", '-'},
        LayoutCase{"ThirtyTwoBitView", kMachine, u"Software\\WOW6432Node\\JavaSoft\\JDK\\17", u"JavaHome", '-'},
        LayoutCase{"ZuluPathIsNotItsValue", kMachine, u"Software\\Azul Systems\\Zulu\\zulu-17", u"Path", '-'}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- key names and the version ----

struct KeyNameCase {
    const char* name;
    const char16_t* keyName;
    RegisteredKind kind;
    bool valid;
    bool zuluJre;
};

TEST(VersionFromKeyName, RefusesOddNames) {
    const KeyNameCase cases[] = {
        {"major", u"17", RegisteredKind::DevelopmentKit, true, false},
        {"build number", u"17.0.9.9", RegisteredKind::DevelopmentKit, true, false},
        {"legacy form", u"1.8.0_392", RegisteredKind::RuntimeEnvironment, true, false},
        {"plus build", u"17.0.1+12", RegisteredKind::DevelopmentKit, true, false},
        {"not a version", u"CurrentVersion", RegisteredKind::DevelopmentKit, false, false},
        {"letters inside", u"17.0.9-ea", RegisteredKind::DevelopmentKit, false, false},
        {"blank inside", u"17 0", RegisteredKind::DevelopmentKit, false, false},
        {"empty", u"", RegisteredKind::DevelopmentKit, false, false},
        {"overflowing group", u"17.99999999999", RegisteredKind::DevelopmentKit, false, false},
        {"zulu kit", u"zulu-17", RegisteredKind::ByZuluName, true, false},
        {"zulu runtime", u"zulu-8-jre", RegisteredKind::ByZuluName, true, true},
        {"zulu in capitals", u"ZULU-21-JRE", RegisteredKind::ByZuluName, true, true},
        {"zulu without major", u"zulu-", RegisteredKind::ByZuluName, false, false},
        {"zulu jre without major", u"zulu--jre", RegisteredKind::ByZuluName, false, false},
        {"zulu other suffix", u"zulu-17-fx", RegisteredKind::ByZuluName, false, false},
        {"zulu without dash", u"zulu17", RegisteredKind::ByZuluName, false, false},
        {"version under zulu", u"17.0.9", RegisteredKind::ByZuluName, false, false},
    };
    for (const KeyNameCase& c : cases) {
        bool zuluJre = !c.zuluJre;
        const auto version = versionFromKeyName(c.keyName, c.kind, zuluJre);
        EXPECT_EQ(version.has_value(), c.valid) << c.name;
        if (c.valid) {
            EXPECT_EQ(zuluJre, c.zuluJre) << c.name;
        }
    }
}

struct VersionSourceCase {
    const char* name;
    const char16_t* key;      // under Software\Eclipse Adoptium\JDK or Azul's Zulu key
    const char* release;      // JAVA_VERSION, nullptr: no release file
    std::array<std::int32_t, 4> parts;
    std::int32_t count;
    const char* traced;
};

TEST(CurrentRegistrations, VersionFromReleaseFileElseKeyName) {
    const VersionSourceCase cases[] = {
        {"release file over build number", u"17.0.9.9", "17.0.9", {17, 0, 9, 0}, 3, "from the release file"},
        {"key name without release file", u"17.0.9.9", nullptr, {17, 0, 9, 9}, 4, "from the key name (no release"},
        {"key name when JAVA_VERSION is no version", u"11.0.2", "internal", {11, 0, 2, 0}, 3,
         "from the key name (the release file's"},
        {"zulu major", u"zulu-21", nullptr, {21, 0, 0, 0}, 1, "from the key name"},
        {"zulu with Java 8 release file", u"zulu-8", "1.8.0_392", {1, 8, 0, 392}, 4, "from the release file"},
    };
    for (const VersionSourceCase& c : cases) {
        Stage s;
        const WideString home = s.runtime(u"/rt/x", c.release, {kServer});
        const WideString key = WideString(c.key).substr(0, 4) == u"zulu"
                                   ? u"Software\\Azul Systems\\Zulu\\" + WideString(c.key)
                                   : u"Software\\Eclipse Adoptium\\JDK\\" + WideString(c.key) + u"\\hotspot\\MSI";
        s.fake.runtimes.setValue(kMachine, key, key.find(u"Zulu") != WideString::npos ? u"InstallationPath" : u"Path",
                                 home);
        const auto found = s.registrations();
        ASSERT_EQ(found.size(), 1u) << c.name << "\n" << s.traced;
        EXPECT_EQ(found[0].version.parts, c.parts) << c.name;
        EXPECT_EQ(found[0].version.count, c.count) << c.name;
        EXPECT_TRUE(s.traces(c.traced)) << c.name << "\n" << s.traced;
    }
}

// ---- values from outside ----

RegistryValue rawValue(std::uint32_t type, std::vector<std::uint8_t> data) {
    RegistryValue value;
    value.status = RegistryValue::Status::Found;
    value.type = type;
    value.data = std::move(data);
    return value;
}

TEST(CurrentRegistrations, MalformedValuesDropOnlyTheirEntry) {
    struct Case {
        const char* name;
        RegistryValue value;
        const char* problem;
    };
    const WideString good = nativePath(u"/rt/good");
    const Case cases[] = {
        {"number", rawValue(4, {1, 0, 0, 0}), "Path is not a string"},
        {"unterminated", rawValue(kRegistryString, registryText(good, false)), "Path lacks its terminating NUL"},
        {"over-long", rawValue(kRegistryString, registryText(WideString(kMaxJavaHomeLength + 1, u'a'), true)),
         "Path is longer than a path can be"},
        {"empty", rawValue(kRegistryString, {0, 0}), "Path is empty"},
    };
    for (const Case& c : cases) {
        Stage s;
        s.runtime(u"/rt/good", "17.0.9", {kServer});
        s.fake.runtimes.values.push_back(
            {kMachine, u"Software\\Eclipse Adoptium\\JDK\\17.0.1.1\\hotspot\\MSI", u"Path", c.value});
        // A key with the value missing altogether, and a key with an odd name.
        s.fake.runtimes.setValue(kMachine, u"Software\\Eclipse Adoptium\\JDK\\17.0.2.2\\hotspot\\MSI", u"", u"");
        s.fake.runtimes.setValue(kMachine, u"Software\\Eclipse Adoptium\\JDK\\latest\\hotspot\\MSI", u"Path", good);
        s.fake.runtimes.setValue(kMachine, u"Software\\Eclipse Adoptium\\JDK\\17.0.9.9\\hotspot\\MSI", u"Path", good);
        const auto found = s.registrations();
        ASSERT_EQ(found.size(), 1u) << c.name << "\n" << s.traced;
        EXPECT_EQ(found[0].home, good + kPathSeparator);
        EXPECT_TRUE(s.traces("subkey \"17.0.1.1\" dropped: " + std::string(c.problem))) << c.name << "\n" << s.traced;
        EXPECT_TRUE(s.traces("subkey \"17.0.2.2\" dropped: no Path value")) << s.traced;
        EXPECT_TRUE(s.traces("subkey \"latest\" dropped: not a version key name")) << s.traced;
        for (const WideString& read : s.fake.runtimes.valuesRead) {
            EXPECT_EQ(read.find(u"latest"), WideString::npos) << "an odd name is not even opened";
        }
    }
}

// ---- the rules of the first stage ----

struct RuleCase {
    const char* name;
    const char16_t* jvmSource;
    const char16_t* vmProvider;
    const char16_t* minimum;
    const char16_t* maximum;
    JvmType type;
    // Per runtime of the fixture (kit 17 server-only, JRE 11 with both
    // libraries, Zulu JRE 8 client-only): '-' not kept, 'k' kept,
    // 'K' kept and favoured; then 's' or 'c' for the library found.
    const char* expected;
};

class CurrentRules : public ::testing::TestWithParam<RuleCase> {};

TEST_P(CurrentRules, FollowBoundsSourceProviderAndType) {
    const RuleCase& c = GetParam();
    Stage s;
    applyJvmSource(c.jvmSource, s.rules.policy);
    applyVmProvider(c.vmProvider, s.rules.policy);
    s.rules.lower = readLowerBound(c.minimum);
    s.rules.upper = readUpperBound(c.maximum);
    s.rules.type = c.type;
    const WideString kit = s.runtime(u"/rt/jdk17", "17.0.9", {kServer});
    const WideString jre = s.runtime(u"/rt/jre11", "11.0.21", {kServer, kClient});
    const WideString zulu = s.runtime(u"/rt/zulu8", "1.8.0_392", {kClient});
    s.fake.runtimes.setValue(kMachine, u"Software\\JavaSoft\\JDK\\17", u"JavaHome", kit);
    s.fake.runtimes.setValue(kMachine, u"Software\\JavaSoft\\JRE\\11", u"JavaHome", jre);
    s.fake.runtimes.setValue(kMachine, u"Software\\Azul Systems\\Zulu\\zulu-8-jre", u"InstallationPath", zulu);
    const auto found = s.registrations();
    const WideString homes[] = {kit, jre, zulu};
    std::string seen;
    for (const WideString& home : homes) {
        std::string mark = "--";
        for (const JreCandidate& candidate : found) {
            if (candidate.home != home + kPathSeparator) continue;
            mark = std::string(1, candidate.isFavoured ? 'K' : 'k') + (candidate.isServer ? 's' : 'c');
        }
        seen += mark + " ";
    }
    EXPECT_EQ(seen, c.expected) << s.traced;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, CurrentRules,
    ::testing::Values(
        RuleCase{"Defaults", u"", u"", u"any", u"any", JvmType::Default, "Ks Kc Kc "},
        RuleCase{"BothBoundsIncluded", u"", u"", u"11.0.21", u"17.0.9", JvmType::Default, "Ks Kc -- "},
        RuleCase{"UpperWithFill", u"", u"", u"any", u"11", JvmType::Default, "-- Kc Kc "},
        RuleCase{"MissingUpperBound", u"", u"", u"", u"", JvmType::Default, "Ks Kc Kc "},
        RuleCase{"OnlyJdk", u"only_JDK", u"", u"any", u"any", JvmType::Default, "Ks -- -- "},
        RuleCase{"FavorJdkSearchesBoth", u"favor_JDK", u"", u"any", u"any", JvmType::Default, "Ks kc kc "},
        RuleCase{"OnlyJreCoversZuluJre", u"only_JRE", u"", u"any", u"any", JvmType::Default, "-- Kc Kc "},
        RuleCase{"UnknownSource", u"JRE", u"", u"any", u"any", JvmType::Default, "-- -- -- "},
        RuleCase{"NeverUnderJRockit", u"", u"jrockit", u"any", u"any", JvmType::Default, "-- -- -- "},
        RuleCase{"FavorSunFavours", u"", u"favor_sun", u"any", u"any", JvmType::Default, "Ks Kc Kc "},
        RuleCase{"FavorJRockitDoesNot", u"", u"favor_jrockit", u"any", u"any", JvmType::Default, "ks kc kc "},
        RuleCase{"ServerOnly", u"", u"", u"any", u"any", JvmType::ServerOnly, "Ks Ks -- "},
        // A runtime environment ranks by its client library, as in the legacy root.
        RuleCase{"FavorServer", u"", u"", u"any", u"any", JvmType::FavorServer, "Ks Kc Kc "}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CurrentRegistrations, JavaEightKitUsesItsJreFolder) {
    Stage s;
    // Temurin 8 registers the kit's own folder; its library is in jre.
    const WideString kit = s.runtime(u"/rt/jdk8", "1.8.0_392", {nativePath(u"jre/") + kServer, kCompiler});
    const WideString modern = s.runtime(u"/rt/jdk17", "17.0.9",
                                        {kServer, nativePath(u"jre/") + kClient});  // own library wins
    s.fake.runtimes.setValue(kMachine, u"Software\\Eclipse Adoptium\\JDK\\8.0.392.8\\hotspot\\MSI", u"Path", kit);
    s.fake.runtimes.setValue(kMachine, u"Software\\Eclipse Adoptium\\JDK\\17.0.9.9\\hotspot\\MSI", u"Path", modern);
    const auto found = s.registrations();
    ASSERT_EQ(found.size(), 2u) << s.traced;
    EXPECT_EQ(found[0].home, kit + nativePath(u"/jre/"));
    EXPECT_EQ(found[0].version.parts, (std::array<std::int32_t, 4>{1, 8, 0, 392}));
    EXPECT_EQ(found[1].home, modern + kPathSeparator);
}

TEST(CurrentRegistrations, DuplicateFolderKeepsTheFirst) {
    Stage s;
    const WideString home = s.runtime(u"/rt/jdk17", "17.0.9", {kServer});
    const WideString other = s.runtime(u"/rt/jdk21", "21.0.1", {kServer});
    // Oracle-style JavaSoft key and the vendor's own key name one folder; the
    // vendor key writes it with a trailing separator.
    s.fake.runtimes.setValue(kMachine, u"Software\\JavaSoft\\JDK\\17", u"JavaHome", home);
    s.fake.runtimes.setValue(kMachine, u"Software\\Eclipse Adoptium\\JDK\\17.0.9.9\\hotspot\\MSI", u"Path",
                             home + kPathSeparator);
    s.fake.runtimes.setValue(kMachine, u"Software\\Eclipse Adoptium\\JDK\\21.0.1.12\\hotspot\\MSI", u"Path", other);
#ifdef _WIN32
    // Windows folder names ignore case.
    WideString shouted = home;
    for (char16_t& ch : shouted) ch = ch >= u'a' && ch <= u'z' ? static_cast<char16_t>(ch - 32) : ch;
    s.fake.runtimes.setValue(kMachine, u"Software\\SapMachine\\JDK\\17", u"JavaHome", shouted);
#endif
    s.fake.environment.variables[u"JAVA_HOME"] = home;
    CurrentFindings found;
    searchCurrentRegistrations(s.fake.platform, s.trace, s.rules, currentRegistrations(), found);
    searchJavaHome(s.fake.platform, s.trace, s.rules, found);
    ASSERT_EQ(found.candidates.size(), 2u) << s.traced;
    EXPECT_EQ(found.candidates[0].home, home + kPathSeparator);
    EXPECT_EQ(found.candidates[1].home, other + kPathSeparator);
    const std::string first = ") dropped: version 17.0.9.0 from the release file, the same folder as "
                              "HKEY_LOCAL_MACHINE\\Software\\JavaSoft\\JDK\\17\n";
    const std::string folder = toUtf8(home + kPathSeparator);
    EXPECT_TRUE(s.traces("subkey \"17.0.9.9\" (" + folder + first)) << s.traced;
    EXPECT_TRUE(s.traces("JAVA_HOME (" + folder + first)) << s.traced;
}

// ---- JAVA_HOME ----

TEST(JavaHome, KindFromCompilerAndVersionFromReleaseFile) {
    struct Case {
        const char* name;
        const char* release;
        bool compiler;
        const char16_t* jvmSource;
        bool kept;
        std::int32_t major;
    };
    const Case cases[] = {
        {"kit", "21.0.1", true, u"only_JDK", true, 21},
        {"kit refused by only_JRE", "21.0.1", true, u"only_JRE", false, 0},
        {"runtime environment", "21.0.1", false, u"only_JRE", true, 21},
        {"no release file counts as 0.0.0.0", nullptr, false, u"", true, 0},
    };
    for (const Case& c : cases) {
        Stage s;
        applyJvmSource(c.jvmSource, s.rules.policy);
        std::vector<WideString> files{kServer};
        if (c.compiler) files.push_back(kCompiler);
        s.fake.environment.variables[u"JAVA_HOME"] = s.runtime(u"/zip/jdk", c.release, files);
        CurrentFindings found;
        searchJavaHome(s.fake.platform, s.trace, s.rules, found);
        ASSERT_EQ(found.candidates.size(), c.kept ? 1u : 0u) << c.name << "\n" << s.traced;
        if (c.kept) {
            EXPECT_EQ(found.candidates[0].version.parts[0], c.major) << c.name;
        }
    }
    // A version-less JAVA_HOME is below any real lower bound.
    Stage s;
    s.rules.lower = readLowerBound(u"11");
    s.fake.environment.variables[u"JAVA_HOME"] = s.runtime(u"/zip/jdk", nullptr, {kServer});
    CurrentFindings found;
    searchJavaHome(s.fake.platform, s.trace, s.rules, found);
    EXPECT_TRUE(found.candidates.empty());
    EXPECT_TRUE(s.traces("version 0.0.0.0 unknown (no release file), below the minimum version")) << s.traced;
}

// ---- runtime folders (the Linux places) ----

TEST(NamePattern, MatchesAsShellsDo) {
    const struct {
        const char16_t* name;
        const char16_t* pattern;
        bool matches;
    } cases[] = {
        {u"jdk-17", u"*jdk*", true},         {u"openjdk", u"*jdk*", true},   {u"jdk", u"*jdk*", true},
        {u"java", u"*jdk*", false},          {u"JDK-17", u"*jdk*", false},   {u"anything", u"*", true},
        {u".hidden", u"*", false},           {u".jdk", u".*", true},         {u"jdkjd", u"*jdk", false},
        {u"a-jdk-b-jdk", u"*jdk", true},     {u"", u"*", true},              {u"x", u"", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(matchesNamePattern(c.name, c.pattern), c.matches) << toUtf8(c.name) << " ~ " << toUtf8(c.pattern);
    }
}

#ifndef _WIN32
// The install folders are the Linux places; their paths are written with '/'.
TEST(CurrentFolders, EntriesWithReleaseFilesInPatternOrder) {
    Stage s;
    s.fake.runtimes.folders[u"/home/u/.jdks"] = {u"corretto-11", u"notes"};
    s.fake.runtimes.folders[u"/opt"] = {u"google", u"jdk-21", u"openjdk-17"};
    s.fake.files.contents[u"/home/u/.jdks/notes/release"] = "NOT_A_VERSION=1\n";
    s.runtime(u"/home/u/.jdks/corretto-11", "11.0.21", {kServer});
    s.runtime(u"/opt/jdk-21", "21.0.1", {kServer, kCompiler});
    s.runtime(u"/opt/google", "17.0.1", {kServer});  // has a release file but does not match *jdk*
    s.runtime(u"/opt/openjdk-17", "17.0.9", {});     // no library
    CurrentFindings found;
    searchCurrentFolders(s.fake.platform, s.trace, s.rules,
                         {u"/home/u/.sdkman/candidates/java/*", u"/home/u/.jdks/*", u"/opt/*jdk*", u"no-slash"},
                         found);
    ASSERT_EQ(found.candidates.size(), 2u) << s.traced;
    EXPECT_EQ(found.candidates[0].home, nativePath(u"/home/u/.jdks/corretto-11/"));
    EXPECT_EQ(found.candidates[1].home, nativePath(u"/opt/jdk-21/"));
    EXPECT_EQ(found.candidates[1].version.parts[0], 21);
    for (const char* expected : {"folder /home/u/.sdkman/candidates/java skipped: it cannot be read",
                                 "folder /opt opened, 2 of 3 entries match \"*jdk*\"",
                                 "/home/u/.jdks/notes/ dropped: no JAVA_VERSION in a release file, not a runtime",
                                 "version 17.0.9.0 from the release file, no JVM library",
                                 "folder pattern \"no-slash\" skipped"}) {
        EXPECT_TRUE(s.traces(expected)) << expected << "\n" << s.traced;
    }
}

// Which folder patterns the Linux stage searches, by the two variables.
TEST(CurrentFolders, VariablesChooseThePatterns) {
    struct Case {
        const char* name;
        std::vector<std::pair<const char16_t*, const char16_t*>> variables;
        const char* expected;  // homes kept, in order, ' '-separated
    };
    const Case cases[] = {
        {"defaults under HOME", {{u"HOME", u"/home/u/"}}, "/zip/jdk/ /home/u/.jdks/a/ /opt/jdk-21/ "},
        {"no HOME", {}, "/zip/jdk/ /opt/jdk-21/ "},
        {"first list replaced: none", {{u"HOME", u"/home/u"}, {u"CORVID_RUNTIMES", u"/x"}}, "/zip/jdk/ "},
        {"own list", {{u"HOME", u"/home/u"}, {u"CORVID_RUNTIMES", u"/x"}, {u"CORVID_CURRENT_RUNTIMES", u"/opt/*:"}},
         "/zip/jdk/ /opt/jdk-21/ /opt/jre-8/ "},
        {"own list without the first", {{u"CORVID_CURRENT_RUNTIMES", u"/home/u/.jdks/*"}}, "/zip/jdk/ /home/u/.jdks/a/ "},
        {"empty own list", {{u"HOME", u"/home/u"}, {u"CORVID_CURRENT_RUNTIMES", u""}}, "/zip/jdk/ "},
    };
    for (const Case& c : cases) {
        Stage s;
        s.fake.environment.variables[u"JAVA_HOME"] = s.runtime(u"/zip/jdk", "17.0.2", {kServer});
        s.fake.runtimes.folders[u"/home/u/.jdks"] = {u"a"};
        s.fake.runtimes.folders[u"/opt"] = {u"jdk-21", u"jre-8"};
        s.runtime(u"/home/u/.jdks/a", "11", {kServer});
        s.runtime(u"/opt/jdk-21", "21", {kServer});
        s.runtime(u"/opt/jre-8", "1.8.0_392", {kServer});
        for (const auto& [name, value] : c.variables) s.fake.environment.variables[name] = value;
        std::string homes;
        for (const JreCandidate& candidate : searchCurrentRuntimes(s.fake.platform, s.trace, s.rules)) {
            homes += toUtf8(candidate.home) + " ";
        }
        EXPECT_EQ(homes, c.expected) << c.name << "\n" << s.traced;
    }
}
#endif

// ---- within the selection: only after the legacy roots, and the switch ----

struct StageCase {
    const char* name;
    const char16_t* minimum;
    const char16_t* switchLine;
    const char16_t* preferred;
    const char16_t* folder;  // of the runtime chosen, nullptr: none
    bool server;             // its library is the server one
    bool currentSearched;
};

class SecondStage : public ::testing::TestWithParam<StageCase> {};

TEST_P(SecondStage, RunsOnlyWhenTheLegacyRootsYieldNothing) {
    const StageCase& c = GetParam();
    SelectionWorld s;
    s.configure(c.switchLine);
    s.launcher.minVersion = readLowerBound(c.minimum);
    s.launcher.preferredVersions = {c.preferred};
    s.fake.runtimes.add(RegistryRoot::JavaSoftJre, u"1.8.0_392", nativePath(u"/legacy8"));
    s.fake.files.existing.insert(nativePath(u"/legacy8/") + kClient);
    s.fake.runtimes.setValue(kMachine, u"Software\\Microsoft\\JDK\\21.0.1.12\\hotspot\\MSI", u"Path",
                             nativePath(u"/current21/"));
    s.fake.files.existing.insert(nativePath(u"/current21/") + kServer);
    s.fake.files.existing.insert(nativePath(u"/current17/") + kServer);
    s.fake.files.contents[nativePath(u"/current17/release")] = "JAVA_VERSION=\"17.0.9\"\n";
    s.fake.runtimes.setValue(kUser, u"Software\\Eclipse Adoptium\\JDK\\17.0.9.9\\hotspot\\MSI", u"Path",
                             nativePath(u"/current17/"));
#ifndef _WIN32
    // The Linux stage reaches registrations through the portable search only
    // on Windows; here the same runtimes stand in folders.
    s.fake.environment.variables[u"CORVID_CURRENT_RUNTIMES"] = u"/current*";
    s.fake.runtimes.folders[u"/"] = {u"current17", u"current21", u"legacy8"};
    s.fake.files.contents[u"/current21/release"] = "JAVA_VERSION=\"21.0.1\"\n";
#endif
    const WideString chosen = selectRuntime(s.launcher);
    EXPECT_EQ(chosen, c.folder ? nativePath(c.folder) + (c.server ? kServer : kClient) : WideString()) << s.traced;
    const bool searched = s.traced.find("searching current runtimes") != std::string::npos;
    EXPECT_EQ(searched, c.currentSearched) << s.traced;
#ifdef _WIN32
    EXPECT_EQ(!s.fake.runtimes.valuesRead.empty(), c.currentSearched);
#endif
}

INSTANTIATE_TEST_SUITE_P(
    Selection, SecondStage,
    ::testing::Values(
        StageCase{"LegacyWithinBoundsWins", u"1.8", u"", u"", u"/legacy8/", false, false},
        StageCase{"LegacyBelowMinimumLetsCurrentIn", u"11", u"", u"", u"/current21/", true, true},
        StageCase{"PreferredAmongCurrent", u"11", u"", u"17", u"/current17/", true, true},
        StageCase{"SwitchedOff", u"11", u"Search Current Runtimes=No", u"", nullptr, false, false},
        StageCase{"SwitchAnyCase", u"11", u"Search Current Runtimes=nO", u"", nullptr, false, false},
        StageCase{"OtherSwitchTextKeepsItOn", u"11", u"Search Current Runtimes=false", u"", u"/current21/", true,
                  true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace corvid
