#include <gtest/gtest.h>

#include <map>

#include "java/jvm_path.h"
#include "support/fake_platform.h"

namespace corvid {
namespace {

using testing::nativePath;

// Short forms of existing paths; any other path has none.
class FakeShortPaths final : public ShortPaths {
public:
    std::map<WideString, WideString> forms;
    std::optional<WideString> shortPath(const WideString& path) override {
        const auto found = forms.find(path);
        if (found == forms.end()) return std::nullopt;
        return found->second;
    }
};

// A lone surrogate is a character no narrow form holds, on either platform.
const WideString kOdd = u"App\xD800";

TEST(JvmPath, OnlyComponentsTheNarrowFormCannotHoldTakeTheirShortNames) {
    FakeShortPaths names;
    names.forms[nativePath(u"C:/Programs/") + kOdd] = nativePath(u"C:/PROGRA~1/APP~1");
    names.forms[nativePath(u"lib/") + kOdd] = nativePath(u"lib/APP~1");
    const struct {
        const char* name;
        WideString path;
        std::optional<WideString> expected;
    } cases[] = {
        {"fits: unchanged, relative stays relative", nativePath(u"lib/app.jar"), nativePath(u"lib/app.jar")},
        {"only the odd component changes", nativePath(u"C:/Programs/") + kOdd + nativePath(u"/app.jar"),
         nativePath(u"C:/Programs/APP~1/app.jar")},
        {"relative with an odd folder", nativePath(u"lib/") + kOdd + nativePath(u"/*"), nativePath(u"lib/APP~1/*")},
        {"no short name: refused", nativePath(u"D:/") + kOdd + nativePath(u"/app.jar"), std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(jvmOpenablePath(names, c.path), c.expected) << c.name;
}

TEST(JvmPath, ListsMapEachEntryAndNameTheOneRefused) {
    FakeShortPaths names;
    names.forms[nativePath(u"/a/") + kOdd] = nativePath(u"/a/APP~1");
#ifdef _WIN32
    const WideString separator = u";";
#else
    const WideString separator = u":";
#endif
    const WideString list = nativePath(u"x.jar") + separator + nativePath(u"/a/") + kOdd + separator + separator;
    EXPECT_EQ(jvmOpenablePathList(names, list), nativePath(u"x.jar") + separator + nativePath(u"/a/APP~1") + separator + separator);
    WideString refused;
    const WideString bad = nativePath(u"/b/") + kOdd;
    EXPECT_EQ(jvmOpenablePathList(names, nativePath(u"x.jar") + separator + bad, &refused), std::nullopt);
    EXPECT_EQ(refused, bad);
}

#ifdef _WIN32
// Under a Western code page such as 1252: Latin-1 letters pass, Cyrillic and Han do not.
TEST(JvmPath, CodePageDecidesWhatFits) {
    if (fitsNarrow(u"\u0412\u5E94")) GTEST_SKIP() << "the ANSI code page is UTF-8 here";
    EXPECT_TRUE(fitsNarrow(u"C:\\Zo\u00EB\\app.jar"));
    EXPECT_FALSE(fitsNarrow(u"C:\\\u0412\u043B\u0430\u0434\\app.jar"));
    EXPECT_FALSE(fitsNarrow(u"\u5E94\u7528"));
}
#endif

}  // namespace
}  // namespace corvid
