// An optional diagnostic trace: one line per decision, each stamped with the
// milliseconds since the launcher started. It is switched on by naming a file
// in the CORVID_TRACE environment variable ("-" is standard error on Linux);
// not by an argument, since every argument belongs to the Java program.
// When off it costs the one environment lookup made at start.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>

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

// Whole numbers; not bool or characters, whose text would surprise.
template <typename T>
inline constexpr bool isTraceNumber = std::is_integral_v<T> && !std::is_same_v<T, bool> && !std::is_same_v<T, char> &&
                                      !std::is_same_v<T, char16_t>;

// One piece of a trace line: UTF-8 or UTF-16 text, or a whole number. It
// only points at what it is made from, so a traced line costs its caller no
// string of its own; the pieces are joined (and converted) when written.
class TraceText {
public:
    TraceText(const char* text) : TraceText(std::string_view(text)) {}
    TraceText(std::string_view text) : kind_(Kind::Utf8), text_(text.data()), value_(text.size()) {}
    TraceText(const std::string& text) : TraceText(std::string_view(text)) {}
    TraceText(const char16_t* text) : TraceText(WideView(text)) {}
    TraceText(WideView text) : kind_(Kind::Utf16), text_(text.data()), value_(text.size()) {}
    TraceText(const WideString& text) : TraceText(WideView(text)) {}
    template <typename Number, typename = std::enable_if_t<isTraceNumber<Number>>>
    TraceText(Number number)
        : kind_(std::is_signed_v<Number> ? Kind::Signed : Kind::Unsigned),
          value_(static_cast<std::uint64_t>(static_cast<std::int64_t>(number))) {}

    void appendTo(std::string& line) const;

private:
    enum class Kind { Utf8, Utf16, Signed, Unsigned };
    Kind kind_;
    const void* text_ = nullptr;
    std::uint64_t value_;  // the text's length, or the number
};

class Trace {
public:
    Trace() = default;  // off
    explicit Trace(std::unique_ptr<TraceOutput> output);
    static Trace fromEnvironment(Environment& environment);

    bool enabled() const { return output_ != nullptr; }
    // Writes "<ms> " and the pieces joined as one line. Callers test
    // enabled() first when making a piece costs anything.
    template <typename... Pieces>
    void line(const Pieces&... pieces) {
        if (output_) write({TraceText(pieces)...});
    }

private:
    void write(std::initializer_list<TraceText> pieces);

    std::unique_ptr<TraceOutput> output_;
    std::uint64_t start_ = 0;  // microseconds on the monotonic clock
};

// The environment variable that switches the trace on.
inline constexpr char16_t kTraceVariable[] = u"CORVID_TRACE";

}  // namespace corvid
