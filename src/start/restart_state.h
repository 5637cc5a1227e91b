// What a start knows about restarting: the configured exit code and what the
// guard against a program that ends with it at once needs; the restart
// itself is in jvm/restart.h.
#pragma once

#include <cstdint>
#include <optional>

namespace corvid {

struct RestartState {
    // [Application] "Restart Exit Code"; never set for services.
    std::optional<std::int32_t> exitCode;
    // Restarts in a row, before this start, of a program that ended at once.
    unsigned quickInARow = 0;
    // When main was called; unset while the program has not run.
    std::optional<std::uint64_t> programStarted;  // microseconds on the monotonic clock
    // Decided once: the JVM's exit hook or the end of the start.
    bool decided = false;
};

}  // namespace corvid
