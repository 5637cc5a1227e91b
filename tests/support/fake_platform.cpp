#include "support/fake_platform.h"

#include "config/ini_file.h"
#include "runtime/runtime_search.h"
#include "start/messages.h"

namespace corvid::testing {

WideString nativePath(WideView path) {
    WideString out(path);
    for (char16_t& c : out) {
        if (c == u'/') c = kPathSeparator;
    }
    return out;
}

std::optional<FileFacts> FakeFileSystem::facts(const WideString& path) {
    if (existing.count(path)) return FileFacts{true, 0, 0};
    if (const auto found = contents.find(path); found != contents.end()) {
        return FileFacts{false, found->second.size(), modifiedAt.count(path) ? modifiedAt[path] : 0};
    }
    if (const auto found = known.find(path); found != known.end()) return found->second;
    return std::nullopt;
}

std::optional<WideString> FakeFileSystem::realPath(const WideString& path) {
    if (const auto found = realPaths.find(path); found != realPaths.end()) return found->second;
    if (existing.count(path) || isFile(path)) return path;
    return std::nullopt;
}

bool FakeFileSystem::writeFile(const WideString& path, const std::string& bytes) {
    if (!writable || locked.count(path)) return false;
    contents[path] = bytes;
    modifiedAt[path] = ++clock;
    return true;
}

bool FakeFileSystem::rename(const WideString& from, const WideString& to) {
    if (!writable || locked.count(from) || locked.count(to) || !contents.count(from)) return false;
    contents[to] = contents[from];
    modifiedAt[to] = modifiedAt[from];
    contents.erase(from);
    return true;
}

bool FakeFileSystem::remove(const WideString& path) {
    if (locked.count(path)) return false;
    return contents.erase(path) + known.erase(path) > 0;
}

std::optional<std::vector<WideString>> FakeFileSystem::list(const WideString& folder) {
    if (!existing.count(folder)) return std::nullopt;
    std::vector<WideString> names;
    const auto add = [&](const WideString& path) {
        if (path.size() > folder.size() + 1 && path.compare(0, folder.size(), folder) == 0 &&
            path[folder.size()] == kPathSeparator && path.find(kPathSeparator, folder.size() + 1) == WideString::npos) {
            names.push_back(path.substr(folder.size() + 1));
        }
    };
    for (const auto& entry : contents) add(entry.first);
    for (const auto& entry : known) add(entry.first);
    for (const auto& entry : existing) add(entry);
    return names;
}

namespace {

WideString upper(WideView text) {
    WideString out(text);
    for (char16_t& c : out) {
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
    }
    return out;
}

}  // namespace

std::optional<WideString> FakeEnvironment::get(const WideString& name) {
    for (const auto& [key, value] : variables) {
        if (upper(key) == upper(name)) return value;
    }
    return std::nullopt;
}

bool FakeEnvironment::set(const WideString& name, const WideString& value) {
    for (auto& [key, existing] : variables) {
        if (upper(key) == upper(name)) {
            existing = value;
            return true;
        }
    }
    variables[name] = value;
    return true;
}

bool FakeEnvironment::remove(const WideString& name) {
    for (auto it = variables.begin(); it != variables.end(); ++it) {
        if (upper(it->first) == upper(name)) {
            variables.erase(it);
            return true;
        }
    }
    return true;
}

std::optional<WideString> FakeEnvironment::expand(const WideString& text) {
    return expandPercentReferences(text, [this](const WideString& name) { return get(name); });
}

WideString FakeProfileStore::read(const WideString& file, const WideString& section, const WideString& key,
                                  std::size_t capacity) {
    readCapacities.push_back(capacity);
    const auto found = files.find(file);
    if (found == files.end()) return {};
    WideString value = findIniValue(found->second, section, key).value_or(WideString());
    if (value.size() > capacity - 1) value.resize(capacity - 1);
    return value;
}

bool FakeProfileStore::write(const WideString& file, const WideString& section, const WideString& key,
                             const WideString& value) {
    files[file] = setIniValue(files[file], section, key, value);
    return true;
}

WideString FakeUserInterface::loadString(std::uint16_t table, std::uint16_t id) {
    return WideString(builtInMessageText(table, id));
}

// A subkey's key is its name, made unique with "#<position>" when the name
// occurs more than once.
WideString FakeRuntimeRegistry::keyOf(const std::vector<Entry>& entries, std::size_t i) {
    std::size_t same = 0;
    for (const Entry& entry : entries) same += entry.name == entries[i].name ? 1 : 0;
    return same == 1 ? entries[i].name : entries[i].name + u"#" + fromAscii(std::to_string(i));
}

std::optional<std::vector<RegistrySubkey>> FakeRuntimeRegistry::listSubkeys(RegistryRoot root, Trace&) {
    listed.push_back(root);
    const auto found = roots.find(root);
    if (found == roots.end()) return std::nullopt;
    std::vector<RegistrySubkey> subkeys;
    for (std::size_t i = 0; i < found->second.size(); ++i) {
        subkeys.push_back({found->second[i].name, keyOf(found->second, i)});
    }
    return subkeys;
}

JavaHomeValue FakeRuntimeRegistry::readJavaHome(RegistryRoot root, const RegistrySubkey& subkey) {
    const std::vector<Entry>& entries = roots.at(root);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (keyOf(entries, i) != subkey.key) continue;
        javaHomeReads.push_back(entries[i].name);
        return entries[i].javaHome;
    }
    return {};
}

namespace {

// Registry paths compare without regard to case, as the registry's do.
bool isKeyOrBelow(const WideString& path, const WideString& key) {
    if (path.size() < key.size() || !equalsIgnoringAsciiCase(WideView(path).substr(0, key.size()), key)) return false;
    return path.size() == key.size() || path[key.size()] == u'\\';
}

}  // namespace

std::optional<WideList> FakeRuntimeRegistry::listKeys(RegistryHive hive, const WideString& path, Trace&) {
    bool exists = false;
    WideList names;
    for (const Value& v : values) {
        if (v.hive != hive || !isKeyOrBelow(v.path, path)) continue;
        exists = true;
        if (v.path.size() == path.size()) continue;
        const WideString rest = v.path.substr(path.size() + 1);
        const WideString name = rest.substr(0, rest.find(u'\\'));
        bool seen = false;
        for (const WideString& n : names) seen = seen || equalsIgnoringAsciiCase(n, name);
        if (!seen) names.push_back(name);
    }
    if (!exists) return std::nullopt;
    return names;
}

RegistryValue FakeRuntimeRegistry::readValue(RegistryHive hive, const WideString& path, WideView valueName) {
    valuesRead.push_back(path + u"|" + WideString(valueName));
    bool keyExists = false;
    for (const Value& v : values) {
        if (v.hive != hive || !isKeyOrBelow(v.path, path)) continue;
        keyExists = true;
        if (v.path.size() == path.size() && !v.name.empty() && equalsIgnoringAsciiCase(v.name, valueName)) {
            return v.value;
        }
    }
    RegistryValue missing;
    missing.status = keyExists ? RegistryValue::Status::Missing : RegistryValue::Status::SubkeyNotOpened;
    return missing;
}

std::optional<WideList> FakeRuntimeRegistry::listFolder(const WideString& folder, Trace&) {
    const auto found = folders.find(folder);
    if (found == folders.end()) return std::nullopt;
    return found->second;
}

RuntimePromptResult FakeRuntimePrompt::ask(const WideString& message, const WideString& downloadUrl, JvmType type,
                                           FileSystem& files) {
    questions.push_back({message, downloadUrl, type});
    RuntimePromptResult result;
    result.outcome = answer;
    if (answer == RuntimePromptResult::Outcome::Chosen) {
        result.folder = folder;
        result.library = findJvmLibrary(files, folder, type);
    }
    return result;
}

}  // namespace corvid::testing
