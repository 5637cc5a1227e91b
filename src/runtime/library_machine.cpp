#include "runtime/library_machine.h"

#include <optional>
#include <string>

namespace corvid {

namespace {

using Kind = LibraryMachine::Kind;

// PE headers lie in the first kilobyte of every library the tools write; one
// further away is read again up to this far, and no further.
constexpr std::size_t kFirstRead = 4096;
constexpr std::size_t kLongestRead = 1 << 20;

std::uint32_t littleEndian(std::string_view bytes, std::size_t at, std::size_t size) {
    std::uint32_t value = 0;
    for (std::size_t i = size; i-- > 0;) value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

std::uint32_t bigEndian(std::string_view bytes, std::size_t at, std::size_t size) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < size; ++i) value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

LibraryMachine fromPeMachine(std::uint32_t code) {
    switch (code) {
    case 0x014c: return {Kind::X86, code, 32};
    case 0x8664: return {Kind::X64, code, 64};
    case 0x01c0: case 0x01c2: case 0x01c4: return {Kind::Arm, code, 32};
    case 0xaa64: return {Kind::Arm64, code, 64};
    default: return {Kind::Other, code, 0};
    }
}

LibraryMachine fromElfMachine(std::uint32_t code, int bits) {
    // A machine in a file of the other class (x32: x86-64 code in a 32-bit
    // file) is loadable by neither launcher.
    if (code == 3 && bits == 32) return {Kind::X86, code, 32};
    if (code == 62 && bits == 64) return {Kind::X64, code, 64};
    if (code == 40 && bits == 32) return {Kind::Arm, code, 32};
    if (code == 183 && bits == 64) return {Kind::Arm64, code, 64};
    return {Kind::Other, code, bits};
}

std::optional<LibraryMachine> parseElf(std::string_view bytes) {
    if (bytes.substr(0, 4) != std::string_view("\x7F" "ELF", 4)) return std::nullopt;
    if (bytes.size() < 20) return LibraryMachine{};
    const int elfClass = static_cast<unsigned char>(bytes[4]);
    const int data = static_cast<unsigned char>(bytes[5]);
    if ((elfClass != 1 && elfClass != 2) || (data != 1 && data != 2)) return LibraryMachine{};
    const std::uint32_t machine = data == 1 ? littleEndian(bytes, 18, 2) : bigEndian(bytes, 18, 2);
    return fromElfMachine(machine, elfClass == 1 ? 32 : 64);
}

}  // namespace

LibraryMachine parseLibraryMachine(std::string_view bytes, std::size_t* needed) {
    if (needed) *needed = 0;
    if (const auto elf = parseElf(bytes)) return *elf;
    if (bytes.size() < 0x40 || bytes.substr(0, 2) != "MZ") return {};
    const std::uint32_t peOffset = littleEndian(bytes, 0x3C, 4);
    if (peOffset < 0x40 || peOffset > kLongestRead) return {};
    const std::size_t end = static_cast<std::size_t>(peOffset) + 6;
    if (bytes.size() < end) {
        if (needed) *needed = end;
        return {};
    }
    if (bytes.substr(peOffset, 4) != std::string_view("PE\0\0", 4)) return {};
    return fromPeMachine(littleEndian(bytes, peOffset + 4, 2));
}

LibraryMachine readLibraryMachine(FileSystem& files, const WideString& path) {
    const auto head = files.readFile(path, kFirstRead);
    if (!head) return {};
    std::size_t needed = 0;
    const LibraryMachine machine = parseLibraryMachine(*head, &needed);
    if (needed == 0 || head->size() < kFirstRead) return machine;
    const auto longer = files.readFile(path, needed);
    return longer ? parseLibraryMachine(*longer) : machine;
}

LibraryMachine launcherMachine() {
#if defined(__x86_64__) || defined(_M_X64)
    return {Kind::X64, 0, 64};
#elif defined(__aarch64__) || defined(_M_ARM64)
    return {Kind::Arm64, 0, 64};
#elif defined(__i386__) || defined(_M_IX86)
    return {Kind::X86, 0, 32};
#else
    return {};
#endif
}

bool fitsLauncher(const LibraryMachine& machine) {
    const LibraryMachine own = launcherMachine();
    return machine.kind == Kind::Unknown || own.kind == Kind::Unknown || machine.kind == own.kind;
}

WideString describeMachine(const LibraryMachine& machine) {
    switch (machine.kind) {
    case Kind::X86: return u"32-bit (x86)";
    case Kind::X64: return u"64-bit (x64)";
    case Kind::Arm: return u"32-bit (ARM)";
    case Kind::Arm64: return u"64-bit (ARM64)";
    case Kind::Unknown: return u"unknown";
    case Kind::Other: break;
    }
    static const char kDigits[] = "0123456789ABCDEF";
    std::string hex = "0x";
    for (int shift = 12; shift >= 0; shift -= 4) hex += kDigits[(machine.code >> shift) & 0xF];
    const std::string bits = machine.bits ? std::to_string(machine.bits) + "-bit " : std::string();
    return fromAscii(bits + "(machine " + hex + ")");
}

}  // namespace corvid
