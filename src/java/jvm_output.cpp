#include "java/jvm_output.h"

#include <atomic>
#include <utility>
#include <vector>

#include "platform/lock.h"
#include "platform/platform.h"

namespace corvid {

namespace {

constexpr std::size_t kCaptureLimit = 1 << 20;
constexpr std::size_t kJvmTextLimit = 4000;

struct Piece {
    std::FILE* stream;
    std::string text;
};

Mutex outputMutex;
JvmOutputMode outputMode = JvmOutputMode::PassThrough;
std::vector<Piece> held;
std::size_t heldBytes = 0;
std::atomic<bool (*)(const std::string&)> outputGuard{nullptr};

// On Windows the FILE* belongs to the JVM library's C runtime, not ours, so
// it cannot be written through here; the process's standard error is used.
std::FILE* targetOf(std::FILE* stream) {
#ifdef _WIN32
    (void)stream;
    return stderr;
#else
    return stream ? stream : stderr;
#endif
}

// What is held back: the JVM's words to the standard streams. Its log files
// get theirs at once, since such a FILE* may be closed before a release (at
// DestroyJavaVM). On Windows every piece goes to standard error anyway.
bool isStandardStream(std::FILE* stream) {
#ifdef _WIN32
    (void)stream;
    return true;
#else
    return !stream || stream == stdout || stream == stderr;
#endif
}

void write(std::FILE* stream, const std::string& text) {
    std::FILE* target = targetOf(stream);
    std::fwrite(text.data(), 1, text.size(), target);
    std::fflush(target);
}

void releaseLocked() {
    for (const Piece& piece : held) write(piece.stream, piece.text);
    held.clear();
    heldBytes = 0;
}

std::string format(const char* format, va_list arguments) {
    char small[512];
    va_list copy;
    va_copy(copy, arguments);
    const int length = formatLikeJvm(small, sizeof small, format, copy);
    va_end(copy);
    if (length < 0) return {};
    if (static_cast<std::size_t>(length) < sizeof small) return std::string(small, static_cast<std::size_t>(length));
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    va_copy(copy, arguments);
    formatLikeJvm(text.data(), text.size(), format, copy);
    va_end(copy);
    text.resize(static_cast<std::size_t>(length));
    return text;
}

}  // namespace

void setJvmOutputMode(JvmOutputMode mode) {
    std::lock_guard<Mutex> lock(outputMutex);
    outputMode = mode;
}

std::string takeCapturedJvmOutput() {
    std::lock_guard<Mutex> lock(outputMutex);
    std::string text;
    for (const Piece& piece : held) text += piece.text;
    held.clear();
    heldBytes = 0;
    return text;
}

void releaseCapturedJvmOutput() {
    std::lock_guard<Mutex> lock(outputMutex);
    releaseLocked();
}

void setJvmOutputGuard(bool (*guard)(const std::string& piece)) { outputGuard.store(guard); }

jint JNICALL jvmVfprintfHook(std::FILE* stream, const char* formatText, va_list arguments) {
    std::string text = format(formatText, arguments);
    const jint length = static_cast<jint>(text.size());
    // Outside the lock: the guard may end the process.
    const auto guard = outputGuard.load();
    if (guard && isStandardStream(stream) && guard(text)) return length;
    std::lock_guard<Mutex> lock(outputMutex);
    if (outputMode == JvmOutputMode::PassThrough || !isStandardStream(stream)) {
        write(stream, text);
        return length;
    }
    if (heldBytes + text.size() > kCaptureLimit) releaseLocked();
    heldBytes += text.size();
    held.push_back({stream, text});
    return length;
}

WideString jvmWords(const std::string& jvmText) {
    WideString text = fromNarrow(jvmText);
    const std::size_t first = text.find_first_not_of(u"\r\n");
    if (first == WideString::npos) return {};
    text.erase(0, first);
    text.erase(text.find_last_not_of(u"\r\n") + 1);
    if (text.size() > kJvmTextLimit) text = u"\u2026" + text.substr(text.size() - kJvmTextLimit);
    return text;
}

WideString withJvmText(const WideString& message, const std::string& jvmText) {
    const WideString text = jvmWords(jvmText);
    if (text.empty()) return message;
    WideString result = message;
    if (!result.empty() && result.back() != u'\n') result += u'\n';
    return result + text;
}

}  // namespace corvid
