#include <gtest/gtest.h>

#include "config/ini_file.h"

namespace corvid {
namespace {

TEST(IniWrite, ReplacesAppendsOrAddsASection) {
    const struct {
        const char* name;
        const char16_t* before;
        const char16_t* after;
    } cases[] = {
        {"replace in place", u"[S]\r\nK=old\r\nZ=1\r\n", u"[S]\r\nK=new\r\nZ=1\r\n"},
        {"key matched ignoring case", u"[s]\r\n k = old \r\n", u"[s]\r\nK=new\r\n"},
        {"append to section", u"[S]\r\nA=1\r\n\r\n[T]\r\nB=2\r\n", u"[S]\r\nA=1\r\nK=new\r\n\r\n[T]\r\nB=2\r\n"},
        {"append to last section without newline", u"[S]\nA=1", u"[S]\nA=1\r\nK=new\r\n"},
        {"new section", u"[T]\r\nB=2", u"[T]\r\nB=2\r\n[S]\r\nK=new\r\n"},
        {"empty file", u"", u"[S]\r\nK=new\r\n"},
        {"only first section of the name", u"[S]\r\nA=1\r\n[S]\r\nK=old\r\n", u"[S]\r\nA=1\r\nK=new\r\n[S]\r\nK=old\r\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(toUtf8(setIniValue(c.before, u"S", u"K", u"new")), toUtf8(c.after)) << c.name;
        EXPECT_EQ(findIniValue(setIniValue(c.before, u"S", u"K", u"new"), u"S", u"K"), u"new") << c.name;
    }
}

// Writing one value to file bytes leaves every byte it did not mean to
// change as it was, also where the bytes are not valid in the encoding.
TEST(IniWrite, BytesChangeOnlyWhereTheValueGoes) {
    const struct {
        const char* name;
        std::string before;
        std::string after;
    } cases[] = {
        {"Latin-1 comment", "; r\xE9glages\r\n[S]\r\nK=old\r\n", "; r\xE9glages\r\n[S]\r\nK=new\r\n"},
        {"cut-short byte at a line end", "[S]\nA=\xEF\nK=\xE9\n", "[S]\nA=\xEF\nK=new\n"},
        {"invalid bytes after the section", "[S]\r\nA=1\r\n[T]\r\n\xFF\xC0\xAF\r\n",
         "[S]\r\nA=1\r\nK=new\r\n[T]\r\n\xFF\xC0\xAF\r\n"},
        {"new section after an unfinished Latin-1 line", "x=\xE9", "x=\xE9\r\n[S]\r\nK=new\r\n"},
        {"byte order mark", "\xEF\xBB\xBF[S]\nK=\n\x80", "\xEF\xBB\xBF[S]\nK=new\n\x80"},
        {"UTF-16 with an odd last byte", std::string("\xFF\xFE[\0S\0]\0\n\0!", 11),
         std::string("\xFF\xFE[\0S\0]\0\n\0K\0=\0n\0e\0w\0\r\0\n\0!", 25)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(testing::PrintToString(setIniValueInBytes(c.before, u"S", u"K", u"new").value_or("(none)")),
                  testing::PrintToString(c.after))
            << c.name;
    }
}

TEST(IniEncoding, KeepsTheFilesEncodingWhenWritingBack) {
    const std::string utf16("\xFF\xFE[\0S\0]\0", 8);
    IniText text = decodeIniBytes(utf16);
    EXPECT_EQ(text.encoding, IniEncoding::Utf16LeBom);
    EXPECT_EQ(text.content, u"[S]");
    EXPECT_EQ(encodeIniText(text), utf16);

    text = decodeIniBytes("\xEF\xBB\xBF[S]");
    EXPECT_EQ(text.encoding, IniEncoding::Utf8Bom);
    EXPECT_EQ(encodeIniText(text), "\xEF\xBB\xBF[S]");

    EXPECT_EQ(decodeIniBytes("[S]\nk=\xC3\xBC").content, u"[S]\nk=\u00FC");
    // An odd trailing byte of a UTF-16 file is ignored rather than misread.
    EXPECT_EQ(decodeIniBytes(std::string("\xFF\xFEk\0=", 5)).content, u"k");
}

TEST(IniEncoding, DecidedByMarkThenByValidUtf8) {
    const struct {
        const char* name;
        std::string bytes;
        IniEncoding encoding;
    } cases[] = {
        {"UTF-16LE mark", std::string("\xFF\xFE[\0", 4), IniEncoding::Utf16LeBom},
        {"UTF-8 mark, invalid bytes after it", "\xEF\xBB\xBF[S]\n\xE9", IniEncoding::Utf8Bom},
        {"Notepad's UTF-8", "[S]\r\nJRE Path=C:\\Zo\xC3\xAB\\jre\r\n", IniEncoding::Utf8},
        {"four-byte sequence", "k=\xF0\x9D\x84\x9E", IniEncoding::Utf8},
        {"plain ASCII", "[S]\nk=v\n", IniEncoding::Utf8},
        {"Latin-1 letter", "k=Zo\xEB", IniEncoding::Ansi},
        {"Latin-1 pair that looks like a lead byte", "k=\xC3\x28", IniEncoding::Ansi},
        {"overlong form", "k=\xC0\xAF", IniEncoding::Ansi},
        {"encoded surrogate", "k=\xED\xA0\x80", IniEncoding::Ansi},
        {"sequence cut at the end", "k=\xE2\x82", IniEncoding::Ansi},
    };
    for (const auto& c : cases) EXPECT_EQ(detectIniEncoding(c.bytes), c.encoding) << c.name;
    EXPECT_EQ(decodeIniBytes("[S]\nk=Zo\xC3\xAB").content, u"[S]\nk=Zo\u00EB");
}

TEST(IniWrite, ValuesKeepTheFilesEncoding) {
    const struct {
        const char* name;
        std::string before;
        const char16_t* value;
        const char* after;  // nullptr: the file cannot hold the value
    } cases[] = {
        {"UTF-8 file", "[S]\nA=\xC3\xBC\n", u"C:\\Zo\u00EB", "[S]\nA=\xC3\xBC\nK=C:\\Zo\xC3\xAB\r\n"},
        {"ASCII file becomes UTF-8", "[S]\n", u"\u5E94\u7528", "[S]\nK=\xE5\xBA\x94\xE7\x94\xA8\r\n"},
        {"ANSI file, ASCII value", "; \xE9\n[S]\nK=\xE9\n", u"plain", "; \xE9\n[S]\nK=plain\n"},
    };
    for (const auto& c : cases) {
        const auto written = setIniValueInBytes(c.before, u"S", u"K", c.value);
        ASSERT_TRUE(written.has_value()) << c.name;
        EXPECT_EQ(testing::PrintToString(*written), testing::PrintToString(std::string(c.after))) << c.name;
        EXPECT_EQ(findIniValue(decodeIniBytes(*written).content, u"S", u"K"), c.value) << c.name;
    }
#ifdef _WIN32
    // No ANSI code page holds both Cyrillic and Han: the file is left alone.
    EXPECT_FALSE(setIniValueInBytes("; \xE9\n[S]\n", u"S", u"K", u"\u0416\u5E94").has_value());
#endif
}

TEST(IniRead, ToleratesMalformedLines) {
    EXPECT_EQ(findIniValue(u"[S\nk=1", u"S", u"k"), u"1");  // unclosed header
    EXPECT_EQ(findIniValue(u"k=0\n[S]\r\n=x\nk=1", u"S", u"k"), u"1");
    EXPECT_EQ(findIniValue(u"[S]\r\r\nk=\"\n", u"S", u"k"), u"\"");
    EXPECT_FALSE(findIniValue(u"", u"S", u"k").has_value());
}

}  // namespace
}  // namespace corvid
