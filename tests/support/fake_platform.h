// In-memory stand-ins for the operating system, for unit tests of the
// portable logic. Paths use the platform's separator; write them with "/"
// and pass them through nativePath().
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "config/profile_store.h"
#include "platform/platform.h"
#include "runtime/runtime_prompt.h"
#include "runtime/runtime_registry.h"
#include "start/user_interface.h"

namespace corvid::testing {

// "/" replaced by the platform's path separator.
WideString nativePath(WideView path);

class FakeProcess final : public Process {
public:
    ModulePath module{true, nativePath(u"C:/Apps/Tool/tool.exe"), 0};
    bool nt = true;
    std::vector<WideString> directoryChanges;
    bool directoryChangeSucceeds = true;
    std::uint32_t error = 0;

    ModulePath modulePath() override { return module; }
    bool isNtPlatform() override { return nt; }
    bool setCurrentDirectory(const WideString& folder) override {
        directoryChanges.push_back(folder);
        return directoryChangeSucceeds;
    }
    std::uint32_t lastError() override { return error; }
};

class FakeFileSystem final : public FileSystem {
public:
    std::set<WideString> existing;
    std::vector<WideString> createdDirectories;
    std::vector<WideString> lookups;

    bool findFirst(const WideString& path) override {
        lookups.push_back(path);
        return existing.count(path) != 0 || contents.count(path) != 0;
    }
    bool createDirectory(const WideString& path) override {
        createdDirectories.push_back(path);
        return existing.insert(path).second;
    }
    // Files with contents; a path here counts as existing for findFirst too.
    std::map<WideString, std::string> contents;
    std::optional<std::string> readFile(const WideString& path, std::size_t limit) override {
        const auto found = contents.find(path);
        if (found == contents.end()) return std::nullopt;
        return found->second.substr(0, limit);
    }
    // Folders and their entries, as listFolder reports them.
    std::map<WideString, std::vector<FolderEntry>> folders;
    std::optional<std::vector<FolderEntry>> listFolder(const WideString& folder) override {
        const auto found = folders.find(folder);
        if (found == folders.end()) return std::nullopt;
        return found->second;
    }
};

// Windows semantics: names match without regard to case.
class FakeEnvironment final : public Environment {
public:
    std::map<WideString, WideString> variables;

    std::optional<WideString> get(const WideString& name) override;
    bool set(const WideString& name, const WideString& value) override;
    std::optional<WideString> expand(const WideString& text) override;
};

// Files as text; reads follow the private-profile rules.
class FakeProfileStore final : public ProfileStore {
public:
    std::map<WideString, WideString> files;
    std::vector<std::size_t> readCapacities;

    WideString read(const WideString& file, const WideString& section, const WideString& key,
                    std::size_t capacity) override;
    bool write(const WideString& file, const WideString& section, const WideString& key,
               const WideString& value) override;
};

class FakeUserInterface final : public UserInterface {
public:
    struct Box {
        WindowHandle owner;
        WideString text;
    };
    std::vector<Box> boxes;
    std::uint16_t language = 0x0409;

    int showMessageBox(WindowHandle owner, const WideString& text) override {
        boxes.push_back({owner, text});
        return 1;
    }
    std::uint16_t threadLanguage() override { return language; }
    WideString loadString(std::uint16_t table, std::uint16_t id) override;
};

// Registry roots as lists of subkeys; a root that is absent cannot be opened.
// Equal names get distinct keys, as runtime folders do.
class FakeRuntimeRegistry final : public RuntimeRegistry {
public:
    struct Entry {
        WideString name;
        JavaHomeValue javaHome;
    };
    std::map<RegistryRoot, std::vector<Entry>> roots;
    std::vector<RegistryRoot> listed;
    std::vector<WideString> javaHomeReads;  // names whose JavaHome was read

    // A subkey whose JavaHome is a well-formed string.
    void add(RegistryRoot root, WideView name, WideView javaHome) {
        roots[root].push_back({WideString(name), JavaHomeValue::fromText(javaHome)});
    }
    std::optional<std::vector<RegistrySubkey>> listSubkeys(RegistryRoot root, Trace& trace) override;
    JavaHomeValue readJavaHome(RegistryRoot root, const RegistrySubkey& subkey) override;

    // Keys under the two hives as paths, each with its values; a key exists
    // when it or a key below it was set. Subkeys enumerate in the order set.
    struct Value {
        RegistryHive hive;
        WideString path;  // backslash-separated, without a trailing backslash
        WideString name;  // empty: the key only
        RegistryValue value;
    };
    std::vector<Value> values;
    // Folder entries for listFolder, by folder.
    std::map<WideString, WideList> folders;
    std::vector<WideString> valuesRead;  // "path|name" of every readValue

    void setValue(RegistryHive hive, WideView path, WideView name, WideView text) {
        values.push_back({hive, WideString(path), WideString(name), RegistryValue::fromText(text)});
    }
    std::optional<WideList> listKeys(RegistryHive hive, const WideString& path, Trace& trace) override;
    RegistryValue readValue(RegistryHive hive, const WideString& path, WideView valueName) override;
    std::optional<WideList> listFolder(const WideString& folder, Trace& trace) override;

private:
    static WideString keyOf(const std::vector<Entry>& entries, std::size_t i);
};

// Libraries by path, each with the exports it has; records what was asked.
class FakeLibraries final : public Libraries {
public:
    struct Library {
        std::map<std::string, LibrarySymbol> exports;
    };
    std::map<WideString, Library> libraries;
    std::uint32_t loadError = 126;
    std::uint32_t resolveError = 127;
    std::vector<WideString> loaded;
    std::vector<std::string> resolved;

    LoadedLibrary load(const WideString& path) override {
        loaded.push_back(path);
        const auto found = libraries.find(path);
        if (found == libraries.end()) return {nullptr, loadError, {}};
        return {&found->second, 0, {}};
    }
    ResolvedSymbol resolve(LibraryHandle library, const char* name) override {
        resolved.emplace_back(name);
        const auto& exports = static_cast<Library*>(library)->exports;
        const auto found = exports.find(name);
        if (found == exports.end()) return {nullptr, resolveError, {}};
        return {found->second, 0, {}};
    }
};

// Runs the body at once on the calling thread and records the stack size.
class FakeThreads final : public Threads {
public:
    bool creationFails = false;
    std::vector<std::uint64_t> stackSizes;

    std::optional<std::uint32_t> runAndWait(std::uint64_t stackSize, ThreadBody body, void* argument) override {
        stackSizes.push_back(stackSize);
        if (creationFails) return std::nullopt;
        return body(argument);
    }
};

class FakeMemory final : public Memory {
public:
    MemoryStatus memory{8ull << 30, 128ull << 40};
    int queries = 0;
    MemoryStatus status() override {
        ++queries;
        return memory;
    }
};

// Answers the runtime-not-found dialog with `answer` and records what it was
// asked; a chosen folder's library is looked up in the given file system, as
// the dialog does.
class FakeRuntimePrompt final : public RuntimePrompt {
public:
    struct Question {
        WideString message;
        WideString downloadUrl;
        JvmType type;
    };
    std::vector<Question> questions;
    RuntimePromptResult::Outcome answer = RuntimePromptResult::Outcome::Cancelled;
    WideString folder;  // picked when the answer is Chosen

    RuntimePromptResult ask(const WideString& message, const WideString& downloadUrl, JvmType type,
                            FileSystem& files) override;
};

struct FakePlatform {
    FakeProcess process;
    FakeFileSystem files;
    FakeEnvironment environment;
    FakeProfileStore profiles;
    FakeUserInterface ui;
    FakeRuntimeRegistry runtimes;
    FakeLibraries libraries;
    FakeThreads threads;
    FakeMemory memory;
    FakeRuntimePrompt runtimePrompt;
    Platform platform{process, files, environment, profiles, ui, runtimes, libraries, threads, memory, runtimePrompt};
};

}  // namespace corvid::testing
