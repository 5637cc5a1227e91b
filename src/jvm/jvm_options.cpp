#include "jvm/jvm_options.h"

#include <algorithm>
#include <cmath>

#include "config/config_file.h"
#include "java/jvm_path.h"
#include "jvm/user_options.h"
#include "start/launcher.h"
#include "start/messages.h"

namespace corvid {

namespace {

constexpr char16_t kQuote = u'"';
constexpr char16_t kSpace = u' ';
constexpr WideView kClassPathOption = u"-Djava.class.path=";
constexpr WideView kStackSizePrefix = u"-Xss";
constexpr WideView kJavaCommandOption = u"-Dsun.java.command=";
constexpr WideView kExecutableOption = u"-Dcorvid.executable=";
constexpr WideView kLauncherOption = u"-Dsun.java.launcher=";
// What java's own launcher names itself to the JVM and the program.
constexpr WideView kStandardLauncher = u"SUN_STANDARD";
constexpr WideView kClassPathNames[] = {u"-cp", u"-classpath", u"--class-path"};
constexpr WideView kClassPathJoined = u"--class-path=";
constexpr WideView kSplashOption = u"-splash:";
// The options whose values are path lists the JVM opens.
constexpr WideView kPathListOptions[] = {u"--module-path=", u"--upgrade-module-path="};

std::size_t findFrom(WideView text, char16_t c, std::size_t from) {
    return from >= text.size() ? WideView::npos : text.find(c, from);
}

struct OptionForm {
    WideView written;
    WideView joined;
};
constexpr OptionForm kOptionsTakingNextToken[] = {
    {u"--module-path", u"--module-path"},
    {u"-p", u"--module-path"},
    {u"--upgrade-module-path", u"--upgrade-module-path"},
    {u"--add-modules", u"--add-modules"},
    {u"--limit-modules", u"--limit-modules"},
    {u"--add-exports", u"--add-exports"},
    {u"--add-opens", u"--add-opens"},
    {u"--add-reads", u"--add-reads"},
    {u"--patch-module", u"--patch-module"},
    {u"--enable-native-access", u"--enable-native-access"},
};

bool isJarName(WideView name) {
    if (name.size() <= 4) return false;
    const WideView extension = name.substr(name.size() - 4);
#ifdef _WIN32
    return equalsIgnoringAsciiCase(extension, u".jar");
#else
    return extension == u".jar" || extension == u".JAR";
#endif
}

std::vector<WideView> splitList(WideView text, char16_t separator) {
    std::vector<WideView> pieces;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find(separator, start);
        pieces.push_back(text.substr(start, end == WideView::npos ? WideView::npos : end - start));
        if (end == WideView::npos) return pieces;
        start = end + 1;
    }
}

// The jars a wildcard entry stands for, or nothing when it is no wildcard or
// its folder cannot be listed.
std::optional<WideList> wildcardJars(FileSystem& files, WideView entry) {
    if (entry.empty() || entry.back() != u'*') return std::nullopt;
    const WideView prefix = entry.substr(0, entry.size() - 1);
    if (!prefix.empty() && !isPathSeparator(prefix.back())) return std::nullopt;
    // The folder as a listing takes it: "*" alone is the current one, and only
    // a root keeps its separator.
    WideString folder = prefix.empty() ? WideString(u".") : WideString(prefix);
    if (folder.size() > 1 && isPathSeparator(folder.back()) && folder[folder.size() - 2] != u':') folder.pop_back();
    const auto names = files.list(folder);
    if (!names) return std::nullopt;
    WideList jars;
    for (const WideString& name : *names) {
        if (!isJarName(name)) continue;
        WideString jar = WideString(prefix) + name;
        const auto facts = files.facts(prefix.empty() ? folder + kPathSeparator + name : jar);
        if (facts && !facts->isFolder) jars.push_back(std::move(jar));
    }
    std::sort(jars.begin(), jars.end());
    return jars;
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

std::optional<WideView> optionTakingNextToken(WideView token) {
    for (const OptionForm& form : kOptionsTakingNextToken) {
        if (token == form.written) return form.joined;
    }
    return std::nullopt;
}

std::optional<WideString> joinOptionValues(WideList& tokens, std::size_t from) {
    WideList joined(tokens.begin(), tokens.begin() + static_cast<std::ptrdiff_t>(std::min(from, tokens.size())));
    for (std::size_t i = joined.size(); i < tokens.size(); ++i) {
        const auto name = optionTakingNextToken(tokens[i]);
        if (!name) {
            joined.push_back(std::move(tokens[i]));
            continue;
        }
        if (i + 1 == tokens.size()) return tokens[i];
        joined.push_back(WideString(*name) + u"=" + tokens[i + 1]);
        ++i;
    }
    tokens = std::move(joined);
    return std::nullopt;
}

LauncherOptions takeLauncherOptions(WideList& tokens) {
    LauncherOptions taken;
    WideList kept;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        WideString& token = tokens[i];
        const WideView* name = std::find(std::begin(kClassPathNames), std::end(kClassPathNames), WideView(token));
        if (name != std::end(kClassPathNames)) {
            if (i + 1 == tokens.size()) {
                taken.dangling = std::move(token);
                break;
            }
            taken.classPaths.push_back({WideString(*name), std::move(tokens[++i])});
        } else if (startsWith(token, kClassPathJoined)) {
            taken.classPaths.push_back({WideString(kClassPathNames[2]), token.substr(kClassPathJoined.size())});
        } else if (startsWith(token, kSplashOption)) {
            taken.splashPictures.push_back(token.substr(kSplashOption.size()));
        } else {
            const bool takesNext = optionTakingNextToken(token).has_value();
            kept.push_back(std::move(token));
            if (takesNext && i + 1 < tokens.size()) kept.push_back(std::move(tokens[++i]));
        }
    }
    tokens = std::move(kept);
    return taken;
}

WideString expandClassPathWildcards(FileSystem& files, WideView classPath, char16_t listSeparator) {
    WideString result;
    bool first = true;
    const auto append = [&](WideView entry) {
        if (!first) result += listSeparator;
        result += entry;
        first = false;
    };
    for (const WideView entry : splitList(classPath, listSeparator)) {
        if (const auto jars = wildcardJars(files, entry)) {
            for (const WideString& jar : *jars) append(jar);
        } else {
            append(entry);
        }
    }
    return result;
}

void applySizeOption(Launcher& launcher, WideString& token) {
    if (isMemoryPercentOption(token)) applyMemoryPercent(token, launcher.platform.memory);
    if (startsWith(token, kStackSizePrefix)) {
        if (const auto size = parseStackSize(WideView(token).substr(kStackSizePrefix.size()))) {
            launcher.threadStackSize = *size;
        }
    }
}

WideString mainTarget(const Launcher& launcher) {
    switch (launcher.mainForm()) {
        case MainForm::Module: return launcher.mainModule;
        case MainForm::Jar: return launcher.mainJar;
        case MainForm::Class: break;
    }
    WideString name = launcher.mainClass;
    std::replace(name.begin(), name.end(), u'/', u'.');
    return name;
}

WideString javaCommandOption(const Launcher& launcher, std::optional<WideView> program) {
    WideString option = WideString(kJavaCommandOption) + WideString(program.value_or(mainTarget(launcher)));
    for (const WideString& argument : launcher.arguments) option += u" " + argument;
    return option;
}

void expandEnvironment(Environment& environment, WideString& text) {
    if (auto expanded = environment.expand(text)) text = std::move(*expanded);
}

namespace {

// The VM parameters as tokens without their quotes, java's launcher options
// taken out of them.
LauncherOptions readVmParameters(Platform& platform, const WideString& file, WideList& tokens) {
    tokens =
        splitVmParameters(readConfigValue(platform, file, u"Java Runtime Environment", u"Virtual Machine Parameters"));
    for (WideString& token : tokens) removeQuotes(token);
    return takeLauncherOptions(tokens);
}

}  // namespace

WideString splashOptionPicture(Launcher& launcher) {
    Platform& platform = launcher.platform;
    const ModulePath module = platform.process.modulePath();
    const auto file = module.ok ? configFilePathFor(module.path) : std::nullopt;
    if (!file) return {};
    WideList tokens;
    LauncherOptions taken = readVmParameters(platform, *file, tokens);
    if (taken.splashPictures.empty()) return {};
    WideString picture = std::move(taken.splashPictures.back());
    expandEnvironment(platform.environment, picture);
    return picture;
}

namespace {

void showDanglingOption(Launcher& launcher, const WideString& name) {
    if (launcher.trace.enabled()) launcher.trace.line("option without its value: ", name);
    UserInterface& ui = launcher.platform.ui;
    showErrorText(ui, launcher.owner(), loadMessage(ui, MessageId::OptionValueMissing), name);
}

// The class path that a -cp among the VM parameters gives where the
// configuration names none; each option that gives nothing is traced.
WideString classPathFromOptions(Launcher& launcher, const LauncherOptions& taken, MainForm form, bool configured) {
    WideString classPath;
    for (std::size_t i = 0; i < taken.classPaths.size(); ++i) {
        const LauncherOptions::ClassPath& option = taken.classPaths[i];
        const char* dropped = form == MainForm::Jar ? "Main Jar is the class path"
                              : configured          ? "[Class Path] is set"
                              : i + 1 < taken.classPaths.size() ? "a later one wins"
                                                                : nullptr;
        if (!dropped) classPath = option.value;
        if (launcher.trace.enabled()) {
            if (dropped) {
                launcher.trace.line(option.name, " ", option.value, " dropped from the VM parameters: ", dropped);
            } else {
                launcher.trace.line("class path from the VM parameters' ", option.name, ": ", option.value);
            }
        }
    }
    return classPath;
}

}  // namespace

JvmOptionsResult buildJvmOptions(Launcher& launcher) {
    Platform& platform = launcher.platform;
    // Initialisation found the file already; no second message if that fails now.
    const ModulePath module = platform.process.modulePath();
    const auto file = module.ok ? configFilePathFor(module.path) : std::nullopt;
    if (!file) return JvmOptionsResult::Incomplete;

    // A runnable jar is its own class path, as with java -jar; a module may
    // do without one.
    const MainForm form = launcher.mainForm();
    if (form == MainForm::Jar) {
        expandEnvironment(platform.environment, launcher.mainJar);
        // As java -jar refuses it, before a JVM exists: the runtime's helper
        // would only say that an unexpected error occurred.
        if (!platform.files.readFile(launcher.mainJar, 1)) {
            if (launcher.trace.enabled()) launcher.trace.line("Main Jar cannot be opened: ", launcher.mainJar);
            showError(platform.ui, launcher.owner(),
                      formatMessage(platform.ui, MessageId::JarNotAccessible, {launcher.mainJar}));
            return JvmOptionsResult::Refused;
        }
    }
    WideString classPath =
        form == MainForm::Jar ? launcher.mainJar : readConfigValue(platform, *file, u"Class Path", u"Class Path");
    // The VM parameters before the class path is settled: a -cp copied from
    // a java command line names it where the configuration does not.
    WideList tokens;
    const LauncherOptions taken = readVmParameters(platform, *file, tokens);
    if (taken.dangling) {
        showDanglingOption(launcher, *taken.dangling);
        return JvmOptionsResult::Refused;
    }
    const bool configured = !classPath.empty();
    WideString fromOptions = classPathFromOptions(launcher, taken, form, configured);
    if (!configured) classPath = std::move(fromOptions);
    if (launcher.trace.enabled() && !taken.splashPictures.empty()) {
        // The splash has been shown, or not, by now; the JVM never gets the option.
        const bool configuredSplash = !readConfigValue(platform, *file, u"Display", u"Splash Screen").empty();
        for (std::size_t i = 0; i < taken.splashPictures.size(); ++i) {
            const bool last = i + 1 == taken.splashPictures.size();
            launcher.trace.line(kSplashOption, taken.splashPictures[i],
                                configuredSplash ? " dropped from the VM parameters: [Display] Splash Screen is set"
                                : last           ? " taken from the VM parameters as the splash picture"
                                                 : " dropped from the VM parameters: a later one wins");
        }
    }
    if (classPath.empty() && form == MainForm::Class) {
        showError(platform.ui, launcher.owner(), loadMessage(platform.ui, MessageId::ClassPathMissing));
        return JvmOptionsResult::Incomplete;
    }
    if (form != MainForm::Jar) {
        // Wildcards are expanded after the references, so `%APP%\lib\*` works.
        expandEnvironment(platform.environment, classPath);
        classPath = expandClassPathWildcards(platform.files, classPath, kSearchPathSeparator);
    }
    for (WideString& token : tokens) applySizeOption(launcher, token);
    appendUserOptions(launcher, *file, tokens);
    if (const auto dangling = joinOptionValues(tokens, 0)) {
        showDanglingOption(launcher, *dangling);
        return JvmOptionsResult::Refused;
    }
    // After the options, where java puts it.
    if (form == MainForm::Module) {
        tokens.push_back(u"-Djdk.module.main=" + launcher.mainModule.substr(0, launcher.mainModule.find(u'/')));
    }
    // A path the narrow form cannot hold goes by its short name. A runnable
    // jar is one path, whatever characters its name holds.
    const auto classPathForJvm = classPath.empty()        ? std::optional<WideString>(classPath)
                                 : form == MainForm::Jar ? pathForJvm(launcher, classPath)
                                                         : pathListForJvm(launcher, classPath);
    if (!classPathForJvm) return JvmOptionsResult::Refused;
    // Expanding after the split keeps a value with spaces or quotes one option.
    bool commandSet = false;
    bool executableSet = false;
    bool launcherSet = false;
    for (WideString& token : tokens) {
        expandEnvironment(platform.environment, token);
        commandSet = commandSet || startsWith(token, kJavaCommandOption);
        executableSet = executableSet || startsWith(token, kExecutableOption);
        launcherSet = launcherSet || startsWith(token, kLauncherOption);
        for (const WideView option : kPathListOptions) {
            if (!startsWith(token, option)) continue;
            const auto list = pathListForJvm(launcher, WideView(token).substr(option.size()));
            if (!list) return JvmOptionsResult::Refused;
            token = WideString(option) + *list;
        }
    }
    if (!classPath.empty()) launcher.jvmOptions.push_back(toNarrow(WideString(kClassPathOption) + *classPathForJvm));
    for (const WideString& token : tokens) launcher.jvmOptions.push_back(toNarrow(token));
    // What an application that restarts itself starts.
    if (!executableSet) {
        if (const auto executable = jvmOpenablePath(launcher.platform.shortPaths, module.path)) {
            launcher.jvmOptions.push_back(toNarrow(WideString(kExecutableOption) + *executable));
        } else if (launcher.trace.enabled()) {
            launcher.trace.line("corvid.executable left out, its path cannot be passed: ", module.path);
        }
    }
    // The jar as the class path names it; the arguments go in as given,
    // nothing of theirs expanded.
    const auto program = form == MainForm::Jar ? std::optional<WideView>(*classPathForJvm) : std::nullopt;
    if (!commandSet) launcher.jvmOptions.push_back(toNarrow(javaCommandOption(launcher, program)));
    if (!launcherSet) launcher.jvmOptions.push_back(toNarrow(WideString(kLauncherOption) + WideString(kStandardLauncher)));

    launcher.outputFile = readConfigValue(platform, *file, u"Application", u"Output File");
    if (!launcher.outputFile.empty()) expandEnvironment(platform.environment, launcher.outputFile);
    launcher.errorFile = readConfigValue(platform, *file, u"Application", u"Error File");
    if (!launcher.errorFile.empty()) expandEnvironment(platform.environment, launcher.errorFile);
    return JvmOptionsResult::Built;
}

}  // namespace corvid
