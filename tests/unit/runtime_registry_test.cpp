// The real registry implementations: the Win32 registry under Wine or
// Windows, runtime folders on Linux.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "platform/trace.h"
#include "runtime/runtime_registry.h"

#ifdef _WIN32
#include "platform/windows_api.h"
#else
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace corvid {
namespace {

Trace off;

#ifdef _WIN32

// Test keys live under HKLM\Software\corvid-test-<pid> and are removed again.
class RealRegistry : public ::testing::Test {
protected:
    void SetUp() override {
        base_ = u"Software\\corvid-test-" + fromAscii(std::to_string(GetCurrentProcessId()));
        root_ = base_ + u"\\" + WideString(registryRootPath(RegistryRoot::JavaSoftJre));
    }
    void TearDown() override { RegDeleteTreeW(HKEY_LOCAL_MACHINE, wide(base_)); }

    // Creates root\name and, unless type is 0, its JavaHome with raw data.
    void subkey(const WideString& name, DWORD type, const void* data, DWORD size) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, wide(root_ + name), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                  nullptr),
                  ERROR_SUCCESS);
        if (type != 0) {
            EXPECT_EQ(RegSetValueExW(key, L"JavaHome", 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
        }
        RegCloseKey(key);
    }
    void text(const WideString& name, DWORD type, const WideString& value, bool withNul = true) {
        // The registry counts a NUL that follows the data as if it had been
        // given (Windows does, and so does Wine), so an unterminated value
        // needs something else after it.
        const WideString data = withNul ? value : value + u'X';
        subkey(name, type, data.c_str(), static_cast<DWORD>((value.size() + (withNul ? 1 : 0)) * 2));
    }

    WideString base_;
    WideString root_;
};

TEST_F(RealRegistry, ReadsSubkeysAndRejectsMalformedJavaHome) {
    const WideString longName = WideString(250, u'9') + u".1.6_";
    const WideString tooLong(kMaxJavaHomeLength + 1, u'x');
    const DWORD number = 7;
    const char odd[] = {'C', 0, ':', 0, 'x', 'y'};  // five bytes are stored
    text(u"1.6", REG_SZ, u"C:\\Java\\jre6");
    text(u"1.7", REG_SZ, u"C:\\Java\\jre7", false);
    subkey(u"1.8", REG_DWORD, &number, sizeof number);
    subkey(u"1.9", REG_SZ, nullptr, 0);
    text(u"2.0", REG_SZ, tooLong);
    subkey(u"2.1", 0, nullptr, 0);
    text(u"2.2", REG_EXPAND_SZ, u"%ProgramFiles%\\jre");
    subkey(u"2.3", REG_SZ, odd, 5);
    text(u"2.4", REG_SZ, u"");
    text(u"2.5", REG_BINARY, u"C:\\Java\\jre6");
    text(longName, REG_SZ, u"C:\\long");

    const auto registry = makeRegistryUnder(base_);
    ASSERT_TRUE(registry);
    EXPECT_FALSE(registry->listSubkeys(RegistryRoot::JavaSoftJdk, off)) << "a missing root cannot be opened";
    const auto subkeys = registry->listSubkeys(RegistryRoot::JavaSoftJre, off);
    ASSERT_TRUE(subkeys);
    ASSERT_EQ(subkeys->size(), 11u);

    struct Expected {
        WideString name;
        const char16_t* folder;  // nullptr: dropped
    };
    const Expected expected[] = {
        {u"1.6", u"C:\\Java\\jre6"}, {u"1.7", nullptr},  {u"1.8", nullptr},
        {u"1.9", nullptr},           {u"2.0", nullptr},  {u"2.1", nullptr},
        {u"2.2", u"%ProgramFiles%\\jre"}, {u"2.3", nullptr}, {u"2.4", nullptr},
        {u"2.5", nullptr},           {longName, u"C:\\long"},
    };
    for (const Expected& e : expected) {
        const auto found = std::find_if(subkeys->begin(), subkeys->end(),
                                        [&](const RegistrySubkey& s) { return s.name == e.name; });
        ASSERT_NE(found, subkeys->end()) << toUtf8(e.name);
        const DecodedJavaHome home = decodeJavaHome(registry->readJavaHome(RegistryRoot::JavaSoftJre, *found));
        if (e.folder) {
            EXPECT_EQ(home.folder.value_or(u"(dropped)"), e.folder) << toUtf8(e.name);
        } else {
            EXPECT_FALSE(home.folder) << toUtf8(e.name) << " gave " << toUtf8(home.folder.value_or(u""));
        }
    }
    const auto missing = registry->readJavaHome(RegistryRoot::JavaSoftJre, {u"gone", u"gone"});
    EXPECT_EQ(missing.status, JavaHomeValue::Status::SubkeyNotOpened);
}

#else

class RuntimeFolders : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/corvid-runtimes-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

    void file(const std::string& path, const std::string& content) {
        for (std::size_t slash = path.find('/'); slash != std::string::npos; slash = path.find('/', slash + 1)) {
            mkdir((dir_ + "/" + path.substr(0, slash)).c_str(), 0777);
        }
        std::FILE* f = std::fopen((dir_ + "/" + path).c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(content.data(), 1, content.size(), f);
        std::fclose(f);
    }
    WideString path(const std::string& name) { return fromNarrow(dir_ + "/" + name); }

    std::string dir_;
};

TEST_F(RuntimeFolders, ListsRuntimesByReleaseFileInNameOrder) {
    file("b-jdk/release", "IMPLEMENTOR=\"x\"\nJAVA_VERSION=\"17.0.1\"\nJAVA_VERSION_DATE=\"2021\"\n");
    file("b-jdk/bin/javac", "");
    file("a-jre/release", "JAVA_VERSION=\"1.8.0_392\"");
    ASSERT_EQ(symlink((dir_ + "/a-jre").c_str(), (dir_ + "/c-link").c_str()), 0);
    mkdir((dir_ + "/d-norelease").c_str(), 0777);
    file("e-date-only/release", "JAVA_VERSION_DATE=\"2021\"\n");
    file("f-unterminated/release", "JAVA_VERSION=\"17\n");
    file("g-file", "JAVA_VERSION=\"1.0\"");

    const auto registry = makeFolderRegistry({fromNarrow(dir_ + "/"), u"/nonexistent-corvid-folder"});
    const auto kits = registry->listSubkeys(RegistryRoot::JavaSoftJdk, off);
    ASSERT_TRUE(kits);
    ASSERT_EQ(kits->size(), 1u);
    EXPECT_EQ((*kits)[0].name, u"17.0.1");
    EXPECT_EQ((*kits)[0].key, path("b-jdk"));

    const auto runtimes = registry->listSubkeys(RegistryRoot::JavaSoftJre, off);
    ASSERT_TRUE(runtimes);
    ASSERT_EQ(runtimes->size(), 1u) << "the link names the same runtime";
    EXPECT_EQ((*runtimes)[0].name, u"1.8.0_392");
    EXPECT_EQ((*runtimes)[0].key, path("a-jre"));
    EXPECT_EQ(decodeJavaHome(registry->readJavaHome(RegistryRoot::JavaSoftJre, (*runtimes)[0])).folder,
              path("a-jre"));

    EXPECT_FALSE(registry->listSubkeys(RegistryRoot::JRockitJre, off));
    EXPECT_FALSE(registry->listSubkeys(RegistryRoot::JRockitJdk, off));
}

TEST_F(RuntimeFolders, NoReadableFolderCannotBeOpened) {
    EXPECT_FALSE(makeFolderRegistry({u"/nonexistent-corvid-folder"})->listSubkeys(RegistryRoot::JavaSoftJre, off));
    EXPECT_FALSE(makeFolderRegistry({})->listSubkeys(RegistryRoot::JavaSoftJdk, off));
    const auto empty = makeFolderRegistry({path("")})->listSubkeys(RegistryRoot::JavaSoftJre, off);
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->empty());
}

#endif

}  // namespace
}  // namespace corvid
