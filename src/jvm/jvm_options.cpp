#include "jvm/jvm_options.h"

#include <cmath>

#include "config/config_file.h"
#include "jvm/jvm_path.h"
#include "jvm/user_options.h"
#include "start/launcher.h"
#include "start/messages.h"

namespace corvid {

namespace {

constexpr char16_t kQuote = u'"';
constexpr char16_t kSpace = u' ';
constexpr WideView kClassPathOption = u"-Djava.class.path=";
constexpr WideView kStackSizePrefix = u"-Xss";

std::size_t findFrom(WideView text, char16_t c, std::size_t from) {
    return from >= text.size() ? WideView::npos : text.find(c, from);
}

}  // namespace

WideList splitVmParameters(WideView text) {
    WideList tokens;
    // Leading spaces (a value that was quoted as a whole may keep some) make
    // no empty option, which the JVM would refuse.
    std::size_t start = text.find_first_not_of(kSpace);
    while (start < text.size()) {
        std::size_t space = findFrom(text, kSpace, start);
        std::size_t quote = findFrom(text, kQuote, start);
        // A space inside a closed quote pair does not end the token.
        while (quote != WideView::npos && space != WideView::npos && space > quote) {
            std::size_t closing = findFrom(text, kQuote, quote + 1);
            if (closing == WideView::npos) break;
            if (closing + 1 < text.size() && text[closing + 1] == kQuote) ++closing;
            quote = findFrom(text, kQuote, closing + 1);
            space = findFrom(text, kSpace, closing + 1);
        }
        const std::size_t end = space == WideView::npos ? text.size() : space;
        tokens.emplace_back(text.substr(start, end - start));
        start = end;
        while (start < text.size() && text[start] == kSpace) ++start;
    }
    return tokens;
}

void removeQuotes(WideString& token) {
    std::size_t begin = token.find(kQuote);
    while (begin != WideString::npos) {
        const std::size_t closing = findFrom(token, kQuote, begin + 1);
        if (closing == WideString::npos) return;
        const std::size_t end =
            (closing + 1 < token.size() && token[closing + 1] == kQuote) ? closing + 1 : closing;
        const std::size_t kept = end - begin - 1;
        token = token.substr(0, begin) + token.substr(begin + 1, kept) + token.substr(end + 1);
        begin = findFrom(token, kQuote, begin + kept);
    }
}

bool isMemoryPercentOption(WideView token) {
    if (token.size() < 5) return false;
    const WideView prefix = token.substr(0, 4);
    if (prefix != u"-Xms" && prefix != u"-Xmx" && prefix != kStackSizePrefix) return false;
    const char16_t last = token.back();
    return last == u'P' || last == u'p' || last == u'T' || last == u't';
}

NumberList parseNumberList(WideView text) {
    NumberList result;
    result.start = text.size();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((text[i] >= u'0' && text[i] <= u'9') || text[i] == u':') {
            result.start = i;
            break;
        }
    }
    if (result.start == text.size()) return result;
    result.numbers.push_back(0);
    for (std::size_t i = result.start; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c >= u'0' && c <= u'9') {
            result.numbers.back() = result.numbers.back() * 10 + static_cast<std::uint64_t>(c - u'0');
        } else if (c == u':') {
            result.numbers.push_back(0);
        }
    }
    return result;
}

void applyMemoryPercent(WideString& token, Memory& memory) {
    const NumberList list = parseNumberList(token);
    const auto number = [&](std::size_t index) { return index < list.numbers.size() ? list.numbers[index] : 0; };
    const std::uint64_t percent = number(0);
    const std::uint64_t minimumMb = number(1);
    const std::uint64_t maximumMb = number(2);

    const MemoryStatus status = memory.status();
    const char16_t kind = token.back();
    const std::uint64_t bytes = (kind == u'P' || kind == u'p') ? status.totalPhysical : status.availableVirtual;
    const std::uint64_t kilobytes = bytes >> 10;

    // A share beyond what 64 bits hold cannot be converted; it saturates, and
    // the JVM then refuses the size with its own message.
    const double share = static_cast<double>(kilobytes) * (static_cast<double>(percent) / 100.0);
    constexpr double kTwoTo64 = 18446744073709551616.0;
    std::uint64_t size = share >= kTwoTo64 ? UINT64_MAX : static_cast<std::uint64_t>(share);
    if (maximumMb != 0 && size > maximumMb * 1024) size = maximumMb * 1024;
    if (minimumMb * 1024 > size) size = minimumMb * 1024;

    token = token.substr(0, list.start) + fromAscii(std::to_string(size)) + u"K";
}

std::optional<std::uint64_t> parseStackSize(WideView text) {
    if (text.empty()) return std::nullopt;
    std::uint64_t unit = 1;
    switch (text.back()) {
        case u'G': case u'g': unit = std::uint64_t{1} << 30; break;
        case u'M': case u'm': unit = std::uint64_t{1} << 20; break;
        case u'K': case u'k': unit = std::uint64_t{1} << 10; break;
        default: break;
    }
    const NumberList list = parseNumberList(text);
    if (list.start != 0 || list.numbers.size() != 1) return std::nullopt;
    return list.numbers.front() * unit;
}

void addVmParameter(Launcher& launcher, WideString token, WideList& tokens) {
    removeQuotes(token);
    if (isMemoryPercentOption(token)) applyMemoryPercent(token, launcher.platform.memory);
    if (token.compare(0, kStackSizePrefix.size(), kStackSizePrefix) == 0) {
        if (const auto size = parseStackSize(WideView(token).substr(kStackSizePrefix.size()))) {
            launcher.threadStackSize = *size;
        }
    }
    tokens.push_back(std::move(token));
}

void expandEnvironment(Environment& environment, WideString& text) {
    if (auto expanded = environment.expand(text)) text = std::move(*expanded);
}

bool buildJvmOptions(Launcher& launcher) {
    Platform& platform = launcher.platform;
    // Initialisation found the file already; no second message if that fails now.
    const ModulePath module = platform.process.modulePath();
    const auto file = module.ok ? configFilePathFor(module.path) : std::nullopt;
    if (!file) return false;

    const WideString classPath = readConfigValue(platform, *file, u"Class Path", u"Class Path");
    if (classPath.empty()) {
        showError(platform.ui, launcher.owner(), loadMessage(platform.ui, MessageId::ClassPathMissing));
        return false;
    }
    WideList tokens{WideString(kClassPathOption) + classPath};
    for (WideString& token :
         splitVmParameters(readConfigValue(platform, *file, u"Java Runtime Environment", u"Virtual Machine Parameters"))) {
        addVmParameter(launcher, std::move(token), tokens);
    }
    appendUserOptions(launcher, *file, tokens);
    // Expanding after the split keeps a value with spaces or quotes one option.
    for (WideString& token : tokens) expandEnvironment(platform.environment, token);
    const auto classPathForJvm = pathListForJvm(launcher, WideView(tokens.front()).substr(kClassPathOption.size()));
    if (!classPathForJvm) return false;
    tokens.front() = WideString(kClassPathOption) + *classPathForJvm;
    for (const WideString& token : tokens) launcher.jvmOptions.push_back(toNarrow(token));

    launcher.outputFile = readConfigValue(platform, *file, u"Application", u"Output File");
    if (!launcher.outputFile.empty()) expandEnvironment(platform.environment, launcher.outputFile);
    launcher.errorFile = readConfigValue(platform, *file, u"Application", u"Error File");
    if (!launcher.errorFile.empty()) expandEnvironment(platform.environment, launcher.errorFile);
    return true;
}

}  // namespace corvid
