#include "instance/instance_channel.h"

#include <algorithm>

#include "config/config_file.h"
#include "instance/instance_host.h"
#include "java/java_api.h"
#include "java/java_strings.h"
#include "start/launcher.h"

namespace corvid {

InstanceSwitch readInstanceSwitch(Platform& platform, const WideString& configFile) {
    // Exact words: "Service" and "Yes" do not count.
    if (readConfigValue(platform, configFile, u"Application", u"Application Type") == u"service") {
        return InstanceSwitch::Service;
    }
    if (readConfigValue(platform, configFile, u"Application", u"Single Instance") != u"yes") {
        return InstanceSwitch::NotAsked;
    }
    return InstanceSwitch::On;
}

namespace {

// A start whose first instance ended without serving it starts over; each
// round waits for one first instance's end, so this only stops a peer that
// keeps refusing.
constexpr int kMostStartOvers = 10;

// A second start's channel once the answer is in: nothing is held open.
class AnsweredChannel final : public InstanceChannel {
public:
    explicit AnsweredChannel(std::int32_t answer) : answer_(answer) {}
    std::optional<std::int32_t> waitForReply() override { return answer_; }
    void close() override {}

private:
    std::int32_t answer_;
};

}  // namespace

bool openInstanceChannel(Launcher& launcher) {
    launcher.singleInstance = false;
    launcher.isFirstInstance = false;
    const std::optional<WideString> configFile = getConfigFilePath(launcher);
    if (!configFile) return false;
    Trace& trace = launcher.trace;
    const InstanceSwitch requested = readInstanceSwitch(launcher.platform, *configFile);
    if (requested != InstanceSwitch::On) {
        if (trace.enabled()) {
            trace.line(requested == InstanceSwitch::Service ? "single instance off: the application is a service"
                                                            : "single instance off: not asked for");
        }
        return true;
    }
    const WideString name = instanceName(launcher.platform.process.modulePath().path);
    if (trace.enabled()) trace.line("single instance on: channel ", name);
    // The answer is awaited here, not in the run phase: a start whose request
    // nobody served becomes a first instance of its own, as one that found no
    // listener does, and only the initialisation can still make it one.
    for (int round = 1;; ++round) {
        OpenedChannel opened = openSystemInstanceChannel(launcher, name);
        switch (opened.role) {
            case ChannelRole::Off:
                if (trace.enabled()) trace.line("single instance dropped: the channel could not be set up");
                return true;
            case ChannelRole::HandOverFailed:
                if (trace.enabled()) trace.line("second instance: the arguments could not be handed over");
                return false;
            case ChannelRole::First:
                launcher.instanceChannel = std::move(opened.channel);
                launcher.singleInstance = true;
                launcher.isFirstInstance = true;
                if (trace.enabled()) trace.line("first instance");
                return true;
            case ChannelRole::Second:
                break;
        }
        if (trace.enabled()) {
            trace.line("second instance: arguments handed over");
            trace.line("second instance: waiting for the answer");
        }
        const std::optional<std::int32_t> answer = opened.channel->waitForReply();
        opened.channel->close();
        if (answer) {
            if (trace.enabled()) trace.line("second instance: answer ", *answer);
            launcher.instanceChannel = std::make_shared<AnsweredChannel>(*answer);
            launcher.singleInstance = true;
            return true;
        }
        if (trace.enabled()) trace.line("second instance: the first instance ended without serving the request, starting over");
        if (round == kMostStartOvers) {
            if (trace.enabled()) trace.line("second instance: not served ", round, " times, giving up");
            return false;
        }
    }
}

std::int32_t waitForReply(Launcher& launcher) {
    if (!launcher.instanceChannel) return -1;
    return launcher.instanceChannel->waitForReply().value_or(-1);
}

void closeInstanceChannel(Launcher& launcher) {
    if (!launcher.singleInstance || !launcher.instanceChannel) return;
    launcher.instanceChannel->close();
    launcher.instanceChannel.reset();
    if (launcher.trace.enabled()) launcher.trace.line("single instance channel closed");
}

void jvmCreatedForInstances(Launcher& launcher) {
    const auto host = launcher.instanceChannel ? launcher.instanceChannel->host() : nullptr;
    if (host) host->jvmCreated(launcher.javaVm);
}

void jvmDestroyedForInstances(Launcher& launcher) {
    const auto host = launcher.instanceChannel ? launcher.instanceChannel->host() : nullptr;
    if (!host) return;
    host->closeGate();
    if (launcher.trace.enabled()) launcher.trace.line("single instance: the JVM is gone, requests are no longer served");
}

// ---- the first instance's shared part ----------------------------------------

InstanceHost::InstanceHost(Launcher& launcher) : launcher_(launcher), trace_(&launcher.trace) {}

void InstanceHost::jvmCreated(JavaVM_* vm) {
    std::lock_guard<Mutex> lock(mutex_);
    if (gate_ != Gate::Waiting) return;
    vm_ = vm;
    mainClass_ = launcher_.mainClass;
    gate_ = Gate::Open;
    changed_.notify_all();
}

void InstanceHost::closeGate() {
    std::lock_guard<Mutex> lock(mutex_);
    gate_ = Gate::Closed;
    vm_ = nullptr;
    changed_.notify_all();
}

JavaVM_* InstanceHost::enterJvm(ForwardRequest& request) {
    std::unique_lock<Mutex> lock(mutex_);
    if (gate_ == Gate::Waiting && trace_ && trace_->enabled()) trace_->line("forwarded request waits for the JVM");
    changed_.wait(lock, [this] { return gate_ != Gate::Waiting; });
    if (gate_ == Gate::Closed) return nullptr;
    inJvm_.push_back(&request);
    return vm_;
}

void InstanceHost::leaveJvm(ForwardRequest& request) {
    std::lock_guard<Mutex> lock(mutex_);
    inJvm_.erase(std::find(inJvm_.begin(), inJvm_.end(), &request));
    changed_.notify_all();
}

void InstanceHost::workerStarting() {
    std::lock_guard<Mutex> lock(mutex_);
    ++workers_;
}

void InstanceHost::workerEnded() {
    std::lock_guard<Mutex> lock(mutex_);
    --workers_;
    changed_.notify_all();
}

void InstanceHost::waitForWorkers() {
    std::unique_lock<Mutex> lock(mutex_);
    changed_.wait(lock, [this] { return static_cast<std::size_t>(workers_) == inJvm_.size(); });
}

void InstanceHost::refuseHeldRequests() {
    std::lock_guard<Mutex> lock(mutex_);
    for (ForwardRequest* request : inJvm_) {
        if (request->answered_) continue;
        request->answered_ = true;
        request->notServed();
        if (trace_ && trace_->enabled()) trace_->line("forwarded request not served: the JVM ended while it held the request");
    }
}

void InstanceHost::reply(ForwardRequest& request, std::int32_t value) {
    std::lock_guard<Mutex> lock(mutex_);
    if (request.answered_) return;
    request.answered_ = true;
    request.reply(value);
}

void InstanceHost::notServed(ForwardRequest& request) {
    std::lock_guard<Mutex> lock(mutex_);
    if (request.answered_) return;
    request.answered_ = true;
    request.notServed();
}

void InstanceHost::calling(ForwardRequest& request) {
    std::lock_guard<Mutex> lock(mutex_);
    if (!request.answered_) request.calling();
}

void InstanceHost::stopTracing() {
    std::lock_guard<Mutex> lock(mutex_);
    trace_ = nullptr;
}

bool InstanceHost::tracing() {
    std::lock_guard<Mutex> lock(mutex_);
    return trace_ && trace_->enabled();
}

namespace {

// Clears a pending exception, as a failed method lookup leaves one.
void clearPending(JNIEnv* env) {
    jthrowable pending = env->ExceptionOccurred();
    if (!pending) return;
    env->ExceptionClear();
    env->DeleteLocalRef(pending);
}

// What a request does while attached; false when it was not served.
bool callSecondaryMain(InstanceHost& host, const WideString& mainClassName, JNIEnv* env, ForwardRequest& request) {
    const bool tracing = host.tracing();
    jclass mainClass = env->FindClass(toNarrow(mainClassName).c_str());
    if (!mainClass) {
        if (tracing) host.trace("forwarded request not served: main class not found");
        return false;
    }
    jmethodID method = env->GetStaticMethodID(mainClass, "secondaryMain", "([Ljava/lang/String;)V");
    clearPending(env);
    const bool intForm = method == nullptr;
    if (intForm) method = env->GetStaticMethodID(mainClass, "secondaryMain", "([Ljava/lang/String;)I");
    if (!method) {
        // Not served, the second start would wait for this instance's end
        // before it opens the document itself: it learns at once that the
        // application cannot take it.
        clearPending(env);
        host.reply(request, -1);
        if (tracing) host.trace("forwarded request answered -1: the main class has no secondaryMain, which single-instance mode needs");
        env->DeleteLocalRef(mainClass);
        return true;
    }
    const WideList arguments = unpackArguments(request.arguments.data(), request.arguments.size());
    jobjectArray array = newJavaStringArray(arguments, env);
    if (!array) {
        if (tracing) host.trace("forwarded request not served: the argument array could not be built");
        env->DeleteLocalRef(mainClass);
        return false;
    }
    const std::string form = intForm ? "int" : "void";
    if (tracing) {
        host.trace("forwarded request: ", form, " secondaryMain, ", arguments.size(), " arguments");
    }
    if (intForm) {
        host.calling(request);
        const jint result = env->CallStaticIntMethod(mainClass, method, array);
        host.reply(request, result);
        if (tracing) host.trace("forwarded request answered ", result, " after the call");
    } else {
        // The requesting start is released before the application has
        // handled its arguments.
        host.reply(request, 0);
        if (tracing) host.trace("forwarded request answered 0 before the call");
        env->CallStaticVoidMethod(mainClass, method, array);
    }
    env->DeleteLocalRef(array);
    env->DeleteLocalRef(mainClass);
    return true;
}

}  // namespace

void serveRequest(InstanceHost& host, ForwardRequest& request) {
    JavaVM* vm = host.enterJvm(request);
    if (!vm) {
        if (host.tracing()) host.trace("forwarded request not served: no JVM");
        host.notServed(request);
        return;
    }
    JNIEnv* env = nullptr;
    const jint attached = vm->AttachCurrentThread(reinterpret_cast<void**>(&env), nullptr);
    if (attached != JNI_OK || !env) {
        if (host.tracing()) host.trace("forwarded request not served: AttachCurrentThread returned ", attached);
        host.notServed(request);
        host.leaveJvm(request);
        return;
    }
    // Written once by jvmCreated, before the gate opened.
    if (!callSecondaryMain(host, host.mainClass_, env, request)) host.notServed(request);
    describePendingException(env);
    vm->DetachCurrentThread();
    host.leaveJvm(request);
}

}  // namespace corvid
