#include "platform/trace.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "support/fake_platform.h"

namespace corvid {
namespace {

// A line is the stamp, then its pieces in order: UTF-8 and UTF-16 texts and
// whole numbers of every width and sign, at their extremes.
TEST(Trace, JoinsItsPiecesAfterTheStamp) {
    std::string text;
    Trace trace(std::make_unique<testing::CollectingOutput>(text));
    const WideString wide = u"\u00fcber \u5e94\u7528";
    trace.line("a ", wide, u" b ", std::numeric_limits<std::int64_t>::min(), " ",
               std::numeric_limits<std::uint64_t>::max(), " ", -1, " ", std::uint16_t{7});
    const std::string expected =
        "a \xc3\xbc" "ber \xe5\xba\x94\xe7\x94\xa8 b -9223372036854775808 18446744073709551615 -1 7\n";
    // The collector ends each write with a line break of its own.
    ASSERT_EQ(text.size(), 10 + expected.size() + 1) << text;
    EXPECT_EQ(text.substr(10), expected + "\n");
    // "<milliseconds, right-aligned in five>.<three digits> "
    const std::string stamp = text.substr(0, 10);
    EXPECT_EQ(stamp.substr(5), "." + stamp.substr(6, 3) + " ") << stamp;
    EXPECT_EQ(stamp.find_first_not_of("0123456789", 6), 9u) << stamp;
    EXPECT_NE(stamp[4], ' ') << stamp;
    EXPECT_EQ(stamp.find_first_not_of(' '), stamp.find_first_of("0123456789")) << stamp;
}

// The splash thread traces while the main thread does: every line of either
// reaches the file whole, none written over another.
TEST(Trace, ThreadsWritingAtOnceLoseNoLine) {
    namespace fs = std::filesystem;
    const fs::path path =
        fs::temp_directory_path() /
        ("corvid_trace_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + ".txt");
    fs::remove(path);
    constexpr int kLines = 400;
    {
        Trace trace(openTraceOutput(path.u16string()));
        ASSERT_TRUE(trace.enabled());
        std::vector<std::thread> writers;
        for (const char* name : {"main", "splash"}) {
            writers.emplace_back([&trace, name] {
                for (int i = 0; i < kLines; ++i) trace.line(name, " line ", i);
            });
        }
        for (std::thread& writer : writers) writer.join();
    }
    std::ifstream file(path);
    int main = 0, splash = 0;
    for (std::string line; std::getline(file, line);) {
        const std::string text = line.size() > 10 ? line.substr(10) : line;
        if (text == "main line " + std::to_string(main)) {
            ++main;
        } else if (text == "splash line " + std::to_string(splash)) {
            ++splash;
        } else {
            ADD_FAILURE() << "a line out of order or broken: " << line;
        }
    }
    EXPECT_EQ(main, kLines);
    EXPECT_EQ(splash, kLines);
    file.close();
    fs::remove(path);
}

}  // namespace
}  // namespace corvid
