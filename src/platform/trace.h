// An optional diagnostic trace: one line per decision, each stamped with the
// milliseconds since the launcher started. It is switched on by naming a file
// in the CORVID_TRACE environment variable ("-" is standard error on Linux);
// not by an argument, since every argument belongs to the Java program.
// When off it costs the one environment lookup made at start.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/text.h"

namespace corvid {

class Environment;

class TraceOutput {
public:
    virtual ~TraceOutput() = default;
    virtual void write(std::string_view utf8Line) = 0;
};

// Opens the target for appending; nullptr when it cannot be opened.
std::unique_ptr<TraceOutput> openTraceOutput(const WideString& target);

class Trace {
public:
    Trace() = default;  // off
    explicit Trace(std::unique_ptr<TraceOutput> output);
    static Trace fromEnvironment(Environment& environment);

    bool enabled() const { return output_ != nullptr; }
    // Writes "<ms> <text>" as one line. Callers test enabled() first when
    // building the text costs anything.
    void line(std::string_view text);
    void line(WideView text) { line(std::string_view(toUtf8(text))); }

private:
    std::unique_ptr<TraceOutput> output_;
    std::uint64_t start_ = 0;  // microseconds on the monotonic clock
};

// The environment variable that switches the trace on.
inline constexpr char16_t kTraceVariable[] = u"CORVID_TRACE";

}  // namespace corvid
