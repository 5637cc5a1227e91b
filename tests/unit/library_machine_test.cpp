#include <gtest/gtest.h>

#include <string>

#include "runtime/library_machine.h"
#include "support/fake_platform.h"

namespace corvid {
namespace {

using Kind = LibraryMachine::Kind;

// A PE image's first bytes: "MZ", the PE header's offset at 0x3C, the
// signature and the machine there.
std::string pe(std::uint16_t machine, std::uint32_t offset = 0x80, std::size_t size = 0x200) {
    std::string bytes(size, '\0');
    bytes[0] = 'M';
    bytes[1] = 'Z';
    for (int i = 0; i < 4; ++i) bytes[0x3C + i] = static_cast<char>(offset >> (8 * i));
    if (offset + 6 <= size) {
        bytes.replace(offset, 4, std::string("PE\0\0", 4));
        bytes[offset + 4] = static_cast<char>(machine & 0xFF);
        bytes[offset + 5] = static_cast<char>(machine >> 8);
    }
    return bytes;
}

std::string elf(int elfClass, int data, std::uint16_t machine) {
    std::string bytes(64, '\0');
    bytes.replace(0, 4, "\x7F" "ELF");
    bytes[4] = static_cast<char>(elfClass);
    bytes[5] = static_cast<char>(data);
    bytes[data == 2 ? 19 : 18] = static_cast<char>(machine & 0xFF);
    bytes[data == 2 ? 18 : 19] = static_cast<char>(machine >> 8);
    return bytes;
}

TEST(LibraryMachine, ReadsPeAndElfHeadersAndRefusesBrokenOnes) {
    const struct {
        const char* name;
        std::string bytes;
        Kind kind;
        const char16_t* described;
    } cases[] = {
        {"PE x64", pe(0x8664), Kind::X64, u"64-bit (x64)"},
        {"PE x86", pe(0x014c), Kind::X86, u"32-bit (x86)"},
        {"PE ARM64", pe(0xAA64), Kind::Arm64, u"64-bit (ARM64)"},
        {"PE ARM", pe(0x01c4), Kind::Arm, u"32-bit (ARM)"},
        {"PE Itanium", pe(0x0200), Kind::Other, u"(machine 0x0200)"},
        {"ELF x86-64", elf(2, 1, 62), Kind::X64, u"64-bit (x64)"},
        {"ELF i386", elf(1, 1, 3), Kind::X86, u"32-bit (x86)"},
        {"ELF AArch64", elf(2, 1, 183), Kind::Arm64, u"64-bit (ARM64)"},
        {"ELF big-endian s390x", elf(2, 2, 22), Kind::Other, u"64-bit (machine 0x0016)"},
        {"ELF x32", elf(1, 1, 62), Kind::Other, u"32-bit (machine 0x003E)"},
        {"ELF bad class", elf(3, 1, 62), Kind::Unknown, u"unknown"},
        {"ELF cut in its header", elf(2, 1, 62).substr(0, 19), Kind::Unknown, u"unknown"},
        {"empty file", "", Kind::Unknown, u"unknown"},
        {"text", "not a library at all, just some words in a file", Kind::Unknown, u"unknown"},
        {"MZ cut before the offset", pe(0x014c).substr(0, 0x3E), Kind::Unknown, u"unknown"},
        {"PE cut in its machine field", pe(0x014c).substr(0, 0x85), Kind::Unknown, u"unknown"},
        {"PE without signature", pe(0x014c, 0x80).replace(0x80, 2, "NE"), Kind::Unknown, u"unknown"},
        {"PE offset inside the DOS header", pe(0x014c, 0x10), Kind::Unknown, u"unknown"},
        {"PE offset past every file", pe(0x014c, 0xFFFFFFF0u), Kind::Unknown, u"unknown"},
    };
    for (const auto& c : cases) {
        const LibraryMachine machine = parseLibraryMachine(c.bytes);
        EXPECT_EQ(machine.kind, c.kind) << c.name;
        EXPECT_EQ(describeMachine(machine), c.described) << c.name;
    }
}

TEST(LibraryMachine, ReadsAFarHeaderAgainAndLetsUnreadableFilesPass) {
    testing::FakePlatform fake;
    const WideString far = u"far.dll";
    fake.files.contents[far] = pe(0x014c, 0x2000, 0x2100);
    std::size_t needed = 0;
    EXPECT_EQ(parseLibraryMachine(fake.files.contents[far].substr(0, 4096), &needed).kind, Kind::Unknown);
    EXPECT_EQ(needed, 0x2006u);
    EXPECT_EQ(readLibraryMachine(fake.files, far).kind, Kind::X86);
    EXPECT_FALSE(fitsLauncher(readLibraryMachine(fake.files, far)));
    // Nothing to read, or no header: the loader will say what it finds.
    EXPECT_TRUE(fitsLauncher(readLibraryMachine(fake.files, u"missing.dll")));
    EXPECT_TRUE(fitsLauncher(parseLibraryMachine("")));
    EXPECT_TRUE(fitsLauncher(launcherMachine()));
}

}  // namespace
}  // namespace corvid
