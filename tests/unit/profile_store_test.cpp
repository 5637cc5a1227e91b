// The same cases run against the real profile store of each build: the
// Windows private-profile functions (under Wine) and the Linux reader, so
// the two are proven to read configuration files alike.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "config/config_file.h"
#include "config/profile_store.h"
#include "start/user_interface.h"

namespace corvid {
namespace {

namespace fs = std::filesystem;

class ProfileFile {
public:
    explicit ProfileFile(const std::string& bytes) {
        static int counter = 0;
        path_ = fs::temp_directory_path() / ("corvid_profile_" + std::to_string(++counter) + ".ini");
        std::FILE* file = std::fopen(path_.string().c_str(), "wb");
        EXPECT_NE(file, nullptr);
        if (file) {
            std::fwrite(bytes.data(), 1, bytes.size(), file);
            std::fclose(file);
        }
    }
    ~ProfileFile() {
        std::error_code ignored;
        fs::remove(path_, ignored);
    }
    WideString path() const { return path_.u16string(); }

private:
    fs::path path_;
};

struct ReadCase {
    const char* name;
    std::string bytes;
    const char16_t* section;
    const char16_t* key;
    const char16_t* expected;
};

class RealProfileStore : public ::testing::TestWithParam<ReadCase> {};

TEST_P(RealProfileStore, ReadsLikeThePrivateProfileFunctions) {
    const ReadCase& c = GetParam();
    const ProfileFile file(c.bytes);
    EXPECT_EQ(toUtf8(systemProfileStore().read(file.path(), c.section, c.key, 256)), toUtf8(c.expected)) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RealProfileStore,
    ::testing::Values(
        ReadCase{"plain", "[Application]\r\nMain Class=com.x.Main\r\n", u"Application", u"Main Class", u"com.x.Main"},
        ReadCase{"letter case of names ignored", "[application]\nMAIN class=x\n", u"Application", u"Main Class", u"x"},
        ReadCase{"blanks around", "[A]\n  key  =   two  words \t\n", u"A", u"key", u"two  words"},
        ReadCase{"double quotes", "[A]\nk=\"quoted  value\"\n", u"A", u"k", u"quoted  value"},
        ReadCase{"single quotes", "[A]\nk='x y'\n", u"A", u"k", u"x y"},
        ReadCase{"unmatched quotes stay", "[A]\nk=\"x'\n", u"A", u"k", u"\"x'"},
        ReadCase{"empty quotes", "[A]\nk=\"\"\n", u"A", u"k", u""},
        ReadCase{"inner quotes stay", "[A]\nk=-Dx=\"a b\" -Xmx1m\n", u"A", u"k", u"-Dx=\"a b\" -Xmx1m"},
        ReadCase{"equals in value", "[A]\nk=a=b\n", u"A", u"k", u"a=b"},
        ReadCase{"first key wins", "[A]\nk=1\nk=2\n", u"A", u"k", u"1"},
        ReadCase{"only the first section of a name counts", "[A]\nx=1\n[B]\n[A]\nk=2\n", u"A", u"k", u""},
        ReadCase{"blanks inside the brackets", "[ A ]\nk=2\n", u"A", u"k", u"2"},
        ReadCase{"tabs around quotes", "[A]\nk=\t'x'\t\n", u"A", u"k", u"x"},
        ReadCase{"missing key", "[A]\nother=1\n", u"A", u"k", u""},
        ReadCase{"missing section", "[B]\nk=1\n", u"A", u"k", u""},
        ReadCase{"key of another section", "[A]\nx=1\n[B]\nk=2\n", u"A", u"k", u""},
        ReadCase{"commented key", "[A]\n;k=1\n", u"A", u"k", u""},
        ReadCase{"key without value", "[A]\nk\n", u"A", u"k", u""},
        ReadCase{"utf-8 with bom", "\xEF\xBB\xBF[A]\nk=Gr\xC3\xBC\xC3\x9F" "e\n", u"A", u"k", u"Gr\u00FC\u00DFe"},
        ReadCase{"utf-8 without bom, as Notepad saves it", "[A]\r\nk=C:\\Zo\xC3\xAB\\jre\r\n", u"A", u"k",
                 u"C:\\Zo\u00EB\\jre"},
        ReadCase{"utf-16le with bom",
                 std::string("\xFF\xFE[\0A\0]\0\r\0\n\0k\0=\0\xFC\0\r\0\n\0", 22), u"A", u"k", u"\u00FC"}));

TEST(RealProfileStoreRead, LongValuesAreReadWholeThroughTheGrowingBuffer) {
    const std::string value(300, 'v');
    const ProfileFile file("[A]\nk=" + value + "\n");
    EXPECT_EQ(toUtf8(readConfigValue(systemPlatform(), file.path(), u"A", u"k")), value);
}

TEST(RealProfileStoreRead, ASmallBufferCutsTheValue) {
    const ProfileFile file("[A]\nk=abcdef\n");
    EXPECT_EQ(systemProfileStore().read(file.path(), u"A", u"k", 4), u"abc");
}

TEST(RealProfileStoreWrite, CreatesUpdatesAndKeepsOtherKeys) {
    const ProfileFile file("[Java Runtime Environment]\r\nMain Class=a.B\r\n[Other]\r\nx=1\r\n");
    ProfileStore& store = systemProfileStore();
    ASSERT_TRUE(store.write(file.path(), u"Java Runtime Environment", u"JRE Path", u"C:\\jre\\"));
    EXPECT_EQ(store.read(file.path(), u"Java Runtime Environment", u"JRE Path", 256), u"C:\\jre\\");
    ASSERT_TRUE(store.write(file.path(), u"Java Runtime Environment", u"JRE Path", u"D:\\other\\"));
    EXPECT_EQ(store.read(file.path(), u"Java Runtime Environment", u"JRE Path", 256), u"D:\\other\\");
    EXPECT_EQ(store.read(file.path(), u"Java Runtime Environment", u"Main Class", 256), u"a.B");
    EXPECT_EQ(store.read(file.path(), u"Other", u"x", 256), u"1");

    // A file the store creates holds any folder name.
    const fs::path fresh = fs::temp_directory_path() / "corvid_profile_fresh.ini";
    fs::remove(fresh);
    const WideString folder = u"C:\\\u0412\u043B\u0430\u0434\\\u5E94\u7528 Zo\u00EB\\";
    ASSERT_TRUE(store.write(fresh.u16string(), u"Java Runtime Environment", u"JRE Path", folder));
    EXPECT_EQ(store.read(fresh.u16string(), u"Java Runtime Environment", u"JRE Path", 256), folder);
    fs::remove(fresh);
}

}  // namespace
}  // namespace corvid
