#include <gtest/gtest.h>

#include "config/config_keys.h"
#include "runtime/library_machine.h"
#include "runtime/runtime_selection.h"
#include "start/launcher.h"
#include "support/runtime_world.h"

namespace corvid {
namespace {

using namespace testing;

// ---- ordering ----

struct SortCase {
    const char* name;
    std::vector<JreCandidate> list;
    JvmType type;
    bool favorSource;
    const char* expected;
};

class SortCandidates : public ::testing::TestWithParam<SortCase> {};

TEST_P(SortCandidates, OrdersByFavourThenServerThenVersion) {
    SortCase c = GetParam();
    sortCandidates(c.list, c.type, c.favorSource);
    EXPECT_EQ(tags(c.list), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, SortCandidates,
    ::testing::Values(
        SortCase{"HighestVersionFirst", candidates({u"a:1.5", u"b:1.7", u"c:1.6.0_10", u"d:1.6"}), JvmType::Default,
                 false, "bcda"},
        SortCase{"EqualVersionsKeepSearchOrder", candidates({u"a:1.6", u"b:1.7", u"c:1.6.0.0", u"d:1.6"}),
                 JvmType::Default, false, "bacd"},
        SortCase{"ServerIgnoredByDefault", candidates({u"a:1.5s", u"b:1.7"}), JvmType::Default, false, "ba"},
        SortCase{"ServerIgnoredUnderServerOnly", candidates({u"a:1.5s", u"b:1.7"}), JvmType::ServerOnly, false, "ba"},
        SortCase{"ServerBeforeVersion", candidates({u"a:1.7", u"b:1.5s", u"c:1.6s", u"d:1.8"}), JvmType::FavorServer,
                 false, "cbda"},
        SortCase{"FavouredIgnoredWithoutFavorSource", candidates({u"a:1.5f", u"b:1.7"}), JvmType::Default, false,
                 "ba"},
        SortCase{"FavouredBeforeServerAndVersion", candidates({u"a:1.7s", u"b:1.5f", u"c:1.6fs", u"d:1.8f"}),
                 JvmType::FavorServer, true, "cdba"},
        SortCase{"AllThreeWithTies",
                 candidates({u"a:1.6", u"b:1.6f", u"c:1.6s", u"d:1.6fs", u"e:1.6f", u"f:1.7fs", u"g:1.6fs"}),
                 JvmType::FavorServer, true, "fdgbeca"},
        SortCase{"DigitlessNamesLast", candidates({u"a:abc", u"b:1.1", u"c:xyz"}), JvmType::Default, true, "bac"},
        SortCase{"Empty", {}, JvmType::FavorServer, true, ""}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- preferred versions ----

struct PickCase {
    const char* name;
    std::vector<const char16_t*> preferred;
    bool withDigitless;
    const char* pick;
    int entry;  // -1: none matched
};

class PickPreferred : public ::testing::TestWithParam<PickCase> {};

TEST_P(PickPreferred, TakesFirstEntryThatMatchesAny) {
    const PickCase& c = GetParam();
    // Already in sorted order.
    auto list = candidates({u"a:17.0.2", u"b:1.6.0_10-b03", u"c:1.6.0_10", u"d:1.6", u"e:1.5"});
    if (c.withDigitless) list.push_back(candidate(u"z:jre"));
    WideList preferred;
    for (const char16_t* entry : c.preferred) preferred.emplace_back(entry);
    const PreferredPick pick = pickPreferred(list, preferred);
    EXPECT_EQ(toUtf8(list[pick.candidate].home), c.pick);
    EXPECT_EQ(pick.entry ? static_cast<int>(*pick.entry) : -1, c.entry);
}

INSTANTIATE_TEST_SUITE_P(
    Entries, PickPreferred,
    ::testing::Values(PickCase{"OneEmptyEntry", {u""}, false, "a", -1},
                      PickCase{"EmptyEntryMatchesZeroVersion", {u""}, true, "z", 0},
                      PickCase{"UnreadableEntryActsAsEmpty", {u"latest", u"1.5"}, true, "z", 0},
                      PickCase{"SkipsEmptyEntries", {u"", u"1.5", u""}, false, "e", 1},
                      PickCase{"ListOrderBeatsRank", {u"1.5", u"1.6"}, false, "e", 0},
                      PickCase{"PrefixMatchInSortedOrder", {u"1.6"}, false, "b", 0},
                      PickCase{"MajorOnlyPrefix", {u"1"}, false, "b", 0},
                      PickCase{"NewStyleVersion", {u"17"}, false, "a", 0},
                      PickCase{"ThreeGroupsPrefix", {u"1.6.0"}, false, "b", 0},
                      PickCase{"FourGroupsExactParts", {u"1.6.0.0"}, false, "d", 0},
                      PickCase{"FiveGroups", {u"1.6.0.10.99"}, false, "b", 0},
                      PickCase{"NoMatchTakesFirst", {u"9", u"1.4"}, true, "a", -1},
                      PickCase{"NoEntries", {}, false, "a", -1}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- requirement text and the not-found message ----

struct RequirementCase {
    const char* name;
    const char16_t* minimum;
    const char16_t* maximum;
    const char16_t* text;
};

class RequirementText : public ::testing::TestWithParam<RequirementCase> {};

TEST_P(RequirementText, DescribesBounds) {
    const RequirementCase& c = GetParam();
    FakePlatform fake;
    EXPECT_EQ(buildRequirementText(fake.ui, readLowerBound(c.minimum), readUpperBound(c.maximum)), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Bounds, RequirementText,
    ::testing::Values(RequirementCase{"BothOpen", u"any", u"any", u"latest version"},
                      // An upper bound "0" is 0.65535.65535.65535: not open, and
                      // written as the major alone, as the user wrote it.
                      RequirementCase{"UpperBoundZero", u"any", u"0", u"maximum version 0"},
                      RequirementCase{"MissingCountsAsOpen", u"", u"", u"latest version"},
                      RequirementCase{"UpperOnly", u"any", u"1.6", u"maximum version 1.6"},
                      RequirementCase{"LowerOnly", u"1.5", u"any", u"minimum version 1.5"},
                      RequirementCase{"LowerWithMissingUpper", u"1.5", u"", u"minimum version 1.5"},
                      RequirementCase{"Exact", u"1.6.0.10", u"1.6.0.10", u"version 1.6.0.10 is required"},
                      RequirementCase{"SameTextDifferentFill", u"1.6", u"1.6", u"version between 1.6 and 1.6"},
                      RequirementCase{"Between", u"1.5", u"1.7", u"version between 1.5 and 1.7"},
                      // An upper bound of a major alone is written as the user wrote it.
                      RequirementCase{"UpperMajorAlone", u"any", u"17", u"maximum version 17"},
                      RequirementCase{"BetweenMajors", u"11", u"17", u"version between 11.0 and 17"},
                      RequirementCase{"UpperMajorWithMinorKeepsTail", u"1.0", u"17.0", u"version between 1.0 and 17.0"},
                      RequirementCase{"LowerFilledLikeUpper", u"11.65535.65535.65535", u"any", u"minimum version 11"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RuntimeNotFoundMessage, ServerOnlyAsksForServerJvm) {
    FakePlatform fake;
    const JavaVersion lower = readLowerBound(u"1.5");
    const JavaVersion upper = readUpperBound(u"any");
    EXPECT_EQ(buildRuntimeNotFoundMessage(fake.ui, lower, upper, JvmType::ServerOnly),
              u"The Java Runtime Environment (JRE) was not found. Please  download and install a JRE with a server "
              u"JVM (minimum version 1.5) from:");
    EXPECT_EQ(buildRuntimeNotFoundMessage(fake.ui, lower, upper, JvmType::FavorServer),
              u"The Java Runtime Environment (JRE) was not found. Please  download and install a JRE (minimum "
              u"version 1.5) from:");
    fake.ui.language = 0x0407;  // German
    EXPECT_EQ(buildRuntimeNotFoundMessage(fake.ui, lower, upper, JvmType::Default),
              u"Die Java Runtime Environment (JRE) wurde nicht gefunden. Bitte downloaden und installieren Sie eine "
              u"JRE (minimum Version 1.5) von:");
}

// ---- the sources of a runtime ----

TEST(SelectRuntime, ConfiguredFolderFirstUnexpanded) {
    SelectionWorld s;
    s.launcher.jrePath = nativePath(u"%JAVA%/rt");
    s.file(u"%JAVA%/rt/", kClient);
    s.file(u"C:/Apps/Tool/", kMarker);
    s.file(u"C:/Apps/Tool/", kClient);
    // Relative, so resolved against the current directory, but not expanded.
    EXPECT_EQ(selectRuntime(s.launcher), s.fake.process.currentDirectory + nativePath(u"%JAVA%/rt/") + kClient);
}

TEST(SelectRuntime, ConfiguredFolderWithoutServerFallsThrough) {
    SelectionWorld s;
    s.launcher.jvmType = JvmType::ServerOnly;
    s.launcher.jrePath = nativePath(u"/cfg/");
    s.file(u"/cfg/", kClient);
    s.registered(RegistryRoot::JavaSoftJre, u"1.6", u"/reg");
    s.file(u"/reg/", kServer);
    EXPECT_EQ(selectRuntime(s.launcher), nativePath(u"/reg/") + kServer);
}

struct BesideCase {
    const char* name;
    std::vector<const char16_t*> files;  // relative to C:/Apps/Tool/ unless starting with '='
    JvmType type;
    const char16_t* expected;            // nullptr: the registered runtime is used
};

class BesideExecutable : public ::testing::TestWithParam<BesideCase> {};

WideString libraryPath(std::u16string_view spec) {
    // "client"/"server" stand for this platform's library names.
    const std::size_t at = spec.rfind(u'/');
    const std::u16string_view kind = spec.substr(at + 1);
    WideString folder = nativePath(spec.substr(0, at + 1));
    if (kind == u"client") return folder + kClient;
    if (kind == u"server") return folder + kServer;
    return folder + kMarker;
}

TEST_P(BesideExecutable, FindsBundledRuntime) {
    const BesideCase& c = GetParam();
    SelectionWorld s;
    s.launcher.jvmType = c.type;
    for (const char16_t* spec : c.files) {
        const std::u16string_view text(spec);
        if (text.front() == u'=') {
            s.fake.files.existing.insert(libraryPath(text.substr(1)));
        } else {
            s.fake.files.existing.insert(libraryPath(u"C:/Apps/Tool/" + WideString(text)));
        }
    }
    s.registered(RegistryRoot::JavaSoftJre, u"1.6", u"/reg");
    s.file(u"/reg/", kClient);
    s.file(u"/reg/", kServer);
    const WideString expected = c.expected ? libraryPath(c.expected) : nativePath(u"/reg/") + kClient;
    EXPECT_EQ(selectRuntime(s.launcher), c.type == JvmType::Default || c.expected ? expected
                                                                                  : nativePath(u"/reg/") + kServer);
    // Nothing is looked up relative to the current directory.
    for (const WideString& lookup : s.fake.files.lookups) {
        EXPECT_TRUE(lookup != kClient && lookup != kServer && lookup != kMarker) << toUtf8(lookup);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Folders, BesideExecutable,
    ::testing::Values(
        BesideCase{"ExecutableFolder", {u"marker", u"client", u"jre64/marker", u"jre64/client"}, JvmType::Default,
                   u"C:/Apps/Tool/client"},
        BesideCase{"Jre64Subfolder", {u"jre64/marker", u"jre64/client", u"client"}, JvmType::Default,
                   u"C:/Apps/Tool/jre64/client"},
        BesideCase{"Jre64ServerOnly", {u"jre64/marker", u"jre64/client", u"jre64/server"}, JvmType::ServerOnly,
                   u"C:/Apps/Tool/jre64/server"},
        BesideCase{"MarkerWithoutLibrary", {u"marker", u"jre64/marker", u"jre64/client"}, JvmType::Default, nullptr},
        // No marker: the library is still looked for under the executable's
        // folder, and never relative to the current directory.
        BesideCase{"LibraryWithoutMarkerIsFoundBesideTheExecutable", {u"server"}, JvmType::Default,
                   u"C:/Apps/Tool/server"},
        BesideCase{"ExecutableFolderBeforeCurrentDirectory", {u"server", u"=server"}, JvmType::FavorServer,
                   u"C:/Apps/Tool/server"},
        BesideCase{"CurrentDirectoryIsNeverSearched", {u"=client", u"=server", u"=marker"}, JvmType::Default,
                   nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SelectRuntime, ModulePathFailureIsShownAndSkipsSourceTwo) {
    SelectionWorld s;
    s.fake.process.module = {false, {}, 5};
    s.registered(RegistryRoot::JavaSoftJre, u"1.6", u"/reg");
    s.file(u"/reg/", kClient);
    EXPECT_EQ(selectRuntime(s.launcher), nativePath(u"/reg/") + kClient);
    ASSERT_EQ(s.fake.ui.boxes.size(), 1u);
    EXPECT_NE(s.fake.ui.boxes[0].text.find(u"failed to get the module path"), WideString::npos);
    for (const WideString& lookup : s.fake.files.lookups) EXPECT_NE(lookup, kClient) << "no empty-folder lookup";
}

TEST(SelectRuntime, FavorServerRanksJreAsClientButLoadsServer) {
    SelectionWorld s;
    s.launcher.jvmType = JvmType::FavorServer;
    s.registered(RegistryRoot::JavaSoftJdk, u"1.5", u"/jdk5");
    s.file(u"/jdk5/jre/", kServer);
    s.file(u"/jdk5/", u"jre");
    s.registered(RegistryRoot::JavaSoftJre, u"1.6", u"/jre6");
    s.file(u"/jre6/", kClient);
    s.file(u"/jre6/", kServer);
    // Both favoured; the kit ranks first by its server library.
    EXPECT_EQ(selectRuntime(s.launcher), nativePath(u"/jdk5/jre/") + kServer);
    // With the kit gone the runtime environment is picked, with its server library.
    s.fake.runtimes.roots.erase(RegistryRoot::JavaSoftJdk);
    EXPECT_EQ(selectRuntime(s.launcher), nativePath(u"/jre6/") + kServer);
}

TEST(SelectRuntime, NothingFoundIsEmptyAndTraced) {
    SelectionWorld s;
    s.registered(RegistryRoot::JavaSoftJre, u"1.7", u"/jre7");
    s.file(u"/jre7/", kClient);
    s.launcher.maxVersion = readUpperBound(u"1.6");
    EXPECT_EQ(selectRuntime(s.launcher), u"");
    EXPECT_NE(s.traced.find("\"1.7\" version 1.7.0.0 dropped: above the maximum version"), std::string::npos)
        << s.traced;
    EXPECT_NE(s.traced.find("no runtime found"), std::string::npos);
    EXPECT_TRUE(s.fake.ui.boxes.empty());
}

TEST(SelectRuntime, TraceExplainsThePick) {
    SelectionWorld s;
    s.launcher.preferredVersions = {u"1.5", u"1.6"};
    s.registered(RegistryRoot::JavaSoftJre, u"1.6", u"/jre6");
    s.file(u"/jre6/", kClient);
    s.registered(RegistryRoot::JavaSoftJre, u"1.5", u"/jre5");
    s.registered(RegistryRoot::JavaSoftJre, u"1.4", u"/jre4");
    s.file(u"/jre4/", kClient);
    EXPECT_EQ(selectRuntime(s.launcher), nativePath(u"/jre6/") + kClient);
    const std::string jre5 = toUtf8(nativePath(u"/jre5/"));
    const std::vector<std::string> expectedLines = {
        "root Software\\JavaSoft\\Java Development Kit\\ cannot be opened",
        "root Software\\JRockit\\Java Runtime Environment\\ skipped: VM Provider excludes JRockit",
        "\"1.5\" version 1.5.0.0 dropped: no JVM library in " + jre5,
        "\"1.6\" kept: 1.6.0.0 at " + toUtf8(nativePath(u"/jre6/")) + " (isServer no, isFavoured yes)",
        "  1. 1.6.0.0 at",
        "  2. 1.4.0.0 at",
        ", matching preferred entry \"1.6\"",
        "JVM library " + toUtf8(nativePath(u"/jre6/") + kClient),
    };
    for (const std::string& expected : expectedLines) {
        EXPECT_NE(s.traced.find(expected), std::string::npos) << expected << "\n" << s.traced;
    }
}

// ---- libraries of another machine ----

// The first bytes of a library whose PE header (or ELF header on Linux)
// names the given machine.
std::string libraryFor(LibraryMachine::Kind kind) {
#ifdef _WIN32
    const std::uint16_t machine = kind == LibraryMachine::Kind::X86 ? 0x014c : kind == LibraryMachine::Kind::Arm64 ? 0xAA64 : 0x8664;
    std::string bytes(0x100, '\0');
    bytes.replace(0, 2, "MZ");
    bytes[0x3C] = 0x40;
    bytes.replace(0x40, 4, std::string("PE\0\0", 4));
    bytes[0x44] = static_cast<char>(machine & 0xFF);
    bytes[0x45] = static_cast<char>(machine >> 8);
#else
    const std::uint16_t machine = kind == LibraryMachine::Kind::X86 ? 3 : kind == LibraryMachine::Kind::Arm64 ? 183 : 62;
    std::string bytes(0x40, '\0');
    bytes.replace(0, 4, "\x7F" "ELF");
    bytes[4] = kind == LibraryMachine::Kind::X86 ? 1 : 2;
    bytes[5] = 1;
    bytes[18] = static_cast<char>(machine & 0xFF);
    bytes[19] = static_cast<char>(machine >> 8);
#endif
    return bytes;
}

TEST(SelectRuntime, RegisteredLibrariesOfAnotherMachineGiveWay) {
    SelectionWorld s;
    const struct {
        const char16_t* version;
        const char16_t* home;
        LibraryMachine::Kind kind;
    } runtimes[] = {{u"1.8", u"/x64", LibraryMachine::Kind::X64},
                    {u"17", u"/x86", LibraryMachine::Kind::X86},
                    {u"21", u"/arm64", LibraryMachine::Kind::Arm64}};
    for (const auto& r : runtimes) {
        s.registered(RegistryRoot::JavaSoftJre, r.version, r.home);
        s.fake.files.contents[nativePath(r.home) + nativePath(u"/") + kClient] = libraryFor(r.kind);
    }
    EXPECT_EQ(selectRuntime(s.launcher), nativePath(u"/x64/") + kClient);
    EXPECT_NE(s.traced.find(toUtf8(nativePath(u"/x86/") + kClient) + " is a 32-bit (x86) library"), std::string::npos)
        << s.traced;
    EXPECT_NE(s.traced.find(" is a 64-bit (ARM64) library"), std::string::npos) << s.traced;
    EXPECT_TRUE(s.fake.ui.boxes.empty());
}

TEST(SelectRuntime, ConfiguredLibraryOfAnotherMachineIsNamed) {
    SelectionWorld s;
    s.launcher.jrePath = nativePath(u"/rt32");
    const WideString library = nativePath(u"/rt32/") + kClient;
    s.fake.files.contents[library] = libraryFor(LibraryMachine::Kind::X86);
    s.registered(RegistryRoot::JavaSoftJre, u"1.8", u"/x64");
    s.file(u"/x64/", kClient);
    EXPECT_EQ(selectRuntime(s.launcher), u"");
    ASSERT_EQ(s.fake.ui.boxes.size(), 1u);
    EXPECT_EQ(s.fake.ui.boxes[0].text, u"The Java VM library " + library +
                                           u" is a 32-bit (x86) library; this launcher needs a 64-bit (x64) one.");
}

}  // namespace
}  // namespace corvid
