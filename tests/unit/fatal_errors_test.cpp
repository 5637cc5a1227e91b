#include <gtest/gtest.h>

#include <cstddef>
#include <exception>
#include <limits>
#include <vector>

#include "platform/platform.h"

namespace corvid {
namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;  // the sanitizer reports a huge allocation itself
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

#ifdef _WIN32
constexpr int kMinusOne = -1;
#else
constexpr int kMinusOne = 255;  // the low byte is what a parent sees
#endif

void (*volatile thrower)() = [] { throw std::exception(); };
void callWithoutCatching() noexcept { thrower(); }

// What the entry points install: the process ends with -1 and nothing shown,
// never through abort() (exit code 3 and the C runtime's box on Windows, a
// signal on Linux).
TEST(FatalErrorsDeathTest, EndTheProcessAtOnceWithMinusOne) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const struct {
        const char* name;
        void (*fault)();
        bool allocates;
    } cases[] = {
        {"an allocation the system refuses",
         [] {
             std::vector<char> wasted;
             wasted.reserve(std::numeric_limits<std::ptrdiff_t>::max() / 2);
         },
         true},
        {"an exception nothing catches", [] { callWithoutCatching(); }, false},
        {"std::terminate", [] { std::terminate(); }, false},
    };
    for (const auto& c : cases) {
        if (c.allocates && kSanitized) continue;
        EXPECT_EXIT(
            {
                installFatalErrorHandlers();
                c.fault();
            },
            ::testing::ExitedWithCode(kMinusOne), "")
            << c.name;
    }
}

}  // namespace
}  // namespace corvid
