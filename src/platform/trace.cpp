#include "platform/trace.h"

#include <cstdio>

#include "platform/platform.h"

namespace corvid {

Trace::Trace(std::unique_ptr<TraceOutput> output) : output_(std::move(output)) {}

Trace Trace::fromEnvironment(Environment& environment) {
    const auto target = environment.get(kTraceVariable);
    if (!target || target->empty()) return Trace();
    return Trace(openTraceOutput(*target));
}

void Trace::line(std::string_view text) {
    if (!output_) return;
    const auto elapsed = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start_);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%9.3f ", elapsed.count());
    std::string out(stamp);
    out.append(text);
    out.push_back('\n');
    output_->write(out);
}

}  // namespace corvid
