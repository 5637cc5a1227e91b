// Figures for the registered-runtime search: search, sort and pick over an
// in-memory registry and file system, for growing numbers of runtimes.
// Prints figures; it is never run as a test.
//
//   build/<dir>/tests/corvid_runtime_search_bench
#include <chrono>
#include <cstdio>
#include <string>
#include <unordered_set>

#include "config/config_keys.h"
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
};

class BenchFiles final : public FileSystem {
public:
    std::unordered_set<WideString> existing;
    bool findFirst(const WideString& path) override { return existing.count(path) != 0; }
    bool createDirectory(const WideString&) override { return false; }
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
                      registry, fake.libraries, fake.threads, fake.memory, fake.runtimePrompt};
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

}  // namespace
}  // namespace corvid

int main() {
    std::printf("%8s %14s %14s %14s %10s\n", "runtimes", "total us/run", "search us/run", "sort us/run", "sort share");
    for (const int count : {10, 50, 100, 200, 500, 1000}) {
        const corvid::Timing t = corvid::measure(count);
        std::printf("%8d %14.2f %14.2f %14.2f %9.0f%%\n", count, t.totalMicros, t.searchMicros, t.sortMicros,
                    100.0 * t.sortMicros / t.totalMicros);
    }
    return 0;
}
