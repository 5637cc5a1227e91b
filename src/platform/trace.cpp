#include "platform/trace.h"

#include <string>

#include "platform/platform.h"

namespace corvid {

Trace::Trace(std::unique_ptr<TraceOutput> output) : output_(std::move(output)), start_(monotonicMicroseconds()) {}

Trace Trace::fromEnvironment(Environment& environment) {
    const auto target = environment.get(kTraceVariable);
    if (!target || target->empty()) return Trace();
    return Trace(openTraceOutput(*target));
}

void TraceText::appendTo(std::string& line) const {
    switch (kind_) {
        case Kind::Utf8: line.append(static_cast<const char*>(text_), value_); break;
        case Kind::Utf16: line += toUtf8(WideView(static_cast<const char16_t*>(text_), value_)); break;
        case Kind::Signed: line += std::to_string(static_cast<std::int64_t>(value_)); break;
        case Kind::Unsigned: line += std::to_string(value_); break;
    }
}

void Trace::write(std::initializer_list<TraceText> pieces) {
    const std::uint64_t elapsed = monotonicMicroseconds() - start_;
    // "<milliseconds, at least five wide>.<three digits> ", without printf,
    // which would link a whole formatting library into the launcher.
    const std::string millis = std::to_string(elapsed / 1000);
    const std::string micros = std::to_string(elapsed % 1000 + 1000);  // "1" and three digits
    std::string out(millis.size() < 5 ? 5 - millis.size() : 0, ' ');
    out += millis;
    out += '.';
    out.append(micros, 1, 3);
    out += ' ';
    for (const TraceText& piece : pieces) piece.appendTo(out);
    out.push_back('\n');
    output_->write(out);
}

}  // namespace corvid
