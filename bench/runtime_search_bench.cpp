// Figures for the registered-runtime search: search, sort and pick over an
// in-memory registry and file system, for growing numbers of runtimes; then
// the second stage over current registrations, each with a release file.
// Prints figures; it is never run as a test.
//
//   build/<dir>/tests/corvid_runtime_search_bench
#include <chrono>
#include <cstdio>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "config/config_keys.h"
#include "runtime/current_runtimes.h"
#include "runtime/runtime_selection.h"
#include "support/fake_platform.h"

namespace corvid {
namespace {

// Constant-time stand-ins, so the figures are the search's own.
class BenchRegistry final : public RuntimeRegistry {
public:
    std::vector<RegistrySubkey> jdks, jres;
    std::optional<std::vector<RegistrySubkey>> listSubkeys(RegistryRoot root, Trace&) override {
        if (root == RegistryRoot::JavaSoftJdk) return jdks;
        if (root == RegistryRoot::JavaSoftJre) return jres;
        return std::nullopt;
    }
    JavaHomeValue readJavaHome(RegistryRoot, const RegistrySubkey& subkey) override {
        return JavaHomeValue::fromText(subkey.key);
    }

    // The current registrations: key path to subkey names, value key path to folder.
    std::unordered_map<WideString, WideList> keys;
    std::unordered_map<WideString, RegistryValue> folders;
    std::optional<WideList> listKeys(RegistryHive hive, const WideString& path, Trace&) override {
        const auto found = keys.find(path);
        if (hive != RegistryHive::LocalMachine || found == keys.end()) return std::nullopt;
        return found->second;
    }
    RegistryValue readValue(RegistryHive, const WideString& path, WideView) override {
        const auto found = folders.find(path);
        if (found != folders.end()) return found->second;
        RegistryValue missing;
        missing.status = RegistryValue::Status::SubkeyNotOpened;
        return missing;
    }
};

class BenchFiles final : public FileSystem {
public:
    std::unordered_set<WideString> existing;
    bool findFirst(const WideString& path) override { return existing.count(path) != 0; }
    bool createDirectory(const WideString&) override { return false; }
    std::unordered_map<WideString, std::string> contents;
    std::optional<std::string> readFile(const WideString& path, std::size_t limit) override {
        const auto found = contents.find(path);
        if (found == contents.end()) return std::nullopt;
        return found->second.substr(0, limit);
    }
    // The runtime search needs none of the cache's file operations.
    std::optional<FileFacts> facts(const WideString&) override { return std::nullopt; }
    std::optional<WideString> realPath(const WideString&) override { return std::nullopt; }
    std::optional<WideString> currentDirectory() override { return std::nullopt; }
    bool writeFile(const WideString&, const std::string&) override { return false; }
    std::unique_ptr<ScratchFile> createScratchFile() override { return nullptr; }
    bool rename(const WideString&, const WideString&) override { return false; }
    bool remove(const WideString&) override { return false; }
    std::optional<std::vector<WideString>> list(const WideString&) override { return std::nullopt; }
    std::optional<std::uint64_t> freeSpace(const WideString&) override { return std::nullopt; }
    std::int64_t now() override { return 0; }
    std::int64_t second() override { return 1; }
};

#ifdef _WIN32
const WideString kLibrary = u"bin\\client\\jvm.dll";
#else
const WideString kLibrary = u"lib/client/libjvm.so";
#endif

struct Timing {
    double searchMicros, sortMicros, totalMicros;
};

Timing measure(int count) {
    testing::FakePlatform fake;
    BenchRegistry registry;
    BenchFiles files;
    Platform platform{fake.process, files, fake.environment, fake.profiles, fake.ui,
                      registry, fake.libraries, fake.threads, fake.memory, fake.runtimePrompt,
                      fake.platform.shortPaths};
    for (int i = 0; i < count; ++i) {
        // Ascending names, as the registry enumerates them: the sort's worst case.
        const WideString name = fromAscii("1." + std::to_string(6 + i / 100) + ".0_" + std::to_string(i % 100));
        const WideString home = fromAscii("/rt/" + std::to_string(i)) + kPathSeparator;
        (i % 2 ? registry.jres : registry.jdks).push_back({name, home});
        files.existing.insert(home + kLibrary);
        files.existing.insert(home + u"jre");
        files.existing.insert(home + u"jre" + kPathSeparator + kLibrary);
    }
    RuntimeSearchPolicy policy;
    applyJvmSource(u"", policy);
    applyVmProvider(u"", policy);
    const WideList preferred{u"1.5"};  // matches nothing: every candidate is compared
    Trace off;

    using Clock = std::chrono::steady_clock;
    Clock::duration search{}, sort{}, total{};
    int runs = 0;
    const auto until = Clock::now() + std::chrono::milliseconds(300);
    std::size_t sink = 0;
    do {
        const auto start = Clock::now();
        auto candidates = searchInstalledRuntimes(platform, off, JavaVersion::openLower(), JavaVersion::openUpper(),
                                                  policy, JvmType::Default);
        const auto searched = Clock::now();
        sortCandidates(candidates, JvmType::FavorServer, policy.favorSource);
        const auto sorted = Clock::now();
        const PreferredPick pick = pickPreferred(candidates, preferred);
        sink += findJvmLibrary(files, candidates[pick.candidate].home, JvmType::Default).size();
        const auto end = Clock::now();
        search += searched - start;
        sort += sorted - searched;
        total += end - start;
        ++runs;
    } while (Clock::now() < until || runs < 3);
    if (sink == 0) std::puts("no library found");
    const auto micros = [&](Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count() / runs; };
    return {micros(search), micros(sort), micros(total)};
}

// The second stage alone (the legacy roots empty), then sort and pick, over
// `count` registrations spread over five vendors' keys. Every runtime has a
// release file, as current runtimes do, so each costs one file read.
Timing measureCurrent(int count) {
    testing::FakePlatform fake;
    BenchRegistry registry;
    BenchFiles files;
    Platform platform{fake.process, files, fake.environment, fake.profiles, fake.ui,
                      registry, fake.libraries, fake.threads, fake.memory, fake.runtimePrompt,
                      fake.platform.shortPaths};
    struct Vendor {
        const char16_t* key;
        const char16_t* below;
    };
    const Vendor vendors[] = {{u"Software\\JavaSoft\\JDK", u""},
                              {u"Software\\Eclipse Adoptium\\JDK", u"\\hotspot\\MSI"},
                              {u"Software\\Microsoft\\JDK", u"\\hotspot\\MSI"},
                              {u"Software\\Semeru\\JDK", u"\\openj9\\MSI"},
                              {u"Software\\SapMachine\\JDK", u""}};
    for (int i = 0; i < count; ++i) {
        const Vendor& vendor = vendors[i % 5];
        const std::string version = std::to_string(11 + i / 10) + ".0." + std::to_string(i % 10);
        const WideString name = fromAscii(version + ".9");
        const WideString home = fromAscii("/current/" + std::to_string(i)) + kPathSeparator;
        registry.keys[vendor.key].push_back(name);
        registry.folders[WideString(vendor.key) + u"\\" + name + vendor.below] = JavaHomeValue::fromText(home);
        files.contents[home + u"release"] =
            "IMPLEMENTOR=\"bench\"\nJAVA_RUNTIME_VERSION=\"" + version + "+9\"\nJAVA_VERSION=\"" + version +
            "\"\nJAVA_VERSION_DATE=\"2024-01-16\"\nOS_ARCH=\"x86_64\"\nOS_NAME=\"Windows\"\n";
        files.existing.insert(home + kLibrary);
    }
    CurrentSearchRules rules{JavaVersion::openLower(), JavaVersion::openUpper(), {}, JvmType::Default};
    applyJvmSource(u"", rules.policy);
    applyVmProvider(u"", rules.policy);
    const WideList preferred{u"1.5"};
    Trace off;

    using Clock = std::chrono::steady_clock;
    Clock::duration search{}, sort{}, total{};
    int runs = 0;
    const auto until = Clock::now() + std::chrono::milliseconds(300);
    std::size_t sink = 0;
    do {
        const auto start = Clock::now();
        CurrentFindings found;
        searchCurrentRegistrations(platform, off, rules, currentRegistrations(), found);
        const auto searched = Clock::now();
        sortCandidates(found.candidates, JvmType::Default, rules.policy.favorSource);
        const auto sorted = Clock::now();
        const PreferredPick pick = pickPreferred(found.candidates, preferred);
        sink += findJvmLibrary(files, found.candidates[pick.candidate].home, JvmType::Default).size();
        const auto end = Clock::now();
        search += searched - start;
        sort += sorted - searched;
        total += end - start;
        ++runs;
    } while (Clock::now() < until || runs < 3);
    if (sink == 0) std::puts("no library found");
    const auto micros = [&](Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count() / runs; };
    return {micros(search), micros(sort), micros(total)};
}

}  // namespace
}  // namespace corvid

int main() {
    std::printf("%8s %14s %14s %14s %10s\n", "runtimes", "total us/run", "search us/run", "sort us/run", "sort share");
    for (const int count : {10, 50, 100, 200, 500, 1000}) {
        const corvid::Timing t = corvid::measure(count);
        std::printf("%8d %14.2f %14.2f %14.2f %9.0f%%\n", count, t.totalMicros, t.searchMicros, t.sortMicros,
                    100.0 * t.sortMicros / t.totalMicros);
    }
    std::printf("\nsecond stage, current registrations with release files:\n");
    std::printf("%8s %14s %14s %14s\n", "runtimes", "total us/run", "search us/run", "sort us/run");
    for (const int count : {10, 50, 100}) {
        const corvid::Timing t = corvid::measureCurrent(count);
        std::printf("%8d %14.2f %14.2f %14.2f\n", count, t.totalMicros, t.searchMicros, t.sortMicros);
    }
    return 0;
}
