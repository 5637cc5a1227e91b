#include <gtest/gtest.h>

#include "pack/runtime_check.h"
#include "support/fake_platform.h"

namespace corvid::pack {
namespace {

using testing::FakeFileSystem;
using testing::nativePath;

std::string pe(std::uint16_t machine) {
    std::string bytes(0x200, '\0');
    bytes[0] = 'M';
    bytes[1] = 'Z';
    bytes[0x3C] = static_cast<char>(0x80);
    bytes.replace(0x80, 4, std::string("PE\0\0", 4));
    bytes[0x84] = static_cast<char>(machine & 0xFF);
    bytes[0x85] = static_cast<char>(machine >> 8);
    return bytes;
}

std::string elf(std::uint16_t machine, int elfClass = 2) {
    std::string bytes(64, '\0');
    bytes.replace(0, 4, "\x7F" "ELF");
    bytes[4] = static_cast<char>(elfClass);
    bytes[5] = 1;
    bytes[18] = static_cast<char>(machine & 0xFF);
    bytes[19] = static_cast<char>(machine >> 8);
    return bytes;
}

TEST(PackRuntimeCheck, TakesOnlyARuntimeTheLauncherCanLoad) {
    const struct {
        const char* name;
        Target target;
        std::vector<std::pair<const char16_t*, std::string>> files;  // under /rt
        std::string expected;                                         // empty: taken
    } cases[] = {
        {"Windows x64", Target::Windows, {{u"bin/java.dll", ""}, {u"bin/server/jvm.dll", pe(0x8664)}}, ""},
        {"Windows x64 client", Target::Windows, {{u"bin/java.dll", ""}, {u"bin/client/jvm.dll", pe(0x8664)}}, ""},
        {"Windows x86", Target::Windows, {{u"bin/java.dll", ""}, {u"bin/client/jvm.dll", pe(0x014c)}},
         "/rt/bin/client/jvm.dll: a 32-bit (x86) library; the launcher is 64-bit (x64) and cannot load it"},
        {"Windows ARM64 beside x64", Target::Windows,
         {{u"bin/java.dll", ""}, {u"bin/server/jvm.dll", pe(0x8664)}, {u"bin/client/jvm.dll", pe(0xAA64)}},
         "/rt/bin/client/jvm.dll: a 64-bit (ARM64) library"},
        {"no library", Target::Windows, {{u"bin/java.dll", ""}}, "/rt: no JVM library (bin/server/jvm.dll)"},
        {"a text file as the library", Target::Windows, {{u"bin/java.dll", ""}, {u"bin/server/jvm.dll", "not a DLL"}},
         "/rt/bin/server/jvm.dll: not a Windows library"},
        {"an ELF file as jvm.dll", Target::Windows, {{u"bin/java.dll", ""}, {u"bin/server/jvm.dll", elf(62)}},
         "/rt/bin/server/jvm.dll: not a Windows library"},
        {"a Linux runtime for Windows", Target::Windows, {{u"lib/libjava.so", ""}, {u"lib/server/libjvm.so", elf(62)}},
         "/rt: a runtime for Linux, not for Windows"},
        {"not a runtime", Target::Windows, {{u"readme.txt", "hello"}}, "/rt: not a Java runtime (no bin/java.dll)"},
        {"Linux x64", Target::Linux, {{u"lib/libjava.so", ""}, {u"lib/server/libjvm.so", elf(62)}}, ""},
        {"Java 8 layout", Target::Linux, {{u"lib/libjava.so", ""}, {u"lib/amd64/server/libjvm.so", elf(62)}}, ""},
        {"Linux AArch64", Target::Linux, {{u"lib/libjava.so", ""}, {u"lib/server/libjvm.so", elf(183)}},
         "/rt/lib/server/libjvm.so: a 64-bit (ARM64) library"},
        {"Linux i386", Target::Linux, {{u"lib/libjava.so", ""}, {u"lib/client/libjvm.so", elf(3, 1)}},
         "/rt/lib/client/libjvm.so: a 32-bit (x86) library"},
        {"a Windows runtime for Linux", Target::Linux, {{u"bin/java.dll", ""}, {u"bin/server/jvm.dll", pe(0x8664)}},
         "/rt: a runtime for Windows, not for Linux"},
        {"a PE as libjvm.so", Target::Linux, {{u"lib/libjava.so", ""}, {u"lib/server/libjvm.so", pe(0x8664)}},
         "/rt/lib/server/libjvm.so: not a Linux library"},
    };
    for (const auto& c : cases) {
        FakeFileSystem files;
        files.existing.insert(nativePath(u"/rt"));
        for (const auto& [path, bytes] : c.files) files.contents[nativePath(u"/rt/" + std::u16string(path))] = bytes;
        std::string expected = c.expected;
        for (char& ch : expected) {
            if (ch == '/' && expected.find(": ") > static_cast<std::size_t>(&ch - expected.data())) {
                ch = static_cast<char>(kPathSeparator);
            }
        }
        EXPECT_EQ(runtimeProblem(files, nativePath(u"/rt"), c.target).substr(0, expected.size()), expected) << c.name;
        if (expected.empty()) {
            EXPECT_EQ(runtimeProblem(files, nativePath(u"/rt"), c.target), "") << c.name;
        }
    }
    FakeFileSystem none;
    EXPECT_EQ(runtimeProblem(none, nativePath(u"/nowhere"), Target::Windows), toUtf8(nativePath(u"/nowhere")) + ": no such folder");
}

}  // namespace
}  // namespace corvid::pack
