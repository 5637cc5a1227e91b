// Restarts that the Java program asks for by ending with the configured exit
// code: the launcher starts its own executable again with the same arguments,
// and a program that keeps ending with the code at once is not started again
// more than kQuickRestartLimit times in a row.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

#include "platform/text.h"

namespace corvid {

class Launcher;

// Handed from a start to the one it starts again, and removed from the
// environment before the JVM exists, so the Java program never sees it.
inline constexpr char16_t kRestartVariable[] = u"CORVID_RESTART";
inline constexpr unsigned kQuickRestartLimit = 3;
// A program that ran for less than this since main was called ended "at once".
inline constexpr std::chrono::milliseconds kQuickRun{1000};
// How long a restarted start waits for the one before it to end.
inline constexpr std::uint32_t kPredecessorWaitMs = 10000;

// "<quick restarts in a row>:<process id of the start before>".
struct RestartHandover {
    unsigned quickInARow = 0;
    std::uint32_t predecessor = 0;
};
WideString formatRestartHandover(const RestartHandover& handover);
std::optional<RestartHandover> parseRestartHandover(WideView text);

// A program that ended with the restart code after running `ranFor` is
// started again unless that makes more than kQuickRestartLimit quick ones in
// a row; a run of kQuickRun or longer starts the count afresh.
struct RestartDecision {
    bool restart = false;
    unsigned quickInARow = 0;  // what the new start is told
};
RestartDecision decideRestart(unsigned quickInARow, std::chrono::microseconds ranFor);

// Early in a start: takes the handover out of the environment and waits for
// the start before to end (it may still hold the single-instance channel,
// its files or locks).
void takeRestartHandover(Launcher& launcher);
// main is about to be called.
void programStarting(Launcher& launcher);
// The program ended with `code`: starts the executable again when that is
// the restart code and the guard allows it. Acts once per start.
void restartAfterExit(Launcher& launcher, std::int32_t code);

}  // namespace corvid
