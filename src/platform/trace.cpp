#include "platform/trace.h"

#include <cstdio>

#include "platform/platform.h"

namespace corvid {

Trace::Trace(std::unique_ptr<TraceOutput> output) : output_(std::move(output)), start_(monotonicMicroseconds()) {}

Trace Trace::fromEnvironment(Environment& environment) {
    const auto target = environment.get(kTraceVariable);
    if (!target || target->empty()) return Trace();
    return Trace(openTraceOutput(*target));
}

void Trace::line(std::string_view text) {
    if (!output_) return;
    const std::uint64_t elapsed = monotonicMicroseconds() - start_;
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%5llu.%03u ", static_cast<unsigned long long>(elapsed / 1000),
                  static_cast<unsigned>(elapsed % 1000));
    std::string out(stamp);
    out.append(text);
    out.push_back('\n');
    output_->write(out);
}

}  // namespace corvid
