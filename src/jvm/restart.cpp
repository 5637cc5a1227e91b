#include "jvm/restart.h"

#include <string>

#include "start/launcher.h"

namespace corvid {

namespace {

// Digits only, at most nine of them, so the value fits.
std::optional<std::uint32_t> parseSmallNumber(WideView text) {
    const auto value = text.size() <= 9 ? parseDigits(text) : std::nullopt;
    if (!value) return std::nullopt;
    return static_cast<std::uint32_t>(*value);
}

std::string number(std::int64_t value) { return std::to_string(value); }

}  // namespace

WideString formatRestartHandover(const RestartHandover& handover) {
    return fromAscii(number(handover.quickInARow) + ":" + number(handover.predecessor));
}

std::optional<RestartHandover> parseRestartHandover(WideView text) {
    const std::size_t colon = text.find(u':');
    if (colon == WideView::npos) return std::nullopt;
    const auto count = parseSmallNumber(text.substr(0, colon));
    const auto id = parseSmallNumber(text.substr(colon + 1));
    if (!count || !id) return std::nullopt;
    return RestartHandover{*count, *id};
}

RestartDecision decideRestart(unsigned quickInARow, std::chrono::microseconds ranFor) {
    const unsigned count = ranFor < kQuickRun ? quickInARow + 1 : 0;
    return {count <= kQuickRestartLimit, count};
}

void takeRestartHandover(Launcher& launcher) {
    Platform& platform = launcher.platform;
    const auto text = platform.environment.get(kRestartVariable);
    if (!text) return;
    platform.environment.remove(kRestartVariable);
    const auto handover = parseRestartHandover(*text);
    if (!handover) {
        if (launcher.trace.enabled()) launcher.trace.line("restart: ignored CORVID_RESTART=", *text);
        return;
    }
    launcher.restart.quickInARow = handover->quickInARow;
    const bool ended = platform.process.waitForEnd(handover->predecessor, kPredecessorWaitMs);
    if (launcher.trace.enabled()) {
        launcher.trace.line("restarted, ", handover->quickInARow, " quick restarts in a row; process ",
                            handover->predecessor, ended ? " has ended" : " still runs, starting anyway");
    }
}

void programStarting(Launcher& launcher) { launcher.restart.programStarted = monotonicMicroseconds(); }

void restartAfterExit(Launcher& launcher, std::int32_t code) {
    RestartState& state = launcher.restart;
    if (state.decided || !state.exitCode || *state.exitCode != code || !state.programStarted) return;
    state.decided = true;
    Trace& trace = launcher.trace;
    const std::chrono::microseconds ranFor(monotonicMicroseconds() - *state.programStarted);
    const RestartDecision decision = decideRestart(state.quickInARow, ranFor);
    if (!decision.restart) {
        if (trace.enabled()) {
            trace.line("restart: not again, the program ended at once after ", state.quickInARow,
                       " restarts in a row");
        }
        return;
    }
    Process& process = launcher.platform.process;
    const ModulePath module = process.modulePath();
    const bool started =
        module.ok && process.startAgain(module.path, launcher.processArguments, kRestartVariable,
                                        formatRestartHandover({decision.quickInARow, process.processId()}));
    if (trace.enabled()) {
        trace.line("restart: exit code ", code, started ? ", started again" : ", could not start again");
    }
}

}  // namespace corvid
