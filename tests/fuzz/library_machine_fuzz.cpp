// A library's PE or ELF header: any bytes give an answer without reading
// past them; a known machine comes only from a header that says so, reads the
// same from every longer prefix, and is gone once the machine field is cut;
// a PE header past the bytes given asks for exactly the bytes it needs.
#include "fuzz_support.h"
#include "runtime/library_machine.h"

using namespace corvid;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    std::size_t needed = 0;
    const LibraryMachine machine = parseLibraryMachine(bytes, &needed);
    FUZZ_CHECK(!describeMachine(machine).empty());
    if (needed != 0) {
        FUZZ_CHECK(machine.kind == LibraryMachine::Kind::Unknown);
        FUZZ_CHECK(needed > bytes.size());
    }
    if (machine.kind == LibraryMachine::Kind::Unknown) return 0;

    const bool elf = bytes.rfind("\x7F" "ELF", 0) == 0;
    FUZZ_CHECK(elf || bytes.rfind("MZ", 0) == 0);
    // The last byte the answer rests on: the ELF e_machine field, or the PE
    // machine field behind the offset at 0x3C.
    std::size_t end = 20;
    if (!elf) {
        end = 0;
        for (int i = 3; i >= 0; --i) end = (end << 8) | static_cast<unsigned char>(bytes[0x3C + i]);
        end += 6;
    }
    FUZZ_CHECK(end <= bytes.size());
    const LibraryMachine exact = parseLibraryMachine(std::string_view(bytes).substr(0, end));
    FUZZ_CHECK(exact.kind == machine.kind && exact.code == machine.code && exact.bits == machine.bits);
    FUZZ_CHECK(parseLibraryMachine(std::string_view(bytes).substr(0, end - 1)).kind == LibraryMachine::Kind::Unknown);
    return 0;
}
