// The real system's child processes and scratch files: what a restart or a
// build inherits, and what the main-class check writes its words into.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "platform/platform.h"

#ifdef _WIN32
#include "platform/windows_api.h"
#else
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace corvid {
namespace {

// A new empty folder for one test, under the system's temporary folder.
WideString freshFolder(const char* name) {
#ifdef _WIN32
    wchar_t base[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, base);
    WideString folder = fromWide(base, length) + u"corvid-" + fromAscii(name) + u"-" +
                        fromAscii(std::to_string(GetCurrentProcessId()));
#else
    const char* base = std::getenv("TMPDIR");
    WideString folder = fromNarrow(base && *base ? base : "/tmp") + u"/corvid-" + fromAscii(name) + u"-" +
                        fromAscii(std::to_string(getpid()));
#endif
    FileSystem& files = systemFileSystem();
    if (const auto names = files.list(folder)) {
        for (const WideString& entry : *names) files.remove(folder + kPathSeparator + entry);
    }
    files.createDirectory(folder);
    return folder;
}

// The file's text once its writer has put it in place; nullopt after 30 s.
std::optional<std::string> awaitFile(const WideString& path, const std::string& lastLine) {
    for (int i = 0; i < 600; ++i) {
        if (const auto text = systemFileSystem().readFile(path, 1 << 16)) {
            if (text->size() >= lastLine.size() && text->compare(text->size() - lastLine.size(), lastLine.size(), lastLine) == 0) {
                return text;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return std::nullopt;
}

#ifndef _WIN32

// Prints which of the descriptors it was told of it holds, and two variables.
constexpr char kProbeScript[] = R"(#!/bin/sh
exec >"$CORVID_CHILD_OUT.part"
for n in $PROBED; do if [ -e /proc/$$/fd/$n ]; then echo "inherited $n"; fi; done
echo "probe=${CORVID_PROBE-unset} other=${CORVID_OTHER-unset}"
mv "$CORVID_CHILD_OUT.part" "$CORVID_CHILD_OUT"
)";

class ChildProcesses : public ::testing::Test {
protected:
    void SetUp() override {
        folder = freshFolder("children");
        script = folder + u"/probe.sh";
        ASSERT_TRUE(systemFileSystem().writeFile(script, kProbeScript));
        chmod(toNarrow(script).c_str(), 0755);
    }
    // Runs the probe detached or as a restart; its output, or nullopt.
    std::optional<std::string> run(bool detached, const char* outName) {
        const WideString out = folder + u"/" + fromAscii(outName);
        Process& process = systemProcess();
        const bool started = detached ? process.startDetached(script, u"CORVID_CHILD_OUT", out)
                                      : process.startAgain(script, {u"", WideList{}}, u"CORVID_CHILD_OUT", out);
        if (!started) return std::nullopt;
        return awaitFile(out, "\n");
    }
    WideString folder, script;
};

// The JVM opens its files and sockets without close-on-exec; a restarted
// program that finds its own port held by itself cannot listen on it.
TEST_F(ChildProcesses, HoldNoneOfThisProcessesFilesOrSockets) {
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    const int listening = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(listening, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listening, 1), 0);
    // Far above the shell's own descriptors (it keeps its script at 10 and up).
    const int probed[] = {fcntl(pipeEnds[1], F_DUPFD, 100), fcntl(listening, F_DUPFD, 200),
                          fcntl(pipeEnds[0], F_DUPFD, 900)};
    std::string list;
    for (const int fd : probed) {
        ASSERT_GE(fd, 100);
        list += std::to_string(fd) + " ";
    }
    setenv("PROBED", list.c_str(), 1);
    systemProcess().keepEnvironmentForChildren();
    for (const bool detached : {false, true}) {
        const auto printed = run(detached, detached ? "detached.txt" : "again.txt");
        ASSERT_TRUE(printed) << "detached " << detached;
        EXPECT_EQ(printed->find("inherited"), std::string::npos) << "detached " << detached << ": " << *printed;
    }
    unsetenv("PROBED");
    for (const int fd : probed) close(fd);
    close(listening);
    close(pipeEnds[0]);
    close(pipeEnds[1]);
}

TEST_F(ChildProcesses, AProgramThatCannotRunIsReported) {
    Process& process = systemProcess();
    const WideString missing = folder + u"/missing";
    const WideString notExecutable = folder + u"/plain.txt";
    ASSERT_TRUE(systemFileSystem().writeFile(notExecutable, "text"));
    for (const WideString& path : {missing, notExecutable}) {
        EXPECT_FALSE(process.startAgain(path, {u"", WideList{u"x"}}, u"CORVID_CHILD_OUT", u"x")) << toUtf8(path);
        EXPECT_FALSE(process.startDetached(path, u"CORVID_CHILD_OUT", u"x")) << toUtf8(path);
    }
}

// A start rewrites its search path and publishes the runtime before the JVM
// loads; its restarts and builds get the environment it was started with.
TEST_F(ChildProcesses, GetTheKeptEnvironmentWithTheirOneVariable) {
    setenv("CORVID_PROBE", "kept", 1);
    unsetenv("CORVID_OTHER");
    setenv("CORVID_CHILD_OUT", "the parent's own", 1);
    systemProcess().keepEnvironmentForChildren();
    setenv("CORVID_PROBE", "changed later", 1);
    setenv("CORVID_OTHER", "set later", 1);
    for (const bool detached : {false, true}) {
        const auto printed = run(detached, detached ? "detached.txt" : "again.txt");
        ASSERT_TRUE(printed) << "detached " << detached;
        EXPECT_EQ(*printed, "probe=kept other=unset\n") << "detached " << detached;
    }
    unsetenv("CORVID_PROBE");
    unsetenv("CORVID_OTHER");
    unsetenv("CORVID_CHILD_OUT");
}

#else

TEST(ChildProcesses, GetTheKeptEnvironmentWithTheirOneVariable) {
    const WideString folder = freshFolder("children");
    const WideString out = folder + u"\\again.txt";
    SetEnvironmentVariableW(L"CORVID_PROBE", L"kept");
    SetEnvironmentVariableW(L"CORVID_OTHER", nullptr);
    SetEnvironmentVariableW(L"CORVID_CHILD_OUT", L"the parent's own");
    systemProcess().keepEnvironmentForChildren();
    SetEnvironmentVariableW(L"CORVID_PROBE", L"changed later");
    SetEnvironmentVariableW(L"CORVID_OTHER", L"set later");
    const WideString cmd = systemEnvironment().get(u"SystemRoot").value_or(u"C:\\windows") + u"\\system32\\cmd.exe";
    ASSERT_TRUE(systemProcess().startAgain(
        cmd, {u"cmd.exe /d /c echo probe=%CORVID_PROBE% other=%CORVID_OTHER%>\"%CORVID_CHILD_OUT%\"", std::nullopt},
        u"CORVID_CHILD_OUT", out));
    // cmd leaves an unset variable's reference as written.
    EXPECT_EQ(awaitFile(out, "\r\n").value_or("(none)"), "probe=kept other=%CORVID_OTHER%\r\n");
    SetEnvironmentVariableW(L"CORVID_PROBE", nullptr);
    SetEnvironmentVariableW(L"CORVID_OTHER", nullptr);
    SetEnvironmentVariableW(L"CORVID_CHILD_OUT", nullptr);
}

#endif

// Writes through a descriptor of the file as Java's FileOutputStream would,
// and closes it as the stream's close does.
bool writeAsJava(std::int64_t descriptor, const std::string& bytes) {
#ifdef _WIN32
    HANDLE handle = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(descriptor));
    DWORD written = 0;
    const bool ok = WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                    written == bytes.size();
    CloseHandle(handle);
#else
    const int fd = static_cast<int>(descriptor);
    const bool ok = write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    close(fd);
#endif
    return ok;
}

// Points the system's temporary folder at `folder` for one test.
class TemporaryFolder {
public:
#ifdef _WIN32
    static constexpr const char16_t* kNames[] = {u"TMP", u"TEMP"};
#else
    static constexpr const char16_t* kNames[] = {u"TMPDIR"};
#endif
    explicit TemporaryFolder(const WideString& folder) {
        for (const char16_t* name : kNames) {
            saved.push_back(systemEnvironment().get(name));
            systemEnvironment().set(name, folder);
        }
    }
    ~TemporaryFolder() {
        for (std::size_t i = 0; i < saved.size(); ++i) {
            if (saved[i]) systemEnvironment().set(kNames[i], *saved[i]);
            else systemEnvironment().remove(kNames[i]);
        }
    }

private:
    std::vector<std::optional<WideString>> saved;
};

TEST(ScratchFile, TakesWordsWrittenThroughItsDescriptorsAndLeavesNoNameBehind) {
    const WideString folder = freshFolder("scratch");
    const TemporaryFolder temporary(folder);
    FileSystem& files = systemFileSystem();
    auto scratch = files.createScratchFile();
    ASSERT_TRUE(scratch);
    const auto first = scratch->javaDescriptor();
    const auto second = scratch->javaDescriptor();
    ASSERT_TRUE(first && second);
    EXPECT_NE(*first, *second);
    ASSERT_TRUE(writeAsJava(*first, "Error: Could not find or load main class x\n"));
    ASSERT_TRUE(writeAsJava(*second, "Caused by: \xc3\xa9\n"));
    const struct {
        std::size_t limit;
        const char* expected;
    } cases[] = {
        {1 << 16, "Error: Could not find or load main class x\nCaused by: \xc3\xa9\n"},
        {5, "Error"},
        {0, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(scratch->read(c.limit).value_or("(failed)"), c.expected) << c.limit;
    // On Linux it never has a name; on Windows it goes with its last handle.
#ifndef _WIN32
    EXPECT_EQ(files.list(folder).value_or(std::vector<WideString>{u"(unreadable)"}), std::vector<WideString>{});
#endif
    scratch.reset();
    EXPECT_EQ(files.list(folder).value_or(std::vector<WideString>{u"(unreadable)"}), std::vector<WideString>{});
}

}  // namespace
}  // namespace corvid
