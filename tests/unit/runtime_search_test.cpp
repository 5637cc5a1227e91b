#include <gtest/gtest.h>

#include <algorithm>

#include "config/config_keys.h"
#include "runtime/runtime_search.h"
#include "support/runtime_world.h"

namespace corvid {
namespace {

using namespace testing;

// ---- findJvmLibrary ----

struct LibraryCase {
    const char* name;
    std::vector<const char16_t*> present;  // relative to the folder, "/"-separated
    JvmType type;
    const char16_t* expected;              // nullptr: none
    bool isServer;
};

class FindJvmLibrary : public ::testing::TestWithParam<LibraryCase> {};

TEST_P(FindJvmLibrary, TriesVariantsInTypeOrder) {
    const LibraryCase& c = GetParam();
    FakePlatform fake;
    const WideString folder = nativePath(u"/rt/");
    for (const char16_t* file : c.present) fake.files.existing.insert(folder + nativePath(file));
    bool isServer = !c.isServer;  // must be overwritten when found
    const WideString found = findJvmLibrary(fake.files, folder, c.type, isServer);
    if (!c.expected) {
        EXPECT_EQ(found, u"");
        EXPECT_EQ(isServer, !c.isServer) << "untouched when nothing is found";
        return;
    }
    EXPECT_EQ(found, folder + nativePath(c.expected));
    EXPECT_EQ(isServer, c.isServer);
}

#ifdef _WIN32
INSTANTIATE_TEST_SUITE_P(
    Variants, FindJvmLibrary,
    ::testing::Values(
        LibraryCase{"ClientFirst", {u"bin/server/jvm.dll", u"bin/client/jvm.dll"}, JvmType::Default,
                    u"bin/client/jvm.dll", false},
        LibraryCase{"ServerFirst", {u"bin/server/jvm.dll", u"bin/client/jvm.dll"}, JvmType::FavorServer,
                    u"bin/server/jvm.dll", true},
        LibraryCase{"FavorServerFallsBack", {u"bin/client/jvm.dll"}, JvmType::FavorServer, u"bin/client/jvm.dll",
                    false},
        LibraryCase{"ServerOnlyRefusesClient", {u"bin/client/jvm.dll"}, JvmType::ServerOnly, nullptr, true},
        LibraryCase{"ServerOnly", {u"bin/client/jvm.dll", u"bin/server/jvm.dll"}, JvmType::ServerOnly,
                    u"bin/server/jvm.dll", true},
        LibraryCase{"Classic", {u"bin/jrockit/jvm.dll", u"bin/classic/jvm.dll"}, JvmType::Default,
                    u"bin/classic/jvm.dll", false},
        LibraryCase{"HotspotBeforeServer", {u"bin/server/jvm.dll", u"bin/hotspot/jvm.dll"}, JvmType::Default,
                    u"bin/hotspot/jvm.dll", false},
        LibraryCase{"ServerBeforeJRockit", {u"bin/jrockit/jvm.dll", u"bin/server/jvm.dll"}, JvmType::Default,
                    u"bin/server/jvm.dll", true},
        LibraryCase{"JRockitLast", {u"bin/jrockit/jvm.dll"}, JvmType::FavorServer, u"bin/jrockit/jvm.dll", false},
        LibraryCase{"Nothing", {u"bin/java.dll"}, JvmType::Default, nullptr, false}),
    [](const auto& info) { return std::string(info.param.name); });
#else
INSTANTIATE_TEST_SUITE_P(
    Variants, FindJvmLibrary,
    ::testing::Values(
        LibraryCase{"ClientFirst", {u"lib/server/libjvm.so", u"lib/client/libjvm.so"}, JvmType::Default,
                    u"lib/client/libjvm.so", false},
        LibraryCase{"ServerFirst", {u"lib/server/libjvm.so", u"lib/client/libjvm.so"}, JvmType::FavorServer,
                    u"lib/server/libjvm.so", true},
        LibraryCase{"CurrentLayoutFirst", {u"lib/amd64/client/libjvm.so", u"lib/server/libjvm.so"}, JvmType::Default,
                    u"lib/server/libjvm.so", true},
        LibraryCase{"Java8Client", {u"lib/amd64/server/libjvm.so", u"lib/amd64/client/libjvm.so"}, JvmType::Default,
                    u"lib/amd64/client/libjvm.so", false},
        LibraryCase{"Java8Server", {u"lib/amd64/server/libjvm.so", u"lib/amd64/client/libjvm.so"},
                    JvmType::FavorServer, u"lib/amd64/server/libjvm.so", true},
        LibraryCase{"Java8ServerOnly", {u"lib/amd64/server/libjvm.so"}, JvmType::ServerOnly,
                    u"lib/amd64/server/libjvm.so", true},
        LibraryCase{"ServerOnlyRefusesClient", {u"lib/client/libjvm.so", u"lib/amd64/client/libjvm.so"},
                    JvmType::ServerOnly, nullptr, true},
        LibraryCase{"Nothing", {u"lib/libjava.so"}, JvmType::Default, nullptr, false}),
    [](const auto& info) { return std::string(info.param.name); });
#endif

// ---- which roots are searched and which are favoured ----

struct PolicyCase {
    const char* name;
    const char16_t* jvmSource;
    const char16_t* vmProvider;
    // Per root in search order: '-' not searched, 's' searched, 'f' searched and favoured.
    const char* roots;
};

class RootSelection : public ::testing::TestWithParam<PolicyCase> {};

TEST_P(RootSelection, FollowsSourceAndProvider) {
    const PolicyCase& c = GetParam();
    RuntimeWorld world;
    applyJvmSource(c.jvmSource, world.policy);
    applyVmProvider(c.vmProvider, world.policy);
    // One runtime in every root; its version tells the roots apart.
    const char16_t* versions[] = {u"1.1", u"1.2", u"1.3", u"1.4"};
    for (int i = 0; i < 4; ++i) {
        const WideString home = u"/j" + WideString(1, static_cast<char16_t>(u'0' + i));
        world.registered(kRegistryRoots[i], versions[i], home);
        world.file(home + u"/", kClient);
        world.file(home + u"/jre/", kClient);
    }
    const auto found = world.installed();
    const FakeRuntimeRegistry& registry = world.fake.runtimes;
    std::string seen = "----";
    for (const JreCandidate& candidate : found) {
        seen[static_cast<std::size_t>(candidate.version.parts[1] - 1)] = candidate.isFavoured ? 'f' : 's';
    }
    EXPECT_EQ(seen, c.roots);
    // Only the searched roots are opened, in the order of kRegistryRoots.
    std::string opened = "----";
    for (const RegistryRoot root : registry.listed) opened[static_cast<std::size_t>(root)] = 'x';
    for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(opened[i] == 'x', c.roots[i] != '-') << "root " << i;
    EXPECT_TRUE(std::is_sorted(registry.listed.begin(), registry.listed.end()));
}

INSTANTIATE_TEST_SUITE_P(
    SourceAndProvider, RootSelection,
    ::testing::Values(PolicyCase{"Defaults", u"", u"", "ff--"},
                      PolicyCase{"FavorJre", u"favor_JRE", u"", "sf--"},
                      PolicyCase{"FavorJdk", u"favor_JDK", u"", "fs--"},
                      PolicyCase{"OnlyJdk", u"only_JDK", u"", "f---"},
                      PolicyCase{"OnlyJre", u"only_JRE", u"", "-f--"},
                      PolicyCase{"UnknownSource", u"favor_jre", u"any", "----"},
                      PolicyCase{"JRockitOnly", u"", u"jrockit", "--ff"},
                      PolicyCase{"FavorSun", u"", u"favor_sun", "ffss"},
                      PolicyCase{"FavorJRockit", u"", u"favor_jrockit", "ssff"},
                      PolicyCase{"AnyProvider", u"", u"any", "ssss"},
                      PolicyCase{"AnyProviderFavorJre", u"favor_JRE", u"ANY", "ssss"},
                      PolicyCase{"OnlyJreJRockit", u"only_JRE", u"favor_jrockit", "-sf-"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- bounds ----

struct BoundsCase {
    const char* name;
    const char16_t* minimum;
    const char16_t* maximum;
    const char* kept;  // per subkey of kBoundNames: 'k' kept, '-' dropped
};

const char16_t* const kBoundNames[] = {u"1.5", u"1.6", u"1.6.0_10", u"1.7", u"abc", u"10.0.2"};

class Bounds : public ::testing::TestWithParam<BoundsCase> {};

TEST_P(Bounds, KeepSubkeysBetweenBoundsAndReadNoOthers) {
    const BoundsCase& c = GetParam();
    RuntimeWorld world;
    for (const char16_t* name : kBoundNames) {
        world.registered(RegistryRoot::JavaSoftJre, name, u"/jre/" + WideString(name));
        world.file(u"/jre/" + WideString(name) + u"/", kClient);
    }
    const auto found = world.installed(JvmType::Default, readLowerBound(c.minimum), readUpperBound(c.maximum));
    std::string kept(std::size(kBoundNames), '-');
    std::string read(std::size(kBoundNames), '-');
    for (std::size_t i = 0; i < std::size(kBoundNames); ++i) {
        for (const JreCandidate& candidate : found) {
            if (candidate.home == nativePath(u"/jre/") + kBoundNames[i] + nativePath(u"/")) kept[i] = 'k';
        }
        for (const WideString& name : world.fake.runtimes.javaHomeReads) {
            if (name == kBoundNames[i]) read[i] = 'k';
        }
    }
    EXPECT_EQ(kept, c.kept);
    // The bounds are checked before the subkey is opened.
    EXPECT_EQ(read, c.kept);
}

INSTANTIATE_TEST_SUITE_P(
    Versions, Bounds,
    ::testing::Values(BoundsCase{"AnyAny", u"any", u"any", "kkkkkk"},
                      BoundsCase{"UpperFillsWith65535", u"1.6", u"1.6", "-kk---"},
                      BoundsCase{"MissingUpperIsNoBound", u"", u"", "kkkkkk"},
                      BoundsCase{"MissingLowerAdmitsDigitless", u"", u"1.6", "kkk-k-"},
                      BoundsCase{"BothEndsIncluded", u"1.6.0.10", u"1.7.0.0", "--kk--"},
                      BoundsCase{"NumericNotTextual", u"1.8", u"any", "-----k"},
                      BoundsCase{"InvertedBounds", u"1.7", u"1.5", "------"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- JavaHome, kits, lookup type, duplicates ----

TEST(SearchInstalledRuntimes, BuildsHomeFolders) {
    RuntimeWorld world;
    world.registered(RegistryRoot::JavaSoftJre, u"1.6", u"/jre6");    // no separator
    world.registered(RegistryRoot::JavaSoftJre, u"1.6.0_10", u"/jre6/");  // same folder again
    world.registered(RegistryRoot::JavaSoftJdk, u"1.6.0_10", u"/jdk6");
    world.file(u"/jre6/", kClient);
    world.file(u"/jdk6/jre/", kClient);
    world.file(u"/jdk6/jre");
    const auto found = world.installed();
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0].home, nativePath(u"/jdk6/jre/"));
    EXPECT_EQ(found[0].version.parts, (std::array<std::int32_t, 4>{1, 6, 0, 10}));
    EXPECT_EQ(found[0].version.count, 4);
    EXPECT_EQ(found[1].home, nativePath(u"/jre6/"));
    EXPECT_EQ(found[1].version.count, 2);
    EXPECT_EQ(found[2].home, nativePath(u"/jre6/")) << "duplicates are kept";
}

TEST(SearchInstalledRuntimes, DevelopmentKitNeedsItsRuntimeFolder) {
    RuntimeWorld world;
    world.registered(RegistryRoot::JavaSoftJdk, u"1.6", u"/jdk6");
    world.registered(RegistryRoot::JavaSoftJdk, u"17", u"/jdk17");
    // The kit's own folder has a library, its jre folder has none.
    world.file(u"/jdk6/", kClient);
    world.file(u"/jdk6/jre");
    world.file(u"/jdk17/", kServer);
    const auto found = world.installed();
#ifdef _WIN32
    // A kit always stands for its jre folder.
    EXPECT_TRUE(found.empty());
#else
    // Kits since Java 9 have no jre folder and are runtimes themselves.
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].home, u"/jdk17/");
    EXPECT_TRUE(found[0].isServer);
#endif
}

struct LookupCase {
    const char* name;
    JvmType type;
    RegistryRoot root;
    bool found;
    bool isServer;
};

class LookupType : public ::testing::TestWithParam<LookupCase> {};

// A runtime with both libraries, and a runtime with only the client one.
TEST_P(LookupType, FavorServerIsDefaultForJavaSoftRuntimes) {
    const LookupCase& c = GetParam();
    RuntimeWorld world;
    world.registered(c.root, u"1.6", u"/both");
    world.registered(c.root, u"1.6", u"/client");
    for (const char16_t* home : {u"/both/", u"/both/jre/"}) {
        world.file(home, kClient);
        world.file(home, kServer);
    }
    world.file(u"/both/jre");
    world.file(u"/client/jre");
    world.file(u"/client/", kClient);
    world.file(u"/client/jre/", kClient);
    applyVmProvider(u"any", world.policy);
    const auto found = world.installed(c.type);
    ASSERT_GE(found.size(), 1u);
    EXPECT_EQ(found[0].isServer, c.isServer);
    EXPECT_EQ(found.size(), c.found ? 2u : 1u) << "the client-only runtime";
}

INSTANTIATE_TEST_SUITE_P(
    Types, LookupType,
    ::testing::Values(LookupCase{"DefaultJre", JvmType::Default, RegistryRoot::JavaSoftJre, true, false},
                      LookupCase{"FavorServerJre", JvmType::FavorServer, RegistryRoot::JavaSoftJre, true, false},
                      LookupCase{"FavorServerJdk", JvmType::FavorServer, RegistryRoot::JavaSoftJdk, true, true},
                      LookupCase{"FavorServerJRockitJre", JvmType::FavorServer, RegistryRoot::JRockitJre, true, true},
                      LookupCase{"ServerOnlyJre", JvmType::ServerOnly, RegistryRoot::JavaSoftJre, false, true}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- registry contents from outside ----

std::vector<std::uint8_t> utf16(std::u16string_view text) { return registryText(text, false); }

struct JavaHomeCase {
    const char* name;
    JavaHomeValue value;
    const char16_t* folder;  // nullptr: dropped
};

JavaHomeValue raw(std::uint32_t type, std::vector<std::uint8_t> data) {
    JavaHomeValue value;
    value.status = JavaHomeValue::Status::Found;
    value.type = type;
    value.data = std::move(data);
    return value;
}

JavaHomeValue failed(JavaHomeValue::Status status) {
    JavaHomeValue value;
    value.status = status;
    return value;
}

std::vector<std::uint8_t> operator+(std::vector<std::uint8_t> a, const std::vector<std::uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const WideString kLongest(kMaxJavaHomeLength, u'a');
const WideString kTooLong(kMaxJavaHomeLength + 1, u'a');
const std::vector<std::uint8_t> kNul{0, 0};

class MalformedJavaHome : public ::testing::TestWithParam<JavaHomeCase> {};

TEST_P(MalformedJavaHome, IsDroppedNeverCut) {
    const JavaHomeCase& c = GetParam();
    const DecodedJavaHome decoded = decodeJavaHome(c.value);
    if (c.folder) {
        ASSERT_TRUE(decoded.folder);
        EXPECT_EQ(*decoded.folder, c.folder);
    } else {
        EXPECT_FALSE(decoded.folder) << toUtf8(decoded.folder.value_or(u""));
        EXPECT_STRNE(decoded.problem, "");
    }
    // Through the search, a dropped value drops its subkey and nothing else.
    RuntimeWorld world;
    world.fake.runtimes.roots[RegistryRoot::JavaSoftJre].push_back({u"1.6", c.value});
    world.registered(RegistryRoot::JavaSoftJre, u"1.5", u"/good");
    world.file(u"/good/", kClient);
    if (c.folder) world.fake.files.existing.insert(WideString(c.folder) + kPathSeparator + kClient);
    const auto found = world.installed();
    ASSERT_EQ(found.size(), c.folder ? 2u : 1u);
    EXPECT_EQ(found.back().home, nativePath(u"/good/"));
}

INSTANTIATE_TEST_SUITE_P(
    Values, MalformedJavaHome,
    ::testing::Values(
        JavaHomeCase{"String", raw(kRegistryString, utf16(u"C:\\j") + kNul), u"C:\\j"},
        JavaHomeCase{"TextEndsAtFirstNul", raw(kRegistryString, utf16(u"C:\\j") + kNul + utf16(u"x") + kNul), u"C:\\j"},
        JavaHomeCase{"OddTrailingByte", raw(kRegistryString, utf16(u"C:\\j") + kNul + std::vector<std::uint8_t>{7}),
                     u"C:\\j"},
        JavaHomeCase{"Longest", raw(kRegistryString, utf16(kLongest) + kNul), kLongest.c_str()},
        JavaHomeCase{"TooLong", raw(kRegistryString, utf16(kTooLong) + kNul), nullptr},
        JavaHomeCase{"NoTerminatingNul", raw(kRegistryString, utf16(u"C:\\j")), nullptr},
        JavaHomeCase{"EmptyText", raw(kRegistryString, kNul), nullptr},
        JavaHomeCase{"NoData", raw(kRegistryString, {}), nullptr},
        JavaHomeCase{"Binary", raw(3, utf16(u"C:\\j") + kNul), nullptr},
        JavaHomeCase{"Missing", failed(JavaHomeValue::Status::Missing), nullptr},
        JavaHomeCase{"TooLarge", failed(JavaHomeValue::Status::TooLarge), nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace corvid
