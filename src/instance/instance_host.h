// What every platform's channel of single-instance mode shares: the
// first instance's gate to its JVM, the count of its workers, and
// serveRequest, which hands one forwarded argument list to secondaryMain.
// A platform channel (instance_channel_win.cpp, instance_channel_posix.cpp)
// carries requests and replies between the processes and starts one worker
// thread per request.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "instance/instance_block.h"
#include "platform/lock.h"
#include "platform/trace.h"

struct JavaVM_;

namespace corvid {

class Launcher;

// One forwarded start, owned by the worker that serves it. Answered once,
// through the InstanceHost: reply or notServed, or the end of the process.
class ForwardRequest {
public:
    virtual ~ForwardRequest() = default;
    // Answers the requesting start; failures are ignored.
    virtual void reply(std::int32_t value) = 0;
    // Nobody will serve the request (no JVM any more, or it refused the
    // thread): the requesting start is told so and, once this instance has
    // ended, runs as a first instance of its own.
    virtual void notServed() = 0;
    // The int secondaryMain is about to be called with the arguments: an end
    // of this instance before it returns answers with the exit code. Until
    // then that end answers "not served".
    virtual void calling() {}

    ArgumentList arguments{};

private:
    friend class InstanceHost;
    bool answered_ = false;  // guarded by the host's lock
};

// Shared by the channel and its workers (each holds a reference), so a worker
// that the JVM never lets go of at its very end still finds it valid.
class InstanceHost {
public:
    explicit InstanceHost(Launcher& launcher);

    // The JVM exists; waiting requests go ahead. Called on the Java thread,
    // once the configuration has been read.
    void jvmCreated(JavaVM_* vm);
    // The JVM is gone (DestroyJavaVM has returned) or will never exist: no
    // request reaches it from now on, and waiting ones are not served.
    void closeGate();

    // Counts a worker about to start, and its end. waitForWorkers returns when
    // every worker has ended, except those still inside the JVM: after
    // DestroyJavaVM has returned, a JVM may hold a thread that came in its
    // last instant for good, and teardown must not wait for it.
    void workerStarting();
    void workerEnded();
    void waitForWorkers();
    // After the JVM is gone: the requests of the workers it still holds can
    // no longer be served (not even their call of secondaryMain, which may
    // never have begun), and are answered so.
    void refuseHeldRequests();

    // A request's answers; each request is answered once, whatever comes later.
    void reply(ForwardRequest& request, std::int32_t value);
    void notServed(ForwardRequest& request);
    void calling(ForwardRequest& request);
    // Ends the trace: workers that outlive teardown write nothing more.
    void stopTracing();

    bool tracing();
    template <typename... Pieces>
    void trace(const Pieces&... pieces) {
        std::lock_guard<Mutex> lock(mutex_);
        if (trace_) trace_->line(pieces...);
    }

private:
    friend void serveRequest(InstanceHost& host, ForwardRequest& request);
    // Blocks until the JVM exists; nullptr when it never will or is gone.
    // Otherwise the request counts as inside the JVM until leaveJvm.
    JavaVM_* enterJvm(ForwardRequest& request);
    void leaveJvm(ForwardRequest& request);

    enum class Gate { Waiting, Open, Closed };
    Launcher& launcher_;
    Mutex mutex_;
    ConditionVariable changed_;
    Gate gate_ = Gate::Waiting;
    JavaVM_* vm_ = nullptr;
    WideString mainClass_;
    Trace* trace_;
    int workers_ = 0;
    std::vector<ForwardRequest*> inJvm_;
};

// The worker's body: attach, find the main class, call the void or the int
// secondaryMain with the unpacked arguments, reply, describe what is
// pending, detach. A main class without secondaryMain is answered -1 at once;
// other requests that cannot be served are answered "not served".
void serveRequest(InstanceHost& host, ForwardRequest& request);

// A platform channel, held by the launcher from openInstanceChannel to
// closeInstanceChannel.
class InstanceChannel {
public:
    virtual ~InstanceChannel() = default;
    // Second instance: the first instance's reply, or its exit code when it
    // ended during the int secondaryMain; nullopt when nobody served the
    // request, once that first instance has ended (a new start may then take
    // its place).
    virtual std::optional<std::int32_t> waitForReply() = 0;
    // Stops taking requests and releases the channel's objects; in a first
    // instance after every worker has ended.
    virtual void close() = 0;
    // The first instance's shared part; nullptr in a second instance.
    virtual std::shared_ptr<InstanceHost> host() { return nullptr; }
};

enum class ChannelRole {
    Off,             // the channel could not be set up: run as if the mode were off
    First,           // this process serves the requests
    Second,          // the arguments have been taken by the first instance
    HandOverFailed,  // a first instance exists, but the arguments could not reach it
};

struct OpenedChannel {
    ChannelRole role = ChannelRole::Off;
    std::shared_ptr<InstanceChannel> channel;  // set for First and Second
};

// Creates the channel named `name`, or hands the launcher's arguments to the
// instance that has it. Implemented once per platform.
OpenedChannel openSystemInstanceChannel(Launcher& launcher, const WideString& name);

}  // namespace corvid
