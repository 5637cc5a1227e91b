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
#include "platform/trace.h"
#include "runtime/runtime_prompt.h"
#include "runtime/runtime_registry.h"
#include "start/user_interface.h"

namespace corvid::testing {

// "/" replaced by the platform's path separator.
WideString nativePath(WideView path);

// A trace that collects its lines in a string, one line each.
class CollectingOutput final : public TraceOutput {
public:
    explicit CollectingOutput(std::string& text) : text_(text) {}
    void write(std::string_view line) override { (text_ += line) += '\n'; }

private:
    std::string& text_;
};

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
    WideList appUserModelIds;
    bool setAppUserModelId(const WideString& id) override {
        appUserModelIds.push_back(id);
        return true;
    }
    std::uint32_t lastError() override { return error; }
    // Relative paths are taken from this folder (it ends with a separator).
    WideString currentDirectory = nativePath(u"C:/Users/Ada/Documents/");
    WideString absolutePath(const WideString& path) override {
        const bool relative = !path.empty() && path.front() != u'/' && path.front() != u'\\' &&
                              path.find(u':') == WideString::npos;
        return relative ? currentDirectory + path : path;
    }

    std::uint32_t pid = 4242;
    std::set<std::uint32_t> alive;
    // The fake environment's variables (FakePlatform links them); the
    // children's environment is what they were when kept, else as they are.
    using Variables = std::map<WideString, WideString>;
    const Variables* variables = nullptr;
    std::optional<Variables> keptEnvironment;
    void keepEnvironmentForChildren() override { keptEnvironment = *variables; }
    Variables childEnvironment() const { return keptEnvironment ? *keptEnvironment : *variables; }
    struct Detached {
        WideString path, name, value;
        Variables environment;  // without name=value
    };
    std::vector<Detached> detached;
    bool detachFails = false;
    std::uint32_t processId() override { return pid; }
    bool processAlive(std::uint32_t id) override { return alive.count(id) != 0; }
    bool startDetached(const WideString& path, const WideString& name, const WideString& value) override {
        if (detachFails) return false;
        detached.push_back({path, name, value, childEnvironment()});
        return true;
    }
    struct Again {
        WideString path;
        ProcessArguments arguments;
        WideString name, value;
        Variables environment;  // without name=value
    };
    std::vector<Again> startedAgain;
    bool startAgainFails = false;
    bool startAgain(const WideString& path, const ProcessArguments& arguments, const WideString& name,
                    const WideString& value) override {
        if (startAgainFails) return false;
        startedAgain.push_back({path, arguments, name, value, childEnvironment()});
        return true;
    }
    // The processes waited for; those in `alive` never end.
    std::vector<std::uint32_t> waitedFor;
    bool waitForEnd(std::uint32_t id, std::uint32_t) override {
        waitedFor.push_back(id);
        return alive.count(id) == 0;
    }
};

// Files with contents live in `contents` (readFile sees them), folders in
// `existing`; files that matter only by their facts (libraries, jars) in `known`.
class FakeFileSystem final : public FileSystem {
public:
    std::set<WideString> existing;
    std::vector<WideString> createdDirectories;
    std::vector<WideString> lookups;
    std::map<WideString, std::string> contents;
    std::map<WideString, FileFacts> known;
    std::map<WideString, std::int64_t> modifiedAt;  // of files with contents
    std::map<WideString, WideString> realPaths;     // links; other paths are their own
    std::set<WideString> locked;                    // cannot be removed or replaced
    bool writable = true;
    std::uint64_t free = 1ull << 40;
    std::int64_t clock = 1000000;
    std::optional<WideString> cwd = nativePath(u"C:/Work");

    bool isFile(const WideString& path) const { return contents.count(path) || known.count(path); }

    // The profile store's files, which exist for findFirst as well.
    const std::map<WideString, WideString>* profileFiles = nullptr;

    bool findFirst(const WideString& path) override {
        lookups.push_back(path);
        return existing.count(path) != 0 || contents.count(path) != 0 ||
               (profileFiles != nullptr && profileFiles->count(path) != 0);
    }
    bool createDirectory(const WideString& path) override {
        createdDirectories.push_back(path);
        return existing.insert(path).second;
    }
    std::optional<std::string> readFile(const WideString& path, std::size_t limit) override {
        const auto found = contents.find(path);
        if (found == contents.end()) return std::nullopt;
        return found->second.substr(0, limit);
    }
    std::optional<FileFacts> facts(const WideString& path) override;
    std::optional<WideString> realPath(const WideString& path) override;
    std::optional<WideString> currentDirectory() override { return cwd; }
    bool writeFile(const WideString& path, const std::string& bytes) override;
    // Its only user, the main-class check, needs a JVM, which unit tests lack.
    std::unique_ptr<ScratchFile> createScratchFile() override { return nullptr; }
    bool rename(const WideString& from, const WideString& to) override;
    bool remove(const WideString& path) override;
    std::optional<std::vector<WideString>> list(const WideString& folder) override;
    std::optional<std::uint64_t> freeSpace(const WideString&) override { return free; }
    std::int64_t now() override { return clock; }
    std::int64_t second() override { return 1; }
};

// Windows semantics: names match without regard to case.
class FakeEnvironment final : public Environment {
public:
    std::map<WideString, WideString> variables;

    std::optional<WideString> get(const WideString& name) override;
    bool set(const WideString& name, const WideString& value) override;
    bool remove(const WideString& name) override;
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
    // Short names are the system's: the Windows tests need real ones.
    Platform platform{process, files, environment, profiles, ui, runtimes,
                      libraries, threads, memory, runtimePrompt, systemShortPaths()};

    FakePlatform() {
        files.profileFiles = &profiles.files;
        process.variables = &environment.variables;
    }
};

}  // namespace corvid::testing
