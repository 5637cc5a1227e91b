#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

#include "runtime/release_file.h"
#include "support/fake_platform.h"

namespace corvid {
namespace {

struct ParseCase {
    const char* name;
    std::string content;
    std::optional<std::string> version;
};

TEST(ReleaseFile, ParsesTheJavaVersionLine) {
    const ParseCase cases[] = {
        {"sorted among other keys", "IMPLEMENTOR=\"Eclipse Adoptium\"\nJAVA_RUNTIME_VERSION=\"17.0.9+9\"\n"
                                    "JAVA_VERSION=\"17.0.9\"\nJAVA_VERSION_DATE=\"2023-10-17\"\n", "17.0.9"},
        {"CR LF line ends", "IMPLEMENTOR=\"x\"\r\nJAVA_VERSION=\"21.0.1\"\r\nOS_ARCH=\"x86_64\"\r\n", "21.0.1"},
        {"last line without a line end", "OS_NAME=\"Windows\"\nJAVA_VERSION=\"1.8.0_392\"", "1.8.0_392"},
        {"byte-order mark before the first key", "\xEF\xBB\xBFJAVA_VERSION=\"11.0.2\"\n", "11.0.2"},
        {"unquoted value", "JAVA_VERSION=17\n", "17"},
        {"first of two lines counts", "JAVA_VERSION=\"17\"\nJAVA_VERSION=\"21\"\n", "17"},
        {"quote left open", "JAVA_VERSION=\"17\nOS_ARCH=\"x\"\n", std::nullopt},
        {"empty value", "JAVA_VERSION=\"\"\n", std::nullopt},
        {"only the date key", "JAVA_VERSION_DATE=\"2021-09-14\"\n", std::nullopt},
        {"key not at the line start", " JAVA_VERSION=\"17\"\n", std::nullopt},
        {"control character in the value", std::string("JAVA_VERSION=\"17\0x\"\n", 20), std::nullopt},
        {"binary garbage", std::string("\x00\xFF\xFE=\"\n\n", 7), std::nullopt},
        {"empty file", "", std::nullopt},
    };
    for (const ParseCase& c : cases) {
        EXPECT_EQ(parseReleaseVersion(c.content), c.version) << c.name;
    }
}

TEST(ReleaseFile, ReadsTheFileInTheRuntimeFolder) {
    testing::FakeFileSystem files;
    const WideString folder = testing::nativePath(u"C:/Java/jdk-17");
    files.contents[testing::nativePath(u"C:/Java/jdk-17/release")] = "JAVA_VERSION=\"17.0.9\"\n";
    EXPECT_EQ(readReleaseVersion(files, folder), u"17.0.9");
    EXPECT_EQ(readReleaseVersion(files, folder + testing::nativePath(u"/")), u"17.0.9");
    EXPECT_EQ(readReleaseVersion(files, testing::nativePath(u"C:/Java/none")), std::nullopt);

    // A file longer than any release file is not taken, even with the key first.
    files.contents[testing::nativePath(u"C:/Java/big/release")] =
        "JAVA_VERSION=\"17\"\n" + std::string(kReleaseFileLimit, '#');
    EXPECT_EQ(readReleaseVersion(files, testing::nativePath(u"C:/Java/big")), std::nullopt);
}

// The real file reading of each build: limits, folders and missing files.
TEST(FileSystemReadFile, ReadsRegularFilesUpToTheLimit) {
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / ("corvid_read_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    fs::create_directories(folder);
    const fs::path file = folder / "data.bin";
    const std::string bytes = std::string("a\0b\r\n", 5) + std::string(40000, 'x');
    std::FILE* out = std::fopen(file.string().c_str(), "wb");
    ASSERT_NE(out, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);

    FileSystem& files = systemFileSystem();
    EXPECT_EQ(files.readFile(file.u16string(), bytes.size() + 1), bytes);
    EXPECT_EQ(files.readFile(file.u16string(), 3), bytes.substr(0, 3));
    EXPECT_EQ(files.readFile(folder.u16string(), 100), std::nullopt) << "a folder has no contents";
    EXPECT_EQ(files.readFile((folder / "missing").u16string(), 100), std::nullopt);
    fs::remove_all(folder);
}

}  // namespace
}  // namespace corvid
