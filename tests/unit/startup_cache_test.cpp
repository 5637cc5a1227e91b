#include "cache/startup_cache.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdarg>
#include <functional>

#include "cache/cache_key.h"
#include "cache/cache_mode.h"
#include "cache/cache_record.h"
#include "java/jvm_output.h"
#include "start/launcher.h"
#include "support/fake_platform.h"

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace corvid {
namespace {

using testing::FakePlatform;
using testing::nativePath;

#ifdef _WIN32
constexpr char16_t kLibrary[] = u"C:/Runtime/bin/server/jvm.dll";
constexpr char16_t kLibraryFolder[] = u"C:/Runtime/bin/server";
#else
constexpr char16_t kLibrary[] = u"C:/Runtime/lib/server/libjvm.so";
constexpr char16_t kLibraryFolder[] = u"C:/Runtime/lib/server";
#endif

struct TraceLines final : TraceOutput {
    explicit TraceLines(std::string& text) : text_(text) {}
    void write(std::string_view line) override { text_ += std::string(line) + "\n"; }
    std::string& text_;
};

std::string narrow(WideView path) { return toNarrow(nativePath(path)); }

// What the JVM prints through its hook, as the JVM calls it.
void printThroughHook(const char* format, ...) {
    va_list list;
    va_start(list, format);
    jvmVfprintfHook(stderr, format, list);
    va_end(list);
}

// A start of C:/Apps/Tool/tool.exe on a runtime in C:/Runtime with one jar,
// the cache root in C:/Cache, products "Tool" and "42".
class Harness {
public:
    Harness() {
        launcher.jvmLibraryPath = nativePath(kLibrary);
        launcher.productName = u"Tool: Pro";
        launcher.productCode = u"42";
        fake.environment.variables[u"LOCALAPPDATA"] = nativePath(u"/Cache");
        fake.environment.variables[u"XDG_CACHE_HOME"] = nativePath(u"/Cache");
        fake.files.existing.insert(nativePath(u"/Cache"));
        fake.files.existing.insert(nativePath(u"C:/Runtime"));
        setKey(u"yes");
        release("JAVA_VERSION=\"17.0.9\"\n");
        fake.files.known[nativePath(kLibrary)] = {false, 20000000, 111};
        fake.files.known[nativePath(kLibraryFolder) + kPathSeparator + u"classes.jsa"] = {false, 13000000, 112};
        fake.files.known[nativePath(u"/Apps/Tool/app.jar")] = {false, 5000, 113};
        options = {"-Djava.class.path=" + narrow(u"/Apps/Tool/app.jar"), "-Xmx512m"};
    }
    void setKey(WideView value) {
        fake.profiles.files[nativePath(u"C:/Apps/Tool/tool.ini")] =
            u"[Java Runtime Environment]\nStartup Cache=" + WideString(value) + u"\n";
    }
    void release(const std::string& text) { fake.files.contents[nativePath(u"C:/Runtime/release")] = text; }
    WideString folder() const { return nativePath(u"/Cache/Tool Pro/42/corvid-cache"); }
    WideString inFolder(WideView name) const { return folder() + kPathSeparator + WideString(name); }

    // Runs the preparation on a fresh option list; returns the options it added.
    std::vector<std::string> prepare() {
        launcher.jvmOptions = options;
        prepareStartupCache(launcher);
        return std::vector<std::string>(launcher.jvmOptions.begin() + static_cast<std::ptrdiff_t>(options.size()),
                                        launcher.jvmOptions.end());
    }
    std::string currentKey() {
        launcher.jvmOptions = options;
        const auto release = fake.files.readFile(nativePath(u"C:/Runtime/release"), 100);
        const bool on25 = release && release->find("\"25") != std::string::npos;
        return cacheKey(launcher, fake.files, on25 ? u"25.0.3" : u"17.0.9").value_or("");
    }
    // The archive's file name for the current inputs.
    WideString archiveName() { return u"tool-" + fromAscii(keyHash(currentKey())); }
    void putRecord(const WideString& archive, const std::string& state, std::uint64_t size, const std::string& key) {
        const auto facts = fake.files.facts(archive);
        fake.files.contents[archive + u".meta"] = formatRecord({state, size, facts ? facts->modified : 0, key});
    }
    static std::string archiveBytes(std::size_t size) {
        std::string bytes(size, 'x');
        bytes.replace(0, 4, "\xa8\xab\x0b\xf0", 4);
        return bytes;
    }
    bool exists(const WideString& path) const { return fake.files.contents.count(path) != 0; }
    // A checked archive of the current key on runtime 25, where the AOT cache's record decides.
    WideString useArchiveOn25() {
        release("JAVA_VERSION=\"25.0.3\"\n");
        fake.files.existing.insert(folder());
        const WideString base = inFolder(archiveName());
        fake.files.contents[base + u".jsa"] = archiveBytes(100);
        putRecord(base + u".jsa", "checked", 100, currentKey());
        return base;
    }

    FakePlatform fake;
    std::string traced;
    Trace trace{std::make_unique<TraceLines>(traced)};
    Launcher launcher{fake.platform, trace, {}};
    JvmOptionList options;
};

class StartupCache : public ::testing::Test, public Harness {};

TEST_F(StartupCache, EveryInputOfTheKeyChangesTheArchiveName) {
    const WideString jar = nativePath(u"/Apps/Tool/app.jar");
    const struct {
        const char* name;
        std::function<void(Harness&)> change;
    } cases[] = {
        {"runtime real path", [](Harness& t) { t.fake.files.realPaths[nativePath(u"C:/Runtime")] = nativePath(u"D:/Jdk"); }},
        {"JVM library size", [](Harness& t) { t.fake.files.known[nativePath(kLibrary)].size += 1; }},
        {"JVM library time", [](Harness& t) { t.fake.files.known[nativePath(kLibrary)].modified += 1; }},
        {"jar size", [jar](Harness& t) { t.fake.files.known[jar].size += 1; }},
        {"jar time", [jar](Harness& t) { t.fake.files.known[jar].modified += 1; }},
        {"jar missing", [jar](Harness& t) { t.fake.files.known.erase(jar); }},
        {"option", [](Harness& t) { t.options[1] = "-Xmx513m"; }},
        {"option added", [](Harness& t) { t.options.push_back("-Dx=1"); }},
        {"relative entry, other directory",
         [](Harness& t) {
             t.options[0] = "-Djava.class.path=app.jar";
             t.fake.files.cwd = nativePath(u"C:/Other");
         }},
    };
    for (const auto& c : cases) {
        Harness t;
        if (std::string(c.name) == "relative entry, other directory") t.options[0] = "-Djava.class.path=app.jar";
        const WideString before = t.archiveName();
        c.change(t);
        EXPECT_NE(t.archiveName(), before) << c.name;
    }
    // The program's arguments in sun.java.command are not.
    Harness commands;
    commands.options.push_back("-Dsun.java.command=app.Main one");
    const WideString one = commands.archiveName();
    commands.options.back() = "-Dsun.java.command=app.Main two";
    EXPECT_EQ(commands.archiveName(), one);
    // The release version is part of the key as read.
    launcher.jvmOptions = options;
    EXPECT_NE(cacheKey(launcher, fake.files, u"17.0.9"), cacheKey(launcher, fake.files, u"17.0.10"));
}

TEST_F(StartupCache, RelativeClassPathEntriesAreMadeAbsolute) {
    options[0] = "-Djava.class.path=app.jar";
    fake.files.known[nativePath(u"C:/Work/app.jar")] = {false, 77, 5};
    EXPECT_NE(currentKey().find(toUtf8(nativePath(u"C:/Work/app.jar")) + " 77 5"), std::string::npos) << currentKey();
}

TEST_F(StartupCache, VersionRule) {
    const struct {
        const char* release;
        bool cached;
    } cases[] = {
        {nullptr, false},
        {"JAVA_VERSION=\"1.8.0_392\"\n", false},
        {"JAVA_VERSION=\"11.0.21\"\n", false},
        {"JAVA_VERSION=\"12\"\n", false},
        {"JAVA_VERSION=\"13\"\n", true},
        {"JAVA_VERSION=\"17.0.9\"\n", true},
        {"JAVA_VERSION=\"25-ea\"\n", true},
        {"JAVA_VERSION=\"beta\"\n", false},
    };
    for (const auto& c : cases) {
        if (c.release) release(c.release);
        else fake.files.contents.erase(nativePath(u"C:/Runtime/release"));
        fake.files.existing = {nativePath(u"/Cache"), nativePath(u"C:/Runtime")};
        EXPECT_EQ(!prepare().empty(), c.cached) << (c.release ? c.release : "no release file") << traced;
        EXPECT_EQ(launcher.startupCache.mode == CacheMode::Create, c.cached);
    }
    EXPECT_EQ(javaFeatureVersion(u"1.8.0_392"), 8);
    EXPECT_EQ(javaFeatureVersion(u"25.0.3"), 25);
}

TEST(StartupCacheOptions, PerModeAndVersion) {
    const struct {
        CacheMode mode;
        ArchiveKind kind;
        int version;
        std::vector<std::string> expected;
    } cases[] = {
        {CacheMode::Off, ArchiveKind::Dynamic, 17, {}},
        {CacheMode::Use, ArchiveKind::Dynamic, 17, {"-Xshare:auto", "-Xlog:cds*=off", "-XX:SharedArchiveFile=a.jsa"}},
        {CacheMode::Use, ArchiveKind::Dynamic, 25,
         {"-Xshare:auto", "-Xlog:cds*=off", "-Xlog:aot*=off", "-XX:SharedArchiveFile=a.jsa"}},
        {CacheMode::Create, ArchiveKind::Dynamic, 13, {"-Xshare:auto", "-Xlog:cds*=off", "-XX:ArchiveClassesAtExit=a.jsa"}},
        {CacheMode::Check,
         ArchiveKind::Dynamic,
         17,
         {"-Xshare:auto", "-Xlog:cds*=off", "-XX:SharedArchiveFile=a.jsa", "-XX:+VerifySharedSpaces",
          "-Xlog:cds=info:file=\"c:\\x y.log\"::filecount=0"}},
        // The AOT options refuse any -Xshare.
        {CacheMode::Record, ArchiveKind::Dynamic, 25,
         {"-Xlog:cds*=off", "-Xlog:aot*=off", "-XX:AOTMode=record", "-XX:AOTConfiguration=a.jsa"}},
        {CacheMode::Use, ArchiveKind::Aot, 25, {"-Xlog:cds*=off", "-Xlog:aot*=off", "-XX:AOTCache=a.jsa"}},
        {CacheMode::Check,
         ArchiveKind::Aot,
         25,
         {"-Xlog:cds*=off", "-Xlog:aot*=off", "-XX:AOTCache=a.jsa", "-XX:+VerifySharedSpaces",
          "-Xlog:aot=info:file=\"c:\\x y.log\"::filecount=0"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(cacheOptions(c.mode, c.kind, c.version, "a.jsa", "c:\\x y.log"), c.expected) << c.version;
    }
}

// A class path folder that is not empty makes the JVM end the process when it
// writes the archive; an empty one does not.
TEST_F(StartupCache, ANonEmptyClassFolderKeepsTheStartPlain) {
    const WideString classes = nativePath(u"/Apps/Tool/classes");
    fake.files.existing.insert(classes);
    options[0] += toNarrow(WideString(1, kSearchPathSeparator) + classes);
    EXPECT_FALSE(prepare().empty()) << "an empty folder";
    fake.files.contents[classes + kPathSeparator + u"app.properties"] = "x=1";
    EXPECT_TRUE(prepare().empty());
    EXPECT_NE(traced.find("off: the class path folder " + toNarrow(classes) + " is not empty"), std::string::npos);
}

// On 25: the archive in use, one start records, its end starts the detached
// build, whose cache (left by an ended build) is checked, then mapped.
TEST_F(StartupCache, TheAotCacheIsRecordedOnceBuiltDetachedCheckedAndMapped) {
    release("JAVA_VERSION=\"25.0.3\"\n");
    const auto key = [&] {
        launcher.jvmOptions = options;
        return cacheKey(launcher, fake.files, u"25.0.3").value_or("");
    };
    const WideString base = inFolder(u"tool-" + fromAscii(keyHash(key())));
    fake.files.contents[base + u".jsa"] = archiveBytes(100);
    putRecord(base + u".jsa", "checked", 100, key());
    const auto has = [](const std::vector<std::string>& all, const std::string& option) {
        return std::find(all.begin(), all.end(), option) != all.end();
    };

    EXPECT_TRUE(has(prepare(), "-XX:AOTMode=record"));
    fake.files.contents[base + u".4242.aotconf"] = "conf";  // what the JVM records at exit
    launcher.startupCache.mainStarted = true;
    finishStartupCache(launcher);
    ASSERT_EQ(fake.process.detached.size(), 1u);
    EXPECT_EQ(fake.process.detached[0].path, fake.process.module.path);
    EXPECT_EQ(fake.process.detached[0].name, kCacheBuildVariable);
    EXPECT_EQ(fake.process.detached[0].value, base + u".aot.meta");
    EXPECT_TRUE(exists(base + u".aotconf"));

    // Recorded once per key: while it builds, the archive is used.
    EXPECT_TRUE(has(prepare(), "-XX:SharedArchiveFile=" + toNarrow(base + u".jsa")));
    finishStartupCache(launcher);
    EXPECT_EQ(fake.process.detached.size(), 1u);

    fake.files.contents[base + u".77.aottmp"] = std::string("\xa2\xab\x0b\xf0", 4) + "cache";
    EXPECT_TRUE(has(prepare(), "-XX:AOTCache=" + toNarrow(base + u".aot")));
    EXPECT_EQ(launcher.startupCache.mode, CacheMode::Check);
    EXPECT_FALSE(exists(base + u".aotconf"));
    fake.files.contents[launcher.startupCache.checkLog] = "[aot] Using AOT-linked classes: true";
    startupCacheMainStarting(launcher);
    finishStartupCache(launcher);

    const auto mapped = prepare();
    EXPECT_EQ(launcher.startupCache.mode, CacheMode::Use);
    EXPECT_TRUE(has(mapped, "-XX:AOTCache=" + toNarrow(base + u".aot")));
    EXPECT_FALSE(has(mapped, "-Xshare:auto")) << "the AOT options refuse any -Xshare";
}

TEST(StartupCacheRecord, RoundTripsAndRefusesDamage) {
    const ArchiveRecord record{"checked", 143360, 1796830097238157967, "runtime /x\noption -Xmx1g\n"};
    const std::string text = formatRecord(record);
    const auto parsed = parseRecord(text);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->state, record.state);
    EXPECT_EQ(parsed->size, record.size);
    EXPECT_EQ(parsed->modified, record.modified);
    EXPECT_EQ(parsed->key, record.key);
    const std::string damaged[] = {
        "", text.substr(0, 20), "corvid startup cache 2\n" + text.substr(23),
        "corvid startup cache 1\nstate checked\nsize 12x\nmodified 1\nkey\n",
        "corvid startup cache 1\nstate checked\nsize 99999999999999999999\nmodified 1\nkey\n",
        "corvid startup cache 1\nstate checked\nsize 12\nkey\n",
        "corvid startup cache 1\nstate checked\nsize 12\nmodified 9999999999999999999\nkey\n",
        "corvid startup cache 1\nsize 1\nstate checked\nkey\n",
    };
    for (const std::string& bad : damaged) EXPECT_FALSE(parseRecord(bad)) << bad;

    // A recording's count of attempts; records of earlier launchers have none and still read.
    const auto counted = parseRecord(formatRecord({"building", 0, 0, "k\n", 2}));
    ASSERT_TRUE(counted);
    EXPECT_EQ(counted->attempts, 2u);
    EXPECT_EQ(counted->key, "k\n");
    const auto earlier = parseRecord("corvid startup cache 1\nstate recording\nsize 0\nmodified 0\nkey\nk\n");
    ASSERT_TRUE(earlier);
    EXPECT_EQ(earlier->state, "recording");
    EXPECT_EQ(earlier->attempts, 0u);
    for (const char* attempts : {"attempts x\n", "attempts \n", "attempts 99999999999999999999\n", "attempts 2"}) {
        const std::string bad = "corvid startup cache 1\nstate recording\nsize 0\nmodified 0\n" + std::string(attempts) + "key\n";
        EXPECT_FALSE(parseRecord(bad)) << bad;
    }
}

TEST(StartupCacheFolder, WhatTheFilesInTheFolderDecide) {
    struct Case {
        const char* name;
        std::function<void(Harness&, const WideString& base)> setUp;
        CacheMode mode;
        std::function<void(Harness&, const WideString& base)> verify;
    };
    const auto archive = [](Harness& t, const WideString& base) { return t.inFolder(base + u".jsa"); };
    const auto temporary = [](Harness& t, const WideString& base, WideView pid) {
        return t.inFolder(base + u"." + WideString(pid) + u".tmp");
    };
    const Case cases[] = {
        {"empty folder: create", [](Harness&, const WideString&) {}, CacheMode::Create, nullptr},
        {"checked archive with a matching record: use",
         [&](Harness& t, const WideString& base) {
             t.fake.files.contents[archive(t, base)] = Harness::archiveBytes(100);
             t.putRecord(archive(t, base), "checked", 100, t.currentKey());
         },
         CacheMode::Use, nullptr},
        {"checked archive and the temporary one of a dead start that created at the same time: the latter goes",
         [&](Harness& t, const WideString& base) {
             t.fake.files.contents[archive(t, base)] = Harness::archiveBytes(100);
             t.putRecord(archive(t, base), "checked", 100, t.currentKey());
             t.fake.files.contents[temporary(t, base, u"17")] = Harness::archiveBytes(100);
             t.putRecord(temporary(t, base, u"17"), "complete", 100, t.currentKey());
         },
         CacheMode::Use,
         [&](Harness& t, const WideString& base) {
             EXPECT_FALSE(t.exists(temporary(t, base, u"17")));
             EXPECT_FALSE(t.exists(temporary(t, base, u"17") + u".meta"));
             EXPECT_TRUE(t.exists(archive(t, base)));
         }},
        {"record for another key: rejected and created anew",
         [&](Harness& t, const WideString& base) {
             t.fake.files.contents[archive(t, base)] = Harness::archiveBytes(100);
             t.putRecord(archive(t, base), "checked", 100, "something else");
         },
         CacheMode::Create, [&](Harness& t, const WideString& base) { EXPECT_FALSE(t.exists(archive(t, base))); }},
        {"size differs from the record (truncated): rejected",
         [&](Harness& t, const WideString& base) {
             t.fake.files.contents[archive(t, base)] = Harness::archiveBytes(60);
             t.putRecord(archive(t, base), "checked", 100, t.currentKey());
         },
         CacheMode::Create, [&](Harness& t, const WideString& base) { EXPECT_FALSE(t.exists(archive(t, base))); }},
        {"rewritten in place, same size: rejected",
         [&](Harness& t, const WideString& base) {
             t.fake.files.contents[archive(t, base)] = Harness::archiveBytes(100);
             t.putRecord(archive(t, base), "checked", 100, t.currentKey());
             t.fake.files.modifiedAt[archive(t, base)] = 99;
         },
         CacheMode::Create, [&](Harness& t, const WideString& base) { EXPECT_FALSE(t.exists(archive(t, base))); }},
        {"archive without a record: rejected",
         [&](Harness& t, const WideString& base) { t.fake.files.contents[archive(t, base)] = Harness::archiveBytes(100); },
         CacheMode::Create, [&](Harness& t, const WideString& base) { EXPECT_FALSE(t.exists(archive(t, base))); }},
        {"rejected archive that cannot be deleted: plain start",
         [&](Harness& t, const WideString& base) {
             t.fake.files.contents[archive(t, base)] = Harness::archiveBytes(100);
             t.fake.files.locked.insert(archive(t, base));
         },
         CacheMode::Off, nullptr},
        {"promoted but never mapped: checked again",
         [&](Harness& t, const WideString& base) {
             t.fake.files.contents[archive(t, base)] = Harness::archiveBytes(100);
             t.putRecord(archive(t, base), "unchecked", 100, t.currentKey());
         },
         CacheMode::Check, nullptr},
        {"finished temporary archive of an ended start: promoted and checked",
         [&](Harness& t, const WideString& base) {
             t.fake.files.contents[temporary(t, base, u"17")] = Harness::archiveBytes(100);
             t.putRecord(temporary(t, base, u"17"), "complete", 100, t.currentKey());
         },
         CacheMode::Check,
         [&](Harness& t, const WideString& base) {
             EXPECT_FALSE(t.exists(temporary(t, base, u"17")));
             EXPECT_TRUE(t.exists(archive(t, base)));
             const auto record = parseRecord(t.fake.files.contents[archive(t, base) + u".meta"]);
             ASSERT_TRUE(record);
             EXPECT_EQ(record->state, "unchecked");
         }},
        {"temporary archive its start did not finish: deleted",
         [&](Harness& t, const WideString& base) {
             t.fake.files.contents[temporary(t, base, u"17")] = Harness::archiveBytes(100);
         },
         CacheMode::Create,
         [&](Harness& t, const WideString& base) { EXPECT_FALSE(t.exists(temporary(t, base, u"17"))); }},
        {"finished temporary file that is no archive: deleted",
         [&](Harness& t, const WideString& base) {
             t.fake.files.contents[temporary(t, base, u"17")] = std::string(100, 'x');
             t.putRecord(temporary(t, base, u"17"), "complete", 100, t.currentKey());
         },
         CacheMode::Create,
         [&](Harness& t, const WideString& base) { EXPECT_FALSE(t.exists(temporary(t, base, u"17"))); }},
        {"another live start is creating it: plain start, its file kept",
         [&](Harness& t, const WideString& base) {
             t.fake.files.contents[temporary(t, base, u"17")] = Harness::archiveBytes(10);
             t.fake.files.modifiedAt[temporary(t, base, u"17")] = t.fake.files.clock;
             t.fake.process.alive.insert(17);
         },
         CacheMode::Off,
         [&](Harness& t, const WideString& base) { EXPECT_TRUE(t.exists(temporary(t, base, u"17"))); }},
        {"crash marker of an ended start: its archive deleted, plain start",
         [&](Harness& t, const WideString& base) {
             t.fake.files.contents[archive(t, base)] = Harness::archiveBytes(100);
             t.putRecord(archive(t, base), "checked", 100, t.currentKey());
             t.fake.files.contents[t.inFolder(base + u".17.start")] = toUtf8(base + u".jsa");
         },
         CacheMode::Off,
         [&](Harness& t, const WideString& base) {
             EXPECT_FALSE(t.exists(archive(t, base)));
             EXPECT_FALSE(t.exists(t.inFolder(base + u".17.start")));
         }},
        {"crash marker of a live start: the archive is used",
         [&](Harness& t, const WideString& base) {
             t.fake.files.contents[archive(t, base)] = Harness::archiveBytes(100);
             t.putRecord(archive(t, base), "checked", 100, t.currentKey());
             t.fake.files.contents[t.inFolder(base + u".17.start")] = toUtf8(base + u".jsa");
             t.fake.files.modifiedAt[t.inFolder(base + u".17.start")] = t.fake.files.clock;
             t.fake.process.alive.insert(17);
         },
         CacheMode::Use, nullptr},
        {"an hour-old marker of a live start (a long-running program): the archive is used",
         [&](Harness& t, const WideString& base) {
             t.fake.files.contents[archive(t, base)] = Harness::archiveBytes(100);
             t.putRecord(archive(t, base), "checked", 100, t.currentKey());
             t.fake.files.contents[t.inFolder(base + u".17.start")] = toUtf8(base + u".jsa");
             t.fake.files.modifiedAt[t.inFolder(base + u".17.start")] = t.fake.files.clock - 5 * 3600;
             t.fake.process.alive.insert(17);
         },
         CacheMode::Use, nullptr},
        {"an hour-old temporary archive of a live process: taken as left behind",
         [&](Harness& t, const WideString& base) {
             t.fake.files.contents[temporary(t, base, u"17")] = Harness::archiveBytes(10);
             t.fake.files.modifiedAt[temporary(t, base, u"17")] = t.fake.files.clock - 5 * 3600;
             t.fake.process.alive.insert(17);
         },
         CacheMode::Create,
         [&](Harness& t, const WideString& base) { EXPECT_FALSE(t.exists(temporary(t, base, u"17"))); }},
        {"temporary archive that cannot be taken (another start took it): plain start, nothing deleted",
         [&](Harness& t, const WideString& base) {
             t.fake.files.contents[temporary(t, base, u"17")] = Harness::archiveBytes(100);
             t.putRecord(temporary(t, base, u"17"), "complete", 100, t.currentKey());
             t.fake.files.locked.insert(temporary(t, base, u"17"));
         },
         CacheMode::Off,
         [&](Harness& t, const WideString& base) { EXPECT_TRUE(t.exists(temporary(t, base, u"17"))); }},
        {"crash marker naming a file elsewhere: that file stays",
         [&](Harness& t, const WideString& base) {
             t.fake.files.contents[t.inFolder(u"tool-x/../../secret")] = "keep";
             t.fake.files.contents[t.inFolder(base + u".17.start")] = "tool-x/../../secret";
             t.fake.files.contents[t.inFolder(u"other.txt")] = "keep";
             t.fake.files.contents[t.inFolder(base + u".18.start")] = "other.txt";
         },
         CacheMode::Create,
         [&](Harness& t, const WideString&) {
             EXPECT_TRUE(t.exists(t.inFolder(u"tool-x/../../secret")));
             EXPECT_TRUE(t.exists(t.inFolder(u"other.txt")));
         }},
        {"folder not writable: plain start", [](Harness& t, const WideString&) { t.fake.files.writable = false; },
         CacheMode::Off, nullptr},
        {"too little free space: plain start", [](Harness& t, const WideString&) { t.fake.files.free = 1 << 20; },
         CacheMode::Off, nullptr},
        {"options that run class data sharing themselves: plain start",
         [](Harness& t, const WideString&) { t.options.push_back("-Xshare:off"); }, CacheMode::Off, nullptr},
        {"a Java agent in the options: plain start (the JVM would not start to create the archive)",
         [](Harness& t, const WideString&) { t.options.push_back("-javaagent:C:\\agents\\trace.jar=verbose"); },
         CacheMode::Off, nullptr},
        {"a native agent in JAVA_TOOL_OPTIONS: plain start",
         [](Harness& t, const WideString&) {
             t.fake.environment.variables[u"JAVA_TOOL_OPTIONS"] =
                 u"-Xmx1g  -agentlib:jdwp=transport=dt_socket,server=y,suspend=n";
         },
         CacheMode::Off, nullptr},
        {"an agent by path, quoted, in _JAVA_OPTIONS: plain start",
         [](Harness& t, const WideString&) {
             t.fake.environment.variables[u"_JAVA_OPTIONS"] = u"\"-agentpath:C:\\Program Files\\p.dll\"";
         },
         CacheMode::Off, nullptr},
        {"the old agent form in _JAVA_OPTIONS: plain start",
         [](Harness& t, const WideString&) { t.fake.environment.variables[u"_JAVA_OPTIONS"] = u"-Xrunjdwp:server=y"; },
         CacheMode::Off, nullptr},
        {"agent names only inside other options' values: the archive is created",
         [](Harness& t, const WideString&) {
             t.fake.environment.variables[u"JAVA_TOOL_OPTIONS"] = u"-Dnote=-javaagent:x.jar -Dx=-agentlib:y\t-Xss2m";
         },
         CacheMode::Create, nullptr},
        {"no base archive in the runtime: plain start",
         [](Harness& t, const WideString&) {
             t.fake.files.known.erase(nativePath(kLibraryFolder) + kPathSeparator + u"classes.jsa");
         },
         CacheMode::Off, nullptr},
        {"no cache root: plain start",
         [](Harness& t, const WideString&) {
             t.fake.environment.variables.clear();
         },
         CacheMode::Off, nullptr},
    };
    for (const Case& c : cases) {
        Harness t;
        t.fake.files.existing.insert(nativePath(u"/Cache/Tool Pro"));
        t.fake.files.existing.insert(t.folder());
        const WideString base = t.archiveName();
        c.setUp(t, base);
        const auto added = t.prepare();
        EXPECT_EQ(t.launcher.startupCache.mode, c.mode) << c.name << "\n" << t.traced;
        EXPECT_EQ(added.empty(), c.mode == CacheMode::Off) << c.name;
        EXPECT_EQ(t.exists(t.inFolder(base + u".4242.start")), c.mode != CacheMode::Off) << c.name;
        if (c.verify) c.verify(t, base);
    }
}

TEST_F(StartupCache, KeyOffTouchesNothing) {
    for (const WideView value : {u"", u"no", u"Yes please", u"true"}) {
        setKey(value);
        fake.files.createdDirectories.clear();
        EXPECT_TRUE(prepare().empty()) << toUtf8(value);
        EXPECT_TRUE(fake.files.createdDirectories.empty()) << toUtf8(value);
        EXPECT_EQ(launcher.startupCache.mode, CacheMode::Off);
    }
    for (const WideView value : {u"Yes", u"YES", u"yEs"}) EXPECT_TRUE(startupCacheRequested(value));
}

TEST_F(StartupCache, FoldersAreCreatedBeforeTheOptionsNameThem) {
    EXPECT_FALSE(prepare().empty()) << traced;
    const auto& created = fake.files.createdDirectories;
    EXPECT_NE(std::find(created.begin(), created.end(), nativePath(u"/Cache/Tool Pro")), created.end());
    EXPECT_NE(std::find(created.begin(), created.end(), folder()), created.end());
    const std::string last = launcher.jvmOptions.back();
    EXPECT_EQ(last, "-XX:ArchiveClassesAtExit=" + toNarrow(inFolder(archiveName() + u".4242.tmp")));
}

TEST_F(StartupCache, OldArchivesOfTheApplicationBeyondTheNewestTwoAreDeleted) {
    fake.files.existing.insert(nativePath(u"/Cache/Tool Pro"));
    fake.files.existing.insert(folder());
    const WideString old[] = {u"tool-000000000000000a.jsa", u"tool-000000000000000b.jsa", u"tool-000000000000000c.jsa",
                              u"tool-000000000000000d.jsa"};
    for (std::size_t i = 0; i < 4; ++i) {
        fake.files.contents[inFolder(old[i])] = Harness::archiveBytes(10);
        fake.files.modifiedAt[inFolder(old[i])] = static_cast<std::int64_t>(10 + i);
    }
    fake.files.contents[inFolder(u"other-000000000000000a.jsa")] = Harness::archiveBytes(10);
    prepare();
    EXPECT_FALSE(exists(inFolder(old[0])));
    EXPECT_FALSE(exists(inFolder(old[1])));
    EXPECT_TRUE(exists(inFolder(old[2])));
    EXPECT_TRUE(exists(inFolder(old[3])));
    EXPECT_TRUE(exists(inFolder(u"other-000000000000000a.jsa")));
}

TEST_F(StartupCache, CheckVerdictAndMarker) {
    for (const bool mapped : {true, false}) {
        fake.files.contents.clear();
        release("JAVA_VERSION=\"17.0.9\"\n");
        fake.files.existing = {nativePath(u"/Cache"), nativePath(u"C:/Runtime"), nativePath(u"/Cache/Tool Pro"), folder()};
        const WideString base = archiveName();
        fake.files.contents[inFolder(base + u".jsa")] = Harness::archiveBytes(100);
        putRecord(inFolder(base + u".jsa"), "unchecked", 100, currentKey());
        prepare();
        ASSERT_EQ(launcher.startupCache.mode, CacheMode::Check);
        const WideString log = inFolder(base + u".4242.log");
        EXPECT_NE(std::find(launcher.jvmOptions.begin(), launcher.jvmOptions.end(),
                            "-Xlog:cds=info:file=\"" + toNarrow(log) + "\"::filecount=0"),
                  launcher.jvmOptions.end());
        fake.files.contents[log] = mapped ? "[0.02s][info][cds] Mapped dynamic region #0 at base 0x1\n"
                                          : "[0.02s][info][cds] UseSharedSpaces: Checksum verification failed.\n";
        startupCacheMainStarting(launcher);
        EXPECT_FALSE(exists(log)) << mapped;
        EXPECT_EQ(exists(inFolder(base + u".jsa")), mapped);
        if (mapped) {
            const auto record = parseRecord(fake.files.contents[inFolder(base + u".jsa.meta")]);
            ASSERT_TRUE(record);
            EXPECT_EQ(record->state, "checked");
            EXPECT_EQ(record->size, 100u);
        }
    }
}

// The marker outlives main's start: a damaged archive can crash the JVM in
// the middle of the program. Only an orderly end clears it.
TEST_F(StartupCache, CrashMarkerLastsUntilTheJvmEndsInOrder) {
    const struct {
        const char* name;
        bool mainStarts;
        bool exitHook;
        bool markerLeft;
    } cases[] = {
        {"main ran, DestroyJavaVM returned", true, false, false},
        {"System.exit", true, true, false},
        {"main never ran", false, false, true},
    };
    for (const auto& c : cases) {
        Harness t;
        t.prepare();
        const WideString marker = t.inFolder(t.archiveName() + u".4242.start");
        ASSERT_TRUE(t.exists(marker)) << c.name;
        if (c.mainStarts) startupCacheMainStarting(t.launcher);
        EXPECT_TRUE(t.exists(marker)) << c.name;
        if (c.exitHook) startupCacheExitHook(3);
        finishStartupCache(t.launcher);
        EXPECT_EQ(t.exists(marker), c.markerLeft) << c.name;
    }
}

TEST_F(StartupCache, CreatedArchiveIsRecordedAtTheEnd) {
    for (const bool written : {true, false}) {
        fake.files.contents.clear();
        release("JAVA_VERSION=\"17.0.9\"\n");
        prepare();
        ASSERT_EQ(launcher.startupCache.mode, CacheMode::Create);
        EXPECT_EQ(launcher.jvmExitHook, &startupCacheExitHook);
        const WideString temporary = inFolder(archiveName() + u".4242.tmp");
        if (written) fake.files.contents[temporary] = Harness::archiveBytes(300);
        startupCacheMainStarting(launcher);
        // System.exit calls the hook; DestroyJavaVM's path the finish step; either records once.
        startupCacheExitHook(7);
        finishStartupCache(launcher);
        const auto record = fake.files.contents.find(temporary + u".meta");
        ASSERT_EQ(record != fake.files.contents.end(), written);
        if (written) {
            const auto parsed = parseRecord(record->second);
            ASSERT_TRUE(parsed);
            EXPECT_EQ(parsed->state, "complete");
            EXPECT_EQ(parsed->size, 300u);
            EXPECT_EQ(parsed->key, currentKey());
        }
    }
}


// The launcher deletes in its cache folder, so the folder is a level of its
// own, also when the product names are empty (the cache root itself before).
TEST(StartupCacheFolder, ALevelOfItsOwnUnderTheProductNames) {
    const struct {
        const char16_t* name;
        const char16_t* code;
        const char16_t* folder;
    } cases[] = {
        {u"Tool: Pro", u"42", u"/Cache/Tool Pro/42/corvid-cache"},
        {u"", u"", u"/Cache/corvid-cache"},
        {u"Tool", u"", u"/Cache/Tool/corvid-cache"},
        {u"", u"42", u"/Cache/42/corvid-cache"},
        {u"*?", u"", u"/Cache/corvid-cache"},
    };
    for (const auto& c : cases) {
        Harness t;
        t.launcher.productName = c.name;
        t.launcher.productCode = c.code;
        EXPECT_EQ(cacheFolderFor(t.launcher), nativePath(c.folder)) << toUtf8(c.name) << "|" << toUtf8(c.code);
    }
}

// Files that only look like the cache's, beside the folder or in it, outlive
// the starts and their clean-up; the cache's own leftovers do not.
TEST_F(StartupCache, ForeignFilesOfSimilarNamesSurviveStartsAndTheCleanUp) {
    const WideString cache = cacheFolderFor(launcher).value_or(u"");
    const WideString root = cache.substr(0, cache.rfind(kPathSeparator));
    const WideString hash = fromAscii(keyHash(currentKey()));
    const auto in = [](const WideString& folder, WideView name) { return folder + kPathSeparator + WideString(name); };
    // The application's own files beside the folder (the old place), an old cache among them.
    const WideString besideFolder[] = {u"tool-notes.20240301.log", u"tool-backup.1999.tmp",
                                       u"tool-0123456789abcdef.17.tmp", u"tool-0123456789abcdef.17.tmp.meta",
                                       u"tool-session.31.start", u"tool-0123456789abcdef.32.start"};
    for (const WideString& name : besideFolder) fake.files.contents[in(root, name)] = "keep";
    fake.files.contents[in(root, u"tool-session.31.start")] = "tool-notes.20240301.log";
    fake.files.contents[in(root, u"tool-0123456789abcdef.32.start")] = "tool-backup.1999.tmp";
    // Names in the folder that differ from the cache's exact form.
    const WideString inFolderNames[] = {
        u"tool-notes.20240301.log",          u"tool-backup.1999.tmp",
        u"tool-0123456789ABCDEF.17.tmp",     u"tool-0123456789abcde.17.log",
        u"tool-0123456789abcdef0.17.log",    u"tool-0123456789abcdefx.17.aotconf",
        u"tool-0123456789abcdef.017.aottmp", u"tool-0123456789abcdef.1.2.tmp",
        u"tool-0123456789abcdef..tmp",       u"tool-0123456789abcdef.99999999999.build",
        u"tool-" + hash + u"x.17.tmp",       u"tool-" + hash + u".17.tmp.bak",
        u"tool-session.31.start",            u"other-0123456789abcdef.17.tmp",
        u"tool-0123456789abcdef.jsa.old",
    };
    fake.files.existing.insert(cache);
    for (const WideString& name : inFolderNames) fake.files.contents[in(cache, name)] = "keep";
    fake.files.contents[in(cache, u"tool-session.31.start")] = "tool-notes.20240301.log";
    // A marker of the exact form, of a dead start, naming a file that is not the cache's.
    fake.files.contents[in(cache, u"tool-00000000000000aa.32.start")] = "tool-backup.1999.tmp";
    // The cache's own leftovers of dead starts.
    const WideString leftovers[] = {u"tool-0123456789abcdef.17.tmp", u"tool-0123456789abcdef.17.tmp.meta",
                                    u"tool-000000000000000a.18.log", u"tool-0000000000000001.20.start",
                                    u"tool-0000000000000001.jsa"};
    for (const WideString& name : leftovers) fake.files.contents[in(cache, name)] = "ours";
    fake.files.contents[in(cache, u"tool-0000000000000001.20.start")] = "tool-0000000000000001.jsa";

    EXPECT_EQ(prepare().empty(), false) << traced;
    EXPECT_EQ(launcher.startupCache.mode, CacheMode::Create);
    fake.files.contents[in(cache, u"tool-" + hash + u".4242.tmp")] = archiveBytes(100);
    startupCacheMainStarting(launcher);
    finishStartupCache(launcher);
    fake.process.pid = 4343;
    prepare();
    EXPECT_EQ(launcher.startupCache.mode, CacheMode::Check) << traced;

    for (const WideString& name : besideFolder) EXPECT_TRUE(exists(in(root, name))) << "beside: " << toUtf8(name);
    for (const WideString& name : inFolderNames) EXPECT_TRUE(exists(in(cache, name))) << "in: " << toUtf8(name);
    for (const WideString& name : leftovers) EXPECT_FALSE(exists(in(cache, name))) << "leftover: " << toUtf8(name);
    EXPECT_FALSE(exists(in(cache, u"tool-00000000000000aa.32.start")));
}

// Only the JVM's words about the archive are kept out of the output: what it
// prints while main runs (a gc log line, a thread dump) is written at once,
// in a creating and in a recording start.
TEST_F(StartupCache, WhileMainRunsTheJvmsWordsAreWrittenAtOnceExceptTheArchiveSteps) {
    for (const bool recording : {false, true}) {
        Harness t;
        if (recording) t.useArchiveOn25();
        t.prepare();
        ASSERT_EQ(t.launcher.startupCache.mode, recording ? CacheMode::Record : CacheMode::Create) << t.traced;
        startupCacheMainStarting(t.launcher);
        ::testing::internal::CaptureStderr();
        printThroughHook("%s", "[0.512s][info][gc] GC(0) Pause Full (System.gc()) 2M->1M(64M) 5.1ms\n");
        printThroughHook("Full thread dump %s:\n", "OpenJDK 64-Bit Server VM");
        printThroughHook("%s", " AOTConfiguration recorded: x.aotconf\n");
        const std::string whileRunning = ::testing::internal::GetCapturedStderr();
        ::testing::internal::CaptureStderr();
        finishStartupCache(t.launcher);
        const std::string atTheEnd = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(whileRunning,
                  "[0.512s][info][gc] GC(0) Pause Full (System.gc()) 2M->1M(64M) 5.1ms\n"
                  "Full thread dump OpenJDK 64-Bit Server VM:\n")
            << recording;
        EXPECT_EQ(atTheEnd, "") << recording;
    }
}

// A recording or building record with nothing alive behind it is recorded
// again, up to three times per key; one with a live start or build is not.
TEST(StartupCacheAot, StaleRecordingsAreRecordedAgainAFewTimes) {
    struct Case {
        const char* name;
        const char* state;
        const char* attemptsLine;  // as a record carries it; empty: written by earlier launchers
        std::function<void(Harness&, const WideString& base)> setUp;
        CacheMode mode;
        const char* stateAfter;
        const char* attemptsAfter;
    };
    const Case cases[] = {
        {"recording, its start still runs", "recording", "",
         [](Harness& t, const WideString& base) {
             t.fake.files.contents[base + u".17.start"] = toUtf8(base.substr(base.rfind(kPathSeparator) + 1)) + ".17.aotconf";
             t.fake.process.alive.insert(17);
         },
         CacheMode::Use, "recording", ""},
        {"recording, its start was killed (an earlier launcher's record)", "recording", "", nullptr, CacheMode::Record,
         "recording", "attempts 2\n"},
        {"recording, a live start only uses the archive", "recording", "",
         [](Harness& t, const WideString& base) {
             t.fake.files.contents[base + u".17.start"] = toUtf8(base.substr(base.rfind(kPathSeparator) + 1)) + ".jsa";
             t.fake.process.alive.insert(17);
         },
         CacheMode::Record, "recording", "attempts 2\n"},
        {"recording, the second attempt killed", "recording", "attempts 2\n", nullptr, CacheMode::Record, "recording",
         "attempts 3\n"},
        {"recording, the third attempt killed: no more", "recording", "attempts 3\n", nullptr, CacheMode::Use, "failed", ""},
        {"building, its build runs", "building", "",
         [](Harness& t, const WideString& base) {
             t.fake.files.contents[base + u".18.build"] = "";
             t.fake.files.modifiedAt[base + u".18.build"] = t.fake.files.clock;
             t.fake.process.alive.insert(18);
         },
         CacheMode::Use, "building", ""},
        {"building, its build died", "building", "",
         [](Harness& t, const WideString& base) { t.fake.files.contents[base + u".18.build"] = ""; }, CacheMode::Record,
         "recording", "attempts 2\n"},
        {"building, started a moment ago, no marker yet", "building", "", nullptr, CacheMode::Use, "building", ""},
        {"building, started long ago, never a marker", "building", "",
         [](Harness& t, const WideString&) { t.fake.files.clock += 3600; }, CacheMode::Record, "recording", "attempts 2\n"},
    };
    for (const Case& c : cases) {
        Harness t;
        const WideString base = t.useArchiveOn25();
        std::string record = formatRecord({c.state, 0, 0, t.currentKey()});
        record.insert(record.find("key\n"), c.attemptsLine);
        t.fake.files.writeFile(base + u".aot.meta", record);
        if (c.setUp) c.setUp(t, base);
        t.prepare();
        EXPECT_EQ(t.launcher.startupCache.mode, c.mode) << c.name << "\n" << t.traced;
        const std::string after = t.fake.files.contents[base + u".aot.meta"];
        EXPECT_EQ(after.find("state " + std::string(c.stateAfter) + "\n"), 23u) << c.name << "\n" << after;
        if (*c.attemptsAfter) {
            EXPECT_NE(after.find(c.attemptsAfter), std::string::npos) << c.name << "\n" << after;
        }
    }
}

#ifndef _WIN32
// A start or build that has ended but is not yet reaped by its parent (a
// zombie) runs no more: what it left is stale.
TEST(StartupCacheProcesses, AnEndedProcessNotYetReapedRunsNoMore) {
    Process& process = systemPlatform().process;
    const pid_t child = fork();
    if (child == 0) _exit(0);
    ASSERT_GT(child, 0);
    siginfo_t info{};
    // Waits for its end and leaves it unreaped.
    ASSERT_EQ(waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOWAIT), 0);
    EXPECT_FALSE(process.processAlive(static_cast<std::uint32_t>(child)));
    EXPECT_TRUE(process.waitForEnd(static_cast<std::uint32_t>(child), 0));
    waitpid(child, nullptr, 0);
    EXPECT_FALSE(process.processAlive(static_cast<std::uint32_t>(child)));
    EXPECT_TRUE(process.processAlive(static_cast<std::uint32_t>(getpid())));
}
#endif

}  // namespace
}  // namespace corvid
