#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "config/config_file.h"
#include "instance/instance_block.h"
#include "instance/instance_channel.h"
#include "instance/instance_host.h"
#include "java/java_api.h"
#include "jvm/jvm_loader.h"
#include "start/launcher.h"
#include "support/fake_platform.h"

namespace corvid {
namespace {

using testing::FakePlatform;

// The text's bytes, cut or padded with zeros to `size`.
std::vector<unsigned char> bytesOf(const std::string& text, std::size_t size) {
    std::vector<unsigned char> list(size, 0);
    std::copy_n(text.begin(), std::min(size, text.size()), list.begin());
    return list;
}

TEST(ArgumentPacking, WhatGoesInComesOutAsTheListRulesSay) {
    const struct {
        const char* name;
        WideList arguments;
        WideList unpacked;
    } cases[] = {
        {"no arguments read as one empty text", {}, {u""}},
        {"in order", {u"one", u"two words", u"-nosplash"}, {u"one", u"two words", u"-nosplash"}},
        {"an empty argument ends the list", {u"a", u"", u"b"}, {u"a"}},
        {"only an empty argument after the first ends the list", {u"", u"b", u"", u"c"}, {u"", u"b"}},
        {"non-ASCII in the narrow form", {u"gr\u00fc\u00dfe"}, {u"gr\u00fc\u00dfe"}},
        {"exactly full", {WideString(1000, u'x'), WideString(37, u'y')}, {WideString(1000, u'x'), WideString(37, u'y')}},
    };
    for (const auto& c : cases) {
        std::vector<unsigned char> list(kArgumentListSize, 0xAB);
        ASSERT_TRUE(packArguments(c.arguments, list.data(), list.size())) << c.name;
        EXPECT_EQ(unpackArguments(list.data(), list.size()), c.unpacked) << c.name;
    }
}

TEST(ArgumentPacking, CountsNarrowBytesAndTerminatorsAgainstTheSize) {
    const struct {
        const char* name;
        WideList arguments;
        bool fits;
    } cases[] = {
        {"1038 bytes, its NUL and the final NUL: 1040", {WideString(1038, u'a')}, true},
        {"1039 bytes: 1041", {WideString(1039, u'a')}, false},
        {"many empty arguments, one NUL each", WideList(1039, u""), true},
        {"one empty argument too many", WideList(1040, u""), false},
    };
    for (const auto& c : cases) {
        std::vector<unsigned char> list(kArgumentListSize, 0xAB);
        EXPECT_EQ(packArguments(c.arguments, list.data(), list.size()), c.fits) << c.name;
        // A list that does not fit leaves the block as it was.
        if (!c.fits) {
            EXPECT_EQ(list, std::vector<unsigned char>(kArgumentListSize, 0xAB)) << c.name;
        }
    }
}

TEST(ArgumentPacking, WritesTheBytesOfTheNarrowForm) {
    std::vector<unsigned char> list(16, 0xAB);
    ASSERT_TRUE(packArguments({u"\u00fc", u"b"}, list.data(), list.size()));
#ifdef _WIN32
    const std::string expected("\xfc\0b\0", 4);  // the ANSI code page, not UTF-8
#else
    const std::string expected("\xc3\xbc\0b\0", 5);
#endif
    EXPECT_EQ(list, bytesOf(expected, 16));
}

// The block is writable by any process of the user: whatever it holds, the
// scan stays inside it. The lists live on the heap, so the sanitizer build
// sees a read past the end.
TEST(ArgumentUnpacking, AnyBytesAtAll) {
    const std::string full(kArgumentListSize - 2, 'x');
    const struct {
        const char* name;
        std::vector<unsigned char> list;
        WideList expected;
    } cases[] = {
        {"no NUL anywhere: nothing", std::vector<unsigned char>(kArgumentListSize, 'A'), {}},
        {"one NUL at the very end only: nothing", bytesOf(std::string(kArgumentListSize - 1, 'A'), kArgumentListSize), {}},
        {"an unfinished last string is dropped", bytesOf(std::string("a\0b", 3) + std::string(kArgumentListSize, 'B'), kArgumentListSize), {u"a"}},
        {"the last two bytes end the list", bytesOf(full, kArgumentListSize), {fromAscii(full)}},
        {"the last byte is never part of a string", bytesOf(full + std::string("\0z", 2), kArgumentListSize), {fromAscii(full)}},
        {"an empty list", std::vector<unsigned char>{}, {}},
        {"one byte", std::vector<unsigned char>{0}, {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(unpackArguments(c.list.data(), c.list.size()), c.expected) << c.name;
    }
}

TEST(InstanceName, BackslashesBecomeUnderscoresAndNothingElseChanges) {
    const struct {
        const char16_t* path;
        const char16_t* name;
    } cases[] = {
        {u"C:\\Apps\\Tool\\tool.exe", u"C:_Apps_Tool_tool.exe"},
        {u"C:\\APPS\\Tool\\TOOL.EXE", u"C:_APPS_Tool_TOOL.EXE"},
        {u"\\\\server\\share\\a b.exe", u"__server_share_a b.exe"},
        {u"/opt/app/hello", u"/opt/app/hello"},
    };
    for (const auto& c : cases) EXPECT_EQ(instanceName(c.path), c.name) << toUtf8(c.path);
}

TEST(InstanceSwitches, OnlyExactWordsCount) {
    const struct {
        const char16_t* application;
        InstanceSwitch expected;
    } cases[] = {
        {u"Single Instance=yes\n", InstanceSwitch::On},
        {u"Single Instance=Yes\n", InstanceSwitch::NotAsked},
        {u"Single Instance=YES\n", InstanceSwitch::NotAsked},
        {u"Single Instance=true\n", InstanceSwitch::NotAsked},
        {u"", InstanceSwitch::NotAsked},
        {u"Application Type=service\nSingle Instance=yes\n", InstanceSwitch::Service},
        {u"Application Type=Service\nSingle Instance=yes\n", InstanceSwitch::On},
        {u"Application Type=service\n", InstanceSwitch::Service},
    };
    for (const auto& c : cases) {
        FakePlatform fake;
        const WideString file = u"app.ini";
        fake.profiles.files[file] = WideString(u"[Application]\n") + c.application;
        EXPECT_EQ(readInstanceSwitch(fake.platform, file), c.expected) << toUtf8(c.application);
    }
}

// ---- the gate between forwarded requests and the JVM -------------------------

std::atomic<int> attaches{0};

jint JNICALL refuseAttach(JavaVM*, void**, void*) {
    ++attaches;
    return JNI_ERR;
}

class CountingRequest final : public ForwardRequest {
public:
    void reply(std::int32_t) override { ++replies; }
    void notServed() override { ++notServedAnswers; }
    std::atomic<int> replies{0};
    std::atomic<int> notServedAnswers{0};
};

struct GateFixture {
    GateFixture() : launcher(fake.platform, trace, {u"app", std::nullopt}) {
        table.AttachCurrentThread = refuseAttach;
        vm.functions = &table;
        attaches = 0;
    }
    FakePlatform fake;
    Trace trace;
    Launcher launcher;
    JNIInvokeInterface_ table{};
    JavaVM vm{};
};

TEST(InstanceGate, RequestsWaitForTheJvmAndNeverReachOneThatIsGone) {
    const struct {
        const char* name;
        bool createBefore;
        bool closeBefore;
        bool createWhileWaiting;
        int attaches;
    } cases[] = {
        {"JVM already there", true, false, false, 1},
        {"JVM created while the request waits", false, false, true, 1},
        {"JVM never created", false, true, false, 0},
        {"JVM destroyed", true, true, false, 0},
    };
    for (const auto& c : cases) {
        GateFixture f;
        InstanceHost host(f.launcher);
        if (c.createBefore) host.jvmCreated(&f.vm);
        if (c.closeBefore) host.closeGate();
        CountingRequest request;
        std::atomic<bool> done{false};
        std::thread worker([&] {
            serveRequest(host, request);
            done = true;
        });
        if (c.createWhileWaiting) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            EXPECT_FALSE(done.load()) << c.name << ": served before the JVM existed";
            EXPECT_EQ(attaches.load(), 0) << c.name;
            host.jvmCreated(&f.vm);
        }
        worker.join();
        EXPECT_EQ(attaches.load(), c.attaches) << c.name;
        // Refused or not attempted, the request is answered "not served".
        EXPECT_EQ(request.notServedAnswers.load(), 1) << c.name;
        EXPECT_EQ(request.replies.load(), 0) << c.name;
    }
}

TEST(InstanceGate, ClosingReleasesEveryWaitingRequest) {
    GateFixture f;
    InstanceHost host(f.launcher);
    std::vector<CountingRequest> requests(5);
    std::vector<std::thread> workers;
    for (auto& request : requests) workers.emplace_back([&] { serveRequest(host, request); });
    host.closeGate();
    for (auto& worker : workers) worker.join();
    EXPECT_EQ(attaches.load(), 0);
    for (const auto& request : requests) EXPECT_EQ(request.notServedAnswers.load(), 1);
}

std::atomic<bool> attachMayReturn{false};

// A JVM at its very end, which holds a thread that attaches for good (here
// until the test lets it go, refused).
jint JNICALL holdAttach(JavaVM*, void**, void*) {
    ++attaches;
    while (!attachMayReturn) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return JNI_ERR;
}

// Teardown does not wait for a worker the JVM holds, but its start must not
// be left to the process's end, which would answer with the exit code as if
// secondaryMain had run: it is told at once that nobody will serve it.
TEST(InstanceGate, ARequestTheEndedJvmHoldsIsAnsweredNotServedOnce) {
    GateFixture f;
    f.table.AttachCurrentThread = holdAttach;
    attachMayReturn = false;
    InstanceHost host(f.launcher);
    host.jvmCreated(&f.vm);
    CountingRequest request;
    host.workerStarting();
    std::thread worker([&] {
        serveRequest(host, request);
        host.workerEnded();
    });
    while (attaches.load() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    host.closeGate();
    host.waitForWorkers();  // returns: the worker is inside the JVM
    EXPECT_EQ(request.notServedAnswers.load(), 0);
    host.refuseHeldRequests();
    EXPECT_EQ(request.notServedAnswers.load(), 1);
    attachMayReturn = true;
    worker.join();
    EXPECT_EQ(request.notServedAnswers.load(), 1) << "answered twice";
    EXPECT_EQ(request.replies.load(), 0);
}

// A first instance's channel that only holds the shared part.
class HostOnlyChannel final : public InstanceChannel {
public:
    explicit HostOnlyChannel(Launcher& launcher) : host_(std::make_shared<InstanceHost>(launcher)) {}
    std::optional<std::int32_t> waitForReply() override { return -1; }
    void close() override { host_->closeGate(); }
    std::shared_ptr<InstanceHost> host() override { return host_; }

private:
    std::shared_ptr<InstanceHost> host_;
};

// Teardown's later steps (the start-up cache, stopping the listener) take
// time; the gate must already be shut when DestroyJavaVM returns.
TEST(InstanceGate, ClosesWhenDestroyJavaVmReturns) {
    static GateFixture* fixture = nullptr;
    static CountingRequest* duringDestroy = nullptr;
    GateFixture f;
    fixture = &f;
    f.table.DestroyJavaVM = [](JavaVM*) -> jint {
        // The program's last thread still runs: a request is let in.
        serveRequest(*fixture->launcher.instanceChannel->host(), *duringDestroy);
        return JNI_OK;
    };
    CountingRequest during, after;
    duringDestroy = &during;
    f.launcher.singleInstance = f.launcher.isFirstInstance = true;
    f.launcher.instanceChannel = std::make_shared<HostOnlyChannel>(f.launcher);
    f.launcher.javaVm = &f.vm;
    jvmCreatedForInstances(f.launcher);
    destroyJavaVm(f.launcher);
    EXPECT_EQ(attaches.load(), 1);
    serveRequest(*f.launcher.instanceChannel->host(), after);
    EXPECT_EQ(attaches.load(), 1) << "a request reached the destroyed JVM";
    EXPECT_EQ(after.notServedAnswers.load(), 1);
    EXPECT_EQ(after.replies.load(), 0);
}

// Two starts of one executable in this process, through the system's real
// channel: the first is opened here, the second on a thread of its own.
struct TwoStarts {
    TwoStarts()
        : module(testing::nativePath(u"C:/corvid-test-" + fromAscii(std::to_string(uniqueNumber())) + u"/tool.exe")),
          first(fake.platform, trace, {u"tool.exe", std::nullopt}),
          second(fake.platform, trace, {u"tool.exe doc", std::nullopt}) {
        fake.process.module = {true, module, 0};
        fake.profiles.files[*configFilePathFor(module)] = u"[Application]\nSingle Instance=yes\n";
        second.arguments = {u"doc"};
    }
    // Apart from runs of the same test in other processes.
    static long long uniqueNumber() {
        static std::atomic<int> count{0};
        return std::chrono::steady_clock::now().time_since_epoch().count() + ++count;
    }
    void startSecond() {
        secondDone = std::async(std::launch::async, [this] { return openInstanceChannel(second); });
    }
    bool secondEnds(std::chrono::milliseconds within) {
        return secondDone.wait_for(within) == std::future_status::ready;
    }

    FakePlatform fake;
    Trace trace;
    WideString module;
    Launcher first;
    Launcher second;
    std::future<bool> secondDone;
};

// A request taken when no JVM will serve it any more is not answered with
// the first instance's exit code, which reads as success although the
// document went nowhere: its start waits for that instance to go and then
// runs as the first instance itself.
TEST(InstanceHandOver, ARequestNobodyServesMakesItsStartTheNextFirstInstance) {
    const struct {
        const char* name;
        bool jvmGoneBeforeRequest;
    } cases[] = {
        {"the first instance's JVM is gone", true},
        {"the first instance ends before its JVM exists", false},
    };
    for (const auto& c : cases) {
        TwoStarts starts;
        ASSERT_TRUE(openInstanceChannel(starts.first)) << c.name;
        ASSERT_TRUE(starts.first.singleInstance && starts.first.isFirstInstance) << c.name;
        if (c.jvmGoneBeforeRequest) jvmDestroyedForInstances(starts.first);
        starts.startSecond();
        EXPECT_FALSE(starts.secondEnds(std::chrono::milliseconds(300)))
            << c.name << ": the second start ended while the first instance still held the channel";
        closeInstanceChannel(starts.first);
        if (!starts.secondEnds(std::chrono::seconds(20))) {
            ADD_FAILURE() << c.name << ": the second start did not end";
            continue;
        }
        EXPECT_TRUE(starts.secondDone.get()) << c.name;
        EXPECT_TRUE(starts.second.singleInstance) << c.name;
        EXPECT_TRUE(starts.second.isFirstInstance) << c.name << ": answered as a second instance";
        closeInstanceChannel(starts.second);
    }
}

TEST(InstanceChannelOpening, ModeOffOrNoConfigurationPathLeavesNoChannel) {
    FakePlatform fake;
    Trace trace;
    fake.profiles.files[testing::nativePath(u"C:/Apps/Tool/tool.ini")] = u"[Application]\nSingle Instance=Yes\n";
    Launcher launcher(fake.platform, trace, {u"tool.exe a", std::nullopt});
    EXPECT_TRUE(openInstanceChannel(launcher));
    EXPECT_FALSE(launcher.singleInstance);
    EXPECT_FALSE(launcher.instanceChannel);

    fake.process.module = {false, {}, 5};
    EXPECT_FALSE(openInstanceChannel(launcher));
    EXPECT_FALSE(launcher.singleInstance);
}

}  // namespace
}  // namespace corvid
