#ifndef _WIN32
#error "instance_channel_win.cpp is for the Windows build only"
#endif

// The Windows channel: a paging-file-backed shared block named after the
// executable, a registered message of the same name, and thread messages.
// The first instance's listener thread takes each request's arguments out of
// the block, tells the requester with a "taken" message and starts a worker.
// The message's lParam says what it is: 0 a reply (the value in wParam), 1
// "taken", 2 "not served", 3 "calling" (the int secondaryMain is about to run
// for the request). A first instance that ends after "calling" answers with
// its exit code; one that ends before it has not served the request, and the
// second start then runs as a first instance of its own.
//
// Second starts take turns through a named mutex beside the block, held from
// writing the arguments until they have been taken, so two of them never
// share the one argument list. Whatever the block holds, a second start only
// posts to a thread that belongs to a live process named in it, and it waits
// on that process: ids left by a foreign writer, or recycled ones that name a
// live thread of that very process, at worst make it wait for that process's
// end.

#include <cstring>
#include <memory>
#include <string>
#include <optional>

#include "instance/instance_host.h"
#include "platform/win_handles.h"
#include "platform/windows_api.h"
#include "start/launcher.h"

namespace corvid {

namespace {

// How long a second start keeps trying while the block is not ready (ids not
// yet written, the listener's queue not yet there, a process that is gone).
constexpr ULONGLONG kHandOverPatienceMs = 5000;
constexpr DWORD kRetryPauseMs = 5;
constexpr LPARAM kReplyMark = 0;
constexpr LPARAM kTakenMark = 1;
constexpr LPARAM kNotServedMark = 2;
constexpr LPARAM kCallingMark = 3;

InstanceBlock* blockOf(const UniqueMappedView& view) { return static_cast<InstanceBlock*>(view.get()); }

bool isChannelMessage(const MSG& message, UINT messageId) {
    return message.hwnd == nullptr && message.message == messageId;
}

// What the first instance has told a second start so far.
struct Answers {
    bool taken = false;
    bool notServed = false;
    bool calling = false;
    std::optional<std::int32_t> reply;

    bool any() const { return taken || notServed || calling || reply; }
    // Takes every message waiting in the thread's queue; the others are of
    // no use to a start that has no windows.
    void collect(UINT messageId) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (!isChannelMessage(message, messageId)) continue;
            switch (message.lParam) {
                case kReplyMark:
                    reply = static_cast<std::int32_t>(static_cast<std::uint32_t>(message.wParam & 0xFFFFFFFFu));
                    break;
                case kTakenMark: taken = true; break;
                case kNotServedMark: notServed = true; break;
                case kCallingMark: calling = true; break;
                default: break;
            }
        }
    }
};

class MessageRequest final : public ForwardRequest {
public:
    MessageRequest(DWORD requester, UINT messageId) : requester_(requester), messageId_(messageId) {}

    void reply(std::int32_t value) override {
        // Sign-extended to the parameter's width.
        PostThreadMessageW(requester_, messageId_, static_cast<WPARAM>(static_cast<INT_PTR>(value)), kReplyMark);
    }
    void notServed() override { PostThreadMessageW(requester_, messageId_, 0, kNotServedMark); }
    void calling() override { PostThreadMessageW(requester_, messageId_, 0, kCallingMark); }

private:
    DWORD requester_;
    UINT messageId_;
};

class FirstInstanceChannel;

struct WorkerStart {
    std::shared_ptr<InstanceHost> host;
    std::unique_ptr<MessageRequest> request;
};

class FirstInstanceChannel final : public InstanceChannel {
public:
    FirstInstanceChannel(Launcher& launcher, UniqueKernelHandle mapping, UniqueMappedView view, UINT messageId)
        : host_(new InstanceHost(launcher)),
          mapping_(std::move(mapping)),
          view_(std::move(view)),
          messageId_(messageId) {}

    bool start() {
        InstanceBlock* block = blockOf(view_);
        block->messageId = messageId_;
        block->processId = GetCurrentProcessId();
        // The system writes the listener's id straight into the block.
        listener_.reset(CreateThread(nullptr, 0, listenerBody, this, 0,
                                     reinterpret_cast<DWORD*>(&block->listenerThreadId)));
        if (!listener_) return false;
        listenerId_ = GetThreadId(listener_.get());
        return true;
    }

    ~FirstInstanceChannel() override { close(); }

    std::optional<std::int32_t> waitForReply() override { return -1; }
    std::shared_ptr<InstanceHost> host() override { return host_; }

    void close() override {
        if (!view_) return;
        // A quit posted before the listener has its queue is lost: repeat.
        while (listener_) {
            PostThreadMessageW(listenerId_, WM_QUIT, 0, 0);
            if (WaitForSingleObject(listener_.get(), 10) != WAIT_TIMEOUT) listener_.reset();
        }
        host_->closeGate();
        host_->waitForWorkers();
        host_->refuseHeldRequests();
        host_->stopTracing();
        view_.reset();
        mapping_.reset();
    }

private:
    static DWORD WINAPI listenerBody(LPVOID self) { return static_cast<FirstInstanceChannel*>(self)->listen(); }

    static DWORD WINAPI workerBody(LPVOID start) {
        std::unique_ptr<WorkerStart> work(static_cast<WorkerStart*>(start));
        const std::shared_ptr<InstanceHost> host = work->host;
        serveRequest(*host, *work->request);
        work.reset();
        host->workerEnded();
        return 0;
    }

    DWORD listen() {
        MSG message;
        // The queue exists from here on; posts before this are refused and
        // retried by the sender.
        PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            if (!isChannelMessage(message, messageId_)) continue;
            const auto requester = static_cast<DWORD>(message.wParam & 0xFFFFFFFFu);
            auto request = std::make_unique<MessageRequest>(requester, messageId_);
            // Copied at once: the next second start may write the block as
            // soon as it knows this one's arguments are taken.
            std::memcpy(request->arguments.data(), blockOf(view_)->argumentList, request->arguments.size());
            PostThreadMessageW(requester, messageId_, 0, kTakenMark);
            if (host_->tracing()) host_->trace("forwarded request taken from thread ", requester);
            startWorker(std::move(request));
        }
        return 0;
    }

    void startWorker(std::unique_ptr<MessageRequest> request) {
        host_->workerStarting();
        auto* start = new WorkerStart{host_, std::move(request)};
        const UniqueKernelHandle worker(CreateThread(nullptr, 0, workerBody, start, 0, nullptr));
        if (worker) return;
        start->request->notServed();
        delete start;
        host_->workerEnded();
    }

    std::shared_ptr<InstanceHost> host_;
    UniqueKernelHandle mapping_;
    UniqueMappedView view_;
    UINT messageId_;
    UniqueKernelHandle listener_;
    DWORD listenerId_ = 0;
};

class SecondInstanceChannel final : public InstanceChannel {
public:
    SecondInstanceChannel(UniqueKernelHandle process, UniqueKernelHandle listener, UINT messageId,
                          const Answers& answers)
        : process_(std::move(process)), listener_(std::move(listener)), messageId_(messageId), answers_(answers) {}

    // The reply, or what the first instance's end means; no time limit. The
    // queue and the process are waited for at once, so a reply is seen as
    // soon as it is posted.
    std::optional<std::int32_t> waitForReply() override {
        HANDLE process = process_.get();
        for (;;) {
            answers_.collect(messageId_);
            if (answers_.reply) return answers_.reply;
            // Its listener still takes requests: start over once it has
            // stopped, when the block is about to go.
            if (answers_.notServed) {
                const HANDLE ends[2] = {process, listener_.get()};
                WaitForMultipleObjects(2, ends, FALSE, INFINITE);
                return std::nullopt;
            }
            const DWORD woke = MsgWaitForMultipleObjects(1, &process, FALSE, INFINITE, QS_POSTMESSAGE | QS_ALLPOSTMESSAGE);
            if (woke == WAIT_OBJECT_0 + 1) continue;
            // Ended (or the wait failed): a reply posted just before counts.
            answers_.collect(messageId_);
            if (answers_.reply) return answers_.reply;
            if (!answers_.calling) return std::nullopt;
            DWORD exitCode = 0;
            if (!GetExitCodeProcess(process, &exitCode)) return 0;
            return static_cast<std::int32_t>(exitCode);
        }
    }

    void close() override {
        process_.reset();
        listener_.reset();
    }

private:
    UniqueKernelHandle process_;
    UniqueKernelHandle listener_;
    UINT messageId_;
    Answers answers_;
};

enum class HandOver { Taken, Retry, Failed };

struct HandOverResult {
    HandOver outcome = HandOver::Retry;
    const char* why = "";
    bool firstEnded = false;
    UniqueKernelHandle process;
    UniqueKernelHandle listener;
    Answers answers;
};

struct FirstInstance {
    UniqueKernelHandle process;
    UniqueKernelHandle listener;
};

// The process and thread named in the block, when they are a live process
// and a live thread of it.
FirstInstance openFirstInstance(DWORD processId, DWORD threadId) {
    FirstInstance first;
    first.process.reset(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (!first.process || WaitForSingleObject(first.process.get(), 0) != WAIT_TIMEOUT) return {};
    first.listener.reset(OpenThread(SYNCHRONIZE | THREAD_QUERY_LIMITED_INFORMATION, FALSE, threadId));
    if (!first.listener || GetProcessIdOfThread(first.listener.get()) != processId ||
        WaitForSingleObject(first.listener.get(), 0) != WAIT_TIMEOUT) {
        return {};
    }
    return first;
}

// One attempt to hand the packed list over through an existing block.
HandOverResult handOver(const WideString& name, InstanceBlock* block, UINT messageId, const ArgumentList& packed,
                        ULONGLONG deadline, Trace& trace) {
    HandOverResult result;
    const DWORD threadId = block->listenerThreadId;
    const DWORD processId = block->processId;
    if (threadId == 0 || processId == 0 || block->messageId != messageId) {
        result.why = "the block is not ready";
        return result;
    }
    FirstInstance first = openFirstInstance(processId, threadId);
    if (!first.process) {
        result.why = "the block names no live listener";
        return result;
    }
    const UniqueKernelHandle mutex(CreateMutexW(nullptr, FALSE, wide(name + u":handover")));
    if (!mutex) {
        result.outcome = HandOver::Failed;
        result.why = "the hand-over mutex is not available";
        return result;
    }
    // The listener ends only with its instance, which then takes no more
    // requests: either end means starting again. They come first, as the
    // lowest signalled index wins.
    const HANDLE turn[3] = {first.process.get(), first.listener.get(), mutex.get()};
    const HANDLE* const ends = turn;
    DWORD got = WaitForMultipleObjects(3, turn, FALSE, 0);
    if (got == WAIT_TIMEOUT) {
        if (trace.enabled()) trace.line("second instance: waiting for another start's hand-over");
        got = WaitForMultipleObjects(3, turn, FALSE, INFINITE);
    }
    if (got == WAIT_OBJECT_0 || got == WAIT_OBJECT_0 + 1) {
        // The block may be gone by now.
        result.why = "the first instance ended";
        result.firstEnded = true;
        return result;
    }
    if (got != WAIT_OBJECT_0 + 2 && got != WAIT_ABANDONED_0 + 2) {
        result.outcome = HandOver::Failed;
        result.why = "waiting for the hand-over mutex failed";
        return result;
    }

    MSG message;
    // The reply is a thread message: the queue must exist before the post.
    PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    std::memcpy(block->argumentList, packed.data(), packed.size());
    // The foreground lock keeps a process that the user did not just start
    // from taking the foreground; this start may pass its right on, so that
    // secondaryMain can bring the document's window to the front.
    const bool allowed = AllowSetForegroundWindow(processId) != FALSE;
    if (trace.enabled()) {
        trace.line("second instance: the first instance ",
                   allowed ? "may take the foreground" : "was not allowed the foreground");
    }
    bool posted = false;
    bool ended = false;
    while (!(posted = PostThreadMessageW(threadId, messageId, GetCurrentThreadId(), 0) != FALSE)) {
        // The listener's queue may not exist yet.
        ended = WaitForMultipleObjects(2, ends, FALSE, kRetryPauseMs) != WAIT_TIMEOUT;
        if (ended || GetTickCount64() >= deadline) break;
    }
    if (!posted) {
        if (trace.enabled()) trace.line("second instance: the listener took no message");
        ReleaseMutex(mutex.get());
        result.why = "the request could not be posted";
        result.firstEnded = ended;
        return result;
    }
    // Holds the turn until the listener has copied the arguments (or its
    // instance has ended without taking them).
    for (;;) {
        result.answers.collect(messageId);
        if (result.answers.any()) break;
        const DWORD woke = MsgWaitForMultipleObjects(2, ends, FALSE, INFINITE, QS_POSTMESSAGE | QS_ALLPOSTMESSAGE);
        if (woke == WAIT_OBJECT_0 + 2) continue;
        result.answers.collect(messageId);
        break;
    }
    ReleaseMutex(mutex.get());
    if (!result.answers.any()) {
        result.why = "the first instance ended before it took the request";
        result.firstEnded = true;
        return result;
    }
    result.process = std::move(first.process);
    result.listener = std::move(first.listener);
    result.outcome = HandOver::Taken;
    return result;
}

}  // namespace

OpenedChannel openSystemInstanceChannel(Launcher& launcher, const WideString& name) {
    Trace& trace = launcher.trace;
    const UINT messageId = RegisterWindowMessageW(wide(name));
    if (messageId == 0) return {};
    ULONGLONG deadline = GetTickCount64() + kHandOverPatienceMs;
    ArgumentList packed{};
    bool isPacked = false;
    for (int attempt = 1;; ++attempt) {
        UniqueKernelHandle mapping(
            CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(InstanceBlock), wide(name)));
        const DWORD created = GetLastError();
        if (!mapping) return {};
        UniqueMappedView view(MapViewOfFile(mapping.get(), FILE_MAP_WRITE, 0, 0, sizeof(InstanceBlock)));
        if (!view) return {};
        if (created != ERROR_ALREADY_EXISTS) {
            std::shared_ptr<FirstInstanceChannel> channel(
                new FirstInstanceChannel(launcher, std::move(mapping), std::move(view), messageId));
            // On failure the block goes with the channel, so later starts
            // become first instances instead of finding a dead block.
            if (!channel->start()) return {};
            return {ChannelRole::First, channel};
        }

        if (!isPacked) {
            if (!packArguments(launcher.arguments, packed.data(), packed.size())) {
                if (trace.enabled()) trace.line("second instance: the arguments take more than 1040 bytes");
                return {ChannelRole::HandOverFailed, nullptr};
            }
            isPacked = true;
        }
        HandOverResult result = handOver(name, blockOf(view), messageId, packed, deadline, trace);
        if (result.outcome == HandOver::Taken) {
            std::shared_ptr<InstanceChannel> channel(
                new SecondInstanceChannel(std::move(result.process), std::move(result.listener), messageId, result.answers));
            return {ChannelRole::Second, channel};
        }
        // Waiting for the turn may have taken long: a new first instance
        // gets the whole time to appear.
        if (result.firstEnded) deadline = GetTickCount64() + kHandOverPatienceMs;
        if (result.outcome == HandOver::Failed || GetTickCount64() >= deadline) {
            if (trace.enabled()) trace.line("second instance: giving up, ", result.why);
            return {ChannelRole::HandOverFailed, nullptr};
        }
        if (trace.enabled() && (attempt == 1 || attempt % 100 == 0)) {
            trace.line("second instance: ", result.why, ", retry ", attempt);
        }
        // The handles are closed first, so a block that only waiting second
        // starts still hold can disappear meanwhile.
        view.reset();
        mapping.reset();
        Sleep(kRetryPauseMs);
    }
}

}  // namespace corvid
