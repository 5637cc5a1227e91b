// The key: every fact an archive is valid for, and its hash, which names the
// archive's files; and what of the class path keeps the JVM from writing one.
#include "cache/cache_key.h"

#include <algorithm>

#include "cache/cache_support.h"
#include "runtime/runtime_search.h"
#include "start/launcher.h"

namespace corvid {

namespace {

constexpr std::string_view kClassPathOption = "-Djava.class.path=";
constexpr std::string_view kJavaCommandOption = "-Dsun.java.command=";

bool isAbsolute(WideView path) {
#ifdef _WIN32
    return (path.size() >= 2 && path[1] == u':') || startsWith(path, u"\\") || startsWith(path, u"/");
#else
    return startsWith(path, u"/");
#endif
}

std::string factsText(const FileFacts& facts) {
    if (facts.isFolder) return "folder";
    return std::to_string(facts.size) + " " + std::to_string(facts.modified);
}

// The class path entries of the options, made absolute, in order; nullopt
// when a relative one cannot be resolved.
std::optional<std::vector<WideString>> classPathEntries(const JvmOptionList& options, FileSystem& files) {
    std::vector<WideString> entries;
    std::optional<WideString> directory;
    for (const std::string& option : options) {
        if (!startsWith(option, kClassPathOption)) continue;
        const WideString classPath = fromNarrow(std::string_view(option).substr(kClassPathOption.size()));
        std::size_t position = 0;
        while (position <= classPath.size()) {
            std::size_t end = classPath.find(kSearchPathSeparator, position);
            if (end == WideString::npos) end = classPath.size();
            WideString entry = classPath.substr(position, end - position);
            position = end + 1;
            if (entry.empty()) continue;
            if (!isAbsolute(entry)) {
                if (!directory) directory = files.currentDirectory();
                if (!directory) return std::nullopt;
                entry = joinPath(*directory, entry);
            }
            entries.push_back(std::move(entry));
        }
    }
    return entries;
}

bool isWildcard(WideView entry) {
    return endsWith(entry, u"*") && entry.size() >= 2 && isPathSeparator(entry[entry.size() - 2]);
}

}  // namespace

std::optional<WideString> archiveRefusal(Launcher& launcher, FileSystem& files) {
    const auto entries = classPathEntries(launcher.jvmOptions, files);
    if (!entries) return std::nullopt;
    for (const WideString& entry : *entries) {
        const auto facts = files.facts(entry);
        if (!facts || !facts->isFolder) continue;
        const auto names = files.list(entry);
        if (!names || !names->empty()) return u"the class path folder " + entry + u" is not empty (the JVM archives no folder)";
    }
    return std::nullopt;
}

std::string keyHash(std::string_view key) {
    std::uint64_t hash = 0xcbf29ce484222325ull;  // FNV-1a
    for (const char c : key) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ull;
    }
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text(16, '0');
    for (int i = 15; i >= 0; --i, hash >>= 4) text[static_cast<std::size_t>(i)] = kDigits[hash & 15];
    return text;
}

std::optional<std::string> cacheKey(Launcher& launcher, FileSystem& files, const WideString& javaVersion) {
    const WideString home = runtimeHomeFolder(launcher.jvmLibraryPath);
    const auto realHome = files.realPath(home);
    const auto library = files.facts(launcher.jvmLibraryPath);
    if (!realHome || !library) return std::nullopt;
    std::string key = "runtime " + toUtf8(*realHome) + "\nversion " + toUtf8(javaVersion) + "\njvm " +
                      toUtf8(launcher.jvmLibraryPath) + " " + factsText(*library) + "\n";

    const auto entries = classPathEntries(launcher.jvmOptions, files);
    if (!entries) return std::nullopt;
    for (const WideString& entry : *entries) {
        key += "classpath " + toUtf8(entry);
        // dir/* stands for the jars in dir, as the JVM reads it.
        if (isWildcard(entry)) {
            const WideString dir = entry.substr(0, entry.size() - 2);
            auto names = files.list(dir).value_or(std::vector<WideString>());
            std::sort(names.begin(), names.end());
            key += " wildcard\n";
            for (const WideString& name : names) {
                if (!endsWith(name, u".jar") && !endsWith(name, u".JAR")) continue;
                const auto facts = files.facts(joinPath(dir, name));
                key += "classpath " + toUtf8(joinPath(dir, name)) + " " + (facts ? factsText(*facts) : "missing") + "\n";
            }
            continue;
        }
        const auto facts = files.facts(entry);
        key += " " + (facts ? factsText(*facts) : std::string("missing")) + "\n";
    }
    for (const std::string& option : launcher.jvmOptions) {
        // The program's name and arguments, which change from start to start
        // and do not shape the archive.
        if (startsWith(option, kJavaCommandOption)) continue;
        key += "option " + option + "\n";
    }
    return key;
}

}  // namespace corvid
