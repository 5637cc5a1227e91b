// The world of the runtime tests: a fake platform whose disk and registry
// hold runtimes, this platform's library names, candidates written as short
// texts, and a trace kept as text.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "config/config_file.h"
#include "config/config_keys.h"
#include "platform/trace.h"
#include "runtime/runtime_search.h"
#include "start/launcher.h"
#include "support/fake_platform.h"
#include "support/registry_bytes.h"

namespace corvid::testing {

// The Windows path on Windows, the Linux one elsewhere; "/"-separated.
inline WideString platformPath([[maybe_unused]] std::u16string_view windows,
                               [[maybe_unused]] std::u16string_view posix) {
#ifdef _WIN32
    return nativePath(windows);
#else
    return nativePath(posix);
#endif
}

inline const WideString kClient = platformPath(u"bin/client/jvm.dll", u"lib/client/libjvm.so");
inline const WideString kServer = platformPath(u"bin/server/jvm.dll", u"lib/server/libjvm.so");
inline const WideString kMarker = platformPath(u"bin/java.dll", u"lib/libjava.so");
inline const WideString kCompiler = platformPath(u"bin/javac.exe", u"bin/javac");

// A candidate written "tag:version[s][f]": s for isServer, f for isFavoured.
inline JreCandidate candidate(std::u16string_view spec) {
    JreCandidate c;
    const std::size_t colon = spec.find(u':');
    c.home = WideString(spec.substr(0, colon));
    WideString version(spec.substr(colon + 1));
    while (!version.empty() && (version.back() == u's' || version.back() == u'f')) {
        (version.back() == u's' ? c.isServer : c.isFavoured) = true;
        version.pop_back();
    }
    c.version.parse(version, 0);
    return c;
}

inline std::vector<JreCandidate> candidates(std::initializer_list<std::u16string_view> specs) {
    std::vector<JreCandidate> list;
    for (const auto spec : specs) list.push_back(candidate(spec));
    return list;
}

// The homes of the list, one after the other.
inline std::string tags(const std::vector<JreCandidate>& list) {
    std::string out;
    for (const JreCandidate& c : list) out += toUtf8(c.home);
    return out;
}

class CollectingOutput final : public TraceOutput {
public:
    explicit CollectingOutput(std::string& text) : text_(text) {}
    void write(std::string_view line) override { (text_ += line) += '\n'; }

private:
    std::string& text_;
};

struct RuntimeWorld {
    FakePlatform fake;
    std::string traced;
    Trace trace{std::make_unique<CollectingOutput>(traced)};
    // What empty keys give: both kinds of runtime, Sun/Oracle ones only, favoured.
    RuntimeSearchPolicy policy;

    RuntimeWorld() { applyJvmSource(u"", policy); }

    // A file `relative` (this platform's separators) in `folder` ("/"-separated).
    void file(std::u16string_view folder, const WideString& relative = {}) {
        fake.files.existing.insert(nativePath(folder) + relative);
    }
    void registered(RegistryRoot root, std::u16string_view name, std::u16string_view home) {
        fake.runtimes.add(root, name, nativePath(home));
    }
    // A runtime folder with a release file (unless version is null) and the
    // given files, relative to it; its path.
    WideString runtime(std::u16string_view folder, const char* version, const std::vector<WideString>& files) {
        const WideString home = nativePath(folder);
        if (version) {
            fake.files.contents[home + kPathSeparator + u"release"] =
                std::string("IMPLEMENTOR=\"x\"\nJAVA_VERSION=\"") + version + "\"\nOS_ARCH=\"x64\"\n";
        }
        for (const WideString& relative : files) fake.files.existing.insert(home + kPathSeparator + relative);
        return home;
    }
    // The registered runtimes between the bounds.
    std::vector<JreCandidate> installed(JvmType type = JvmType::Default,
                                        const JavaVersion& lower = JavaVersion::openLower(),
                                        const JavaVersion& upper = JavaVersion::openUpper()) {
        return searchInstalledRuntimes(fake.platform, trace, lower, upper, policy, type);
    }
    bool traces(const std::string& part) const { return traced.find(part) != std::string::npos; }
};

// A launcher in that world: open bounds, one empty preferred version, the
// policy of empty keys, and the configuration file given by configure().
struct SelectionWorld : RuntimeWorld {
    Launcher launcher{fake.platform, trace, {}};

    SelectionWorld() {
        launcher.minVersion = readLowerBound(u"any");
        launcher.maxVersion = readUpperBound(u"any");
        launcher.preferredVersions = {u""};
        applyJvmSource(u"", launcher.policy);
    }
    // The configuration file's runtime section holds these lines.
    void configure(const WideString& lines) {
        fake.profiles.files[*configFilePathFor(fake.process.module.path)] =
            u"[Java Runtime Environment]\r\n" + lines + u"\r\n";
    }
};

}  // namespace corvid::testing
