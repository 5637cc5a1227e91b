#include "runtime/current_runtimes.h"

#include <string>

#include "config/config_file.h"
#include "config/config_keys.h"
#include "platform/platform.h"
#include "platform/trace.h"
#include "runtime/library_machine.h"
#include "runtime/release_file.h"
#include "start/launcher.h"

namespace corvid {

namespace {

#ifdef _WIN32
constexpr WideView kCompiler = u"bin\\javac.exe";
#else
constexpr WideView kCompiler = u"bin/javac";
#endif
constexpr WideView kKitRuntimeFolder = u"jre";

constexpr RegistryHive kMachine = RegistryHive::LocalMachine;
constexpr RegistryHive kUser = RegistryHive::CurrentUser;
constexpr RegisteredKind kJdk = RegisteredKind::DevelopmentKit;
constexpr RegisteredKind kJre = RegisteredKind::RuntimeEnvironment;

bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// Homes compare as the file system compares names: without regard to case
// on Windows.
bool sameFolder(const WideString& a, const WideString& b) {
#ifdef _WIN32
    return equalsIgnoringAsciiCase(a, b);
#else
    return a == b;
#endif
}

// One runtime the stage looks at, wherever it came from.
struct Entry {
    std::string shown;     // starts its trace lines, before the folder; may be empty
    std::string label;     // names it in the trace of later duplicates
    WideString folder;     // as registered
    std::optional<JavaVersion> nameVersion;  // the key name's version, when there is a key
    std::optional<bool> developmentKit;      // nullopt: told by the compiler in the folder
    bool needsReleaseFile = false;           // a folder entry is a runtime only by its release file
};

class Collector {
public:
    Collector(Platform& platform, Trace& trace, const CurrentSearchRules& rules, CurrentFindings& found)
        : platform_(platform), trace_(trace), rules_(rules), found_(found) {}

    void consider(Entry entry) {
        FileSystem& files = platform_.files;
        WideString folder = std::move(entry.folder);
        if (!endsWith(folder, kPathSeparator)) folder += kPathSeparator;
        // The trace's words are only put together when the trace is on.
        const bool tracing = trace_.enabled();
        const std::string where = !tracing             ? std::string()
                                  : entry.shown.empty() ? toUtf8(folder)
                                                        : entry.shown + " (" + toUtf8(folder) + ")";
        std::string versioned;
        const auto drop = [&](const std::string& why, bool withVersion) {
            if (tracing) trace_.line("  ", where, " dropped: ", (withVersion ? versioned + ", " : ""), why);
        };

        JavaVersion version;
        const char* source = "";
        const auto release = readReleaseVersion(files, folder);
        if (release && version.parse(*release, 0)) {
            source = "from the release file";
        } else if (entry.needsReleaseFile) {
            drop(release ? "its release file's JAVA_VERSION \"" + toUtf8(*release) + "\" is no version"
                         : "no JAVA_VERSION in a release file, not a runtime",
                 false);
            return;
        } else if (entry.nameVersion) {
            version = *entry.nameVersion;
            source = release ? "from the key name (the release file's JAVA_VERSION is no version)"
                             : "from the key name (no release file)";
        } else {
            version = JavaVersion();
            source = "unknown (no release file)";
        }
        if (tracing) versioned = "version " + versionText(version) + " " + std::string(source);

        const bool kit = entry.developmentKit ? *entry.developmentKit
                                              : fileExists(files, folder + WideString(kCompiler));
        const RootRule rule =
            ruleForRoot(kit ? RegistryRoot::JavaSoftJdk : RegistryRoot::JavaSoftJre, rules_.policy);
        if (!rule.searched) return drop(rule.skipReason, false);
        if (JavaVersion::compare(version, rules_.upper) > 0) return drop("above the maximum version", true);
        if (JavaVersion::compare(version, rules_.lower) < 0) return drop("below the minimum version", true);

        // As in the legacy runtime-environment root, a runtime environment
        // ranks by its client library even under favor_server.
        const JvmType lookupType = !kit && rules_.type == JvmType::FavorServer ? JvmType::Default : rules_.type;
        bool isServer = false;
        WideString home = folder;
        WideString library = findJvmLibrary(files, home, lookupType, isServer);
        if (library.empty()) {
            home = folder + WideString(kKitRuntimeFolder) + kPathSeparator;
            library = findJvmLibrary(files, home, lookupType, isServer);
            if (library.empty()) return drop("no JVM library in it or its jre folder", true);
        }
        if (const LibraryMachine machine = readLibraryMachine(files, library); !fitsLauncher(machine)) {
            return drop(toUtf8(library) + " is a " + toUtf8(describeMachine(machine)) + " library", true);
        }
        for (std::size_t i = 0; i < found_.candidates.size(); ++i) {
            if (sameFolder(found_.candidates[i].home, home)) {
                return drop("the same folder as " + found_.labels[i], true);
            }
        }
        found_.candidates.push_back({version, home, isServer, rule.favoured});
        found_.labels.push_back(entry.label);
        if (tracing) {
            trace_.line("  ", where, " ", versioned, ", kept: ", describeCandidate(found_.candidates.back()));
        }
    }

    Platform& platform() { return platform_; }
    Trace& trace() { return trace_; }
    const CurrentSearchRules& rules() const { return rules_; }

private:
    Platform& platform_;
    Trace& trace_;
    const CurrentSearchRules& rules_;
    CurrentFindings& found_;
};

std::string keyName(const CurrentRegistration& r) {
    return toUtf8(registryHiveName(r.hive)) + "\\" + toUtf8(r.key);
}

void searchRegistration(Collector& collector, const CurrentRegistration& r) {
    Trace& trace = collector.trace();
    RuntimeRegistry& registry = collector.platform().runtimes;
    const std::string name = trace.enabled() ? keyName(r) : std::string();
    if (r.kind != RegisteredKind::ByZuluName) {
        const RootRule rule = ruleForRoot(r.kind == kJdk ? RegistryRoot::JavaSoftJdk : RegistryRoot::JavaSoftJre,
                                          collector.rules().policy);
        if (!rule.searched) {
            if (trace.enabled()) trace.line("key ", name, " skipped: ", rule.skipReason);
            return;
        }
    }
    const auto subkeys = registry.listKeys(r.hive, WideString(r.key), trace);
    if (!subkeys) {
        if (trace.enabled()) trace.line("key ", name, " cannot be opened");
        return;
    }
    if (trace.enabled()) trace.line("key ", name, " has ", subkeys->size(), " subkeys");
    for (const WideString& subkey : *subkeys) {
        const std::string label = trace.enabled() ? "subkey \"" + toUtf8(subkey) + "\"" : std::string();
        bool zuluJre = false;
        const auto nameVersion = versionFromKeyName(subkey, r.kind, zuluJre);
        if (!nameVersion) {
            if (trace.enabled()) trace.line("  ", label, " dropped: not a version key name");
            continue;
        }
        WideString path = WideString(r.key) + u"\\" + subkey;
        if (!r.below.empty()) path += u"\\" + WideString(r.below);
        const DecodedRegistryText folder = decodeRegistryText(registry.readValue(r.hive, path, r.valueName), r.valueName);
        if (!folder.text) {
            if (trace.enabled()) trace.line("  ", label, " dropped: ", folder.problem);
            continue;
        }
        Entry entry;
        entry.shown = label;
        entry.label = trace.enabled() ? name + "\\" + toUtf8(subkey) : std::string();
        entry.folder = *folder.text;
        entry.nameVersion = nameVersion;
        entry.developmentKit = r.kind == RegisteredKind::ByZuluName ? !zuluJre : r.kind == kJdk;
        collector.consider(std::move(entry));
    }
}

}  // namespace

const std::vector<CurrentRegistration>& currentRegistrations() {
    // Kits before runtime environments within each vendor, as in the legacy
    // JavaSoft roots; per-user installs right after the per-machine ones.
    static const std::vector<CurrentRegistration> registrations = {
        {kMachine, u"Software\\JavaSoft\\JDK", u"", u"JavaHome", kJdk},
        {kMachine, u"Software\\JavaSoft\\JRE", u"", u"JavaHome", kJre},
        {kMachine, u"Software\\Eclipse Adoptium\\JDK", u"hotspot\\MSI", u"Path", kJdk},
        {kUser, u"Software\\Eclipse Adoptium\\JDK", u"hotspot\\MSI", u"Path", kJdk},
        {kMachine, u"Software\\Eclipse Adoptium\\JRE", u"hotspot\\MSI", u"Path", kJre},
        {kUser, u"Software\\Eclipse Adoptium\\JRE", u"hotspot\\MSI", u"Path", kJre},
        {kMachine, u"Software\\AdoptOpenJDK\\JDK", u"hotspot\\MSI", u"Path", kJdk},
        {kUser, u"Software\\AdoptOpenJDK\\JDK", u"hotspot\\MSI", u"Path", kJdk},
        {kMachine, u"Software\\AdoptOpenJDK\\JRE", u"hotspot\\MSI", u"Path", kJre},
        {kUser, u"Software\\AdoptOpenJDK\\JRE", u"hotspot\\MSI", u"Path", kJre},
        {kMachine, u"Software\\Eclipse Foundation\\JDK", u"hotspot\\MSI", u"Path", kJdk},
        {kUser, u"Software\\Eclipse Foundation\\JDK", u"hotspot\\MSI", u"Path", kJdk},
        {kMachine, u"Software\\Eclipse Foundation\\JRE", u"hotspot\\MSI", u"Path", kJre},
        {kUser, u"Software\\Eclipse Foundation\\JRE", u"hotspot\\MSI", u"Path", kJre},
        {kMachine, u"Software\\Semeru\\JDK", u"openj9\\MSI", u"Path", kJdk},
        {kMachine, u"Software\\Semeru\\JRE", u"openj9\\MSI", u"Path", kJre},
        {kMachine, u"Software\\Microsoft\\JDK", u"hotspot\\MSI", u"Path", kJdk},
        {kMachine, u"Software\\Azul Systems\\Zulu", u"", u"InstallationPath", RegisteredKind::ByZuluName},
        {kMachine, u"Software\\SapMachine\\JDK", u"", u"JavaHome", kJdk},
        {kMachine, u"Software\\SapMachine\\JRE", u"", u"JavaHome", kJre},
    };
    return registrations;
}

std::optional<JavaVersion> versionFromKeyName(WideView name, RegisteredKind kind, bool& zuluRuntimeEnvironment) {
    zuluRuntimeEnvironment = false;
    WideView number = name;
    if (kind == RegisteredKind::ByZuluName) {
        constexpr WideView kPrefix = u"zulu-";
        constexpr WideView kJreSuffix = u"-jre";
        if (number.size() <= kPrefix.size() || !equalsIgnoringAsciiCase(number.substr(0, kPrefix.size()), kPrefix)) {
            return std::nullopt;
        }
        number.remove_prefix(kPrefix.size());
        if (number.size() > kJreSuffix.size() &&
            equalsIgnoringAsciiCase(number.substr(number.size() - kJreSuffix.size()), kJreSuffix)) {
            zuluRuntimeEnvironment = true;
            number.remove_suffix(kJreSuffix.size());
        }
        for (const char16_t c : number) {
            if (!isDigit(c)) return std::nullopt;
        }
    } else {
        if (number.empty() || !isDigit(number.front())) return std::nullopt;
        for (const char16_t c : number) {
            if (!isDigit(c) && c != u'.' && c != u'_' && c != u'-' && c != u'+') return std::nullopt;
        }
    }
    JavaVersion version;
    if (!version.parse(number, 0)) return std::nullopt;
    return version;
}

bool matchesNamePattern(WideView name, WideView pattern) {
    if (!name.empty() && name.front() == u'.' && (pattern.empty() || pattern.front() != u'.')) return false;
    // Greedy match with backtracking to the last '*'.
    std::size_t n = 0, p = 0, starP = WideView::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == u'*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && pattern[p] == name[n]) {
            ++p;
            ++n;
        } else if (starP != WideView::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*') ++p;
    return p == pattern.size();
}

WideList defaultCurrentRuntimeFolders(const std::optional<WideString>& home) {
    WideList patterns;
    if (home && !home->empty()) {
        WideString base = *home;
        while (base.size() > 1 && base.back() == u'/') base.pop_back();
        patterns.push_back(base + u"/.sdkman/candidates/java/*");
        patterns.push_back(base + u"/.jdks/*");
    }
    patterns.push_back(u"/opt/java/*");
    patterns.push_back(u"/opt/*jdk*");
    return patterns;
}

void searchCurrentRegistrations(Platform& platform, Trace& trace, const CurrentSearchRules& rules,
                                const std::vector<CurrentRegistration>& registrations, CurrentFindings& found) {
    Collector collector(platform, trace, rules, found);
    for (const CurrentRegistration& registration : registrations) searchRegistration(collector, registration);
}

void searchJavaHome(Platform& platform, Trace& trace, const CurrentSearchRules& rules, CurrentFindings& found) {
    const auto value = platform.environment.get(u"JAVA_HOME");
    if (!value || value->empty()) {
        if (trace.enabled()) trace.line("JAVA_HOME is not set, skipped");
        return;
    }
    // The environment is outside input like the registry: a cut path would
    // name another folder.
    if (value->size() > kMaxJavaHomeLength) {
        if (trace.enabled()) trace.line("JAVA_HOME is longer than a path can be, skipped");
        return;
    }
    if (trace.enabled()) trace.line("JAVA_HOME = \"", *value, "\"");
    Collector collector(platform, trace, rules, found);
    Entry entry;
    entry.shown = entry.label = "JAVA_HOME";
    entry.folder = *value;
    collector.consider(std::move(entry));
}

void searchCurrentFolders(Platform& platform, Trace& trace, const CurrentSearchRules& rules, const WideList& patterns,
                          CurrentFindings& found) {
    Collector collector(platform, trace, rules, found);
    for (const WideString& pattern : patterns) {
        const std::size_t slash = pattern.rfind(u'/');
        if (slash == WideString::npos || slash + 1 == pattern.size()) {
            if (trace.enabled()) trace.line("folder pattern \"", pattern, "\" skipped: no folder and name pattern");
            continue;
        }
        const WideString folder = slash == 0 ? WideString(u"/") : pattern.substr(0, slash);
        const WideView namePattern = WideView(pattern).substr(slash + 1);
        const auto names = platform.runtimes.listFolder(folder, trace);
        if (!names) {
            if (trace.enabled()) trace.line("folder ", folder, " skipped: it cannot be read");
            continue;
        }
        std::size_t matching = 0;
        for (const WideString& name : *names) matching += matchesNamePattern(name, namePattern) ? 1 : 0;
        if (trace.enabled()) {
            trace.line("folder ", folder, " opened, ", matching, " of ", names->size(), " entries match \"",
                       namePattern, "\"");
        }
        for (const WideString& name : *names) {
            if (!matchesNamePattern(name, namePattern)) continue;
            Entry entry;
            entry.folder = (folder == u"/" ? folder : folder + u"/") + name;
            entry.label = toUtf8(entry.folder);
            entry.needsReleaseFile = true;
            collector.consider(std::move(entry));
        }
    }
}

std::vector<JreCandidate> searchCurrentRuntimes(Platform& platform, Trace& trace, const CurrentSearchRules& rules) {
    CurrentFindings found;
    if (trace.enabled()) {
        trace.line("searching current runtimes between ", versionText(rules.lower), " and ", versionText(rules.upper));
    }
#ifdef _WIN32
    searchCurrentRegistrations(platform, trace, rules, currentRegistrations(), found);
    searchJavaHome(platform, trace, rules, found);
#else
    searchJavaHome(platform, trace, rules, found);
    Environment& environment = platform.environment;
    WideList patterns;
    if (const auto listed = environment.get(kCurrentRuntimeFoldersVariable)) {
        if (trace.enabled()) trace.line("current runtime folders from CORVID_CURRENT_RUNTIMES: \"", *listed, "\"");
        for (WideString& entry : splitAtSeparator(*listed, u":")) {
            if (!entry.empty()) patterns.push_back(std::move(entry));
        }
    } else if (environment.get(kRuntimeFoldersVariable)) {
        if (trace.enabled()) {
            trace.line("CORVID_RUNTIMES is set and CORVID_CURRENT_RUNTIMES is not: no current runtime folders");
        }
    } else {
        patterns = defaultCurrentRuntimeFolders(environment.get(u"HOME"));
    }
    searchCurrentFolders(platform, trace, rules, patterns, found);
#endif
    return std::move(found.candidates);
}

bool currentRuntimeSearchEnabled(WideView switchText) { return !equalsIgnoringAsciiCase(switchText, u"No"); }

std::vector<JreCandidate> searchCurrentRuntimesFor(Launcher& launcher) {
    Trace& trace = launcher.trace;
    WideString switchText;
    // The configuration was read moments ago, so its path can be formed; a
    // failure now would already have been reported, so it is not shown again.
    const ModulePath module = launcher.platform.process.modulePath();
    if (const auto file = module.ok ? configFilePathFor(module.path) : std::nullopt) {
        switchText = readConfigValue(launcher.platform, *file, u"Java Runtime Environment", u"Search Current Runtimes");
    }
    if (trace.enabled()) {
        trace.line("[Java Runtime Environment] Search Current Runtimes = \"", switchText, "\"");
    }
    if (!currentRuntimeSearchEnabled(switchText)) {
        if (trace.enabled()) trace.line("current runtimes not searched: switched off");
        return {};
    }
    const CurrentSearchRules rules{launcher.minVersion, launcher.maxVersion, launcher.policy, launcher.jvmType};
    return searchCurrentRuntimes(launcher.platform, trace, rules);
}

}  // namespace corvid
