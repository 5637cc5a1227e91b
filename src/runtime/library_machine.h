// Which processor a JVM library's code is for, read from its PE (Windows) or
// ELF (Linux) header, so that a runtime the launcher's process cannot load is
// passed over or named, instead of failing in the loader with a bare number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/platform.h"
#include "platform/text.h"

namespace corvid {

struct LibraryMachine {
    enum class Kind { Unknown, X86, X64, Arm, Arm64, Other };
    Kind kind = Kind::Unknown;  // Unknown: no PE or ELF header could be read
    std::uint32_t code = 0;     // the header's machine field, for Other
    int bits = 0;               // 32 or 64 where the header says; 0 when it does not
};

// The machine of a PE or ELF image from its first bytes. A PE header beyond
// them gives Unknown and sets `needed` to the bytes it would take.
LibraryMachine parseLibraryMachine(std::string_view bytes, std::size_t* needed = nullptr);
// The machine of the library file; Unknown when it cannot be read.
LibraryMachine readLibraryMachine(FileSystem& files, const WideString& path);
// The machine this launcher was built for.
LibraryMachine launcherMachine();
// False only for a header that names another machine than the launcher's:
// an unreadable header is left to the loader to judge.
bool fitsLauncher(const LibraryMachine& machine);
// "32-bit (x86)", "64-bit (ARM64)", ..., for messages and the trace.
WideString describeMachine(const LibraryMachine& machine);

}  // namespace corvid
