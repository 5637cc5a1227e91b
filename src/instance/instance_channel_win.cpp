#ifndef _WIN32
#error "instance_channel_win.cpp is for the Windows build only"
#endif

// The Windows channel: a paging-file-backed shared block named after the
// executable, a registered message of the same name, and thread messages.
// The first instance's listener thread takes each request's arguments out of
// the block, tells the requester with a "taken" message (the registered
// message with lParam 1; replies carry lParam 0) and starts a worker.
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
constexpr LPARAM kTakenMark = 1;

InstanceBlock* blockOf(const UniqueMappedView& view) { return static_cast<InstanceBlock*>(view.get()); }

// The requester's thread message: the reply (lParam 0) or the "taken" mark.
bool isChannelMessage(const MSG& message, UINT messageId) {
    return message.hwnd == nullptr && message.message == messageId;
}

std::int32_t replyValue(const MSG& message) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(message.wParam & 0xFFFFFFFFu));
}

class MessageRequest final : public ForwardRequest {
public:
    MessageRequest(DWORD requester, UINT messageId) : requester_(requester), messageId_(messageId) {}

    void reply(std::int32_t value) override {
        // Sign-extended to the parameter's width.
        PostThreadMessageW(requester_, messageId_, static_cast<WPARAM>(static_cast<INT_PTR>(value)), 0);
    }

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

    std::int32_t waitForReply() override { return -1; }
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
        // Dropped: the requester waits for this process's end.
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
    SecondInstanceChannel(UniqueKernelHandle mapping, UniqueMappedView view, UniqueKernelHandle process,
                          UINT messageId, std::optional<std::int32_t> reply)
        : mapping_(std::move(mapping)),
          view_(std::move(view)),
          process_(std::move(process)),
          messageId_(messageId),
          reply_(reply) {}

    // The reply, or the first instance's exit code once it has ended; no
    // time limit. Both are waited for at once, so a reply is seen as soon as
    // it is posted.
    std::int32_t waitForReply() override {
        if (reply_) return *reply_;
        for (;;) {
            if (const auto reply = takeReply()) return *reply;
            HANDLE process = process_.get();
            const DWORD woke = MsgWaitForMultipleObjects(1, &process, FALSE, INFINITE, QS_POSTMESSAGE | QS_ALLPOSTMESSAGE);
            if (woke == WAIT_OBJECT_0 + 1) continue;
            // Ended (or the wait failed): a reply posted just before counts.
            if (const auto reply = takeReply()) return *reply;
            DWORD exitCode = 0;
            if (!GetExitCodeProcess(process, &exitCode)) return 0;
            return static_cast<std::int32_t>(exitCode);
        }
    }

    void close() override {
        view_.reset();
        mapping_.reset();
        process_.reset();
    }

private:
    std::optional<std::int32_t> takeReply() {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (isChannelMessage(message, messageId_) && message.lParam == 0) return replyValue(message);
        }
        return std::nullopt;
    }

    UniqueKernelHandle mapping_;
    UniqueMappedView view_;
    UniqueKernelHandle process_;
    UINT messageId_;
    std::optional<std::int32_t> reply_;
};

enum class HandOver { Taken, Retry, Failed };

struct HandOverResult {
    HandOver outcome = HandOver::Retry;
    const char* why = "";
    bool firstEnded = false;
    UniqueKernelHandle process;
    std::optional<std::int32_t> reply;
};

// The process and thread named in the block, when they are a live process
// and a thread of it.
UniqueKernelHandle openFirstInstance(DWORD processId, DWORD threadId) {
    UniqueKernelHandle process(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (!process || WaitForSingleObject(process.get(), 0) != WAIT_TIMEOUT) return {};
    const UniqueKernelHandle thread(OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, threadId));
    if (!thread || GetProcessIdOfThread(thread.get()) != processId) return {};
    return process;
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
    result.process = openFirstInstance(processId, threadId);
    if (!result.process) {
        result.why = "the block names no live listener";
        return result;
    }
    const UniqueKernelHandle mutex(CreateMutexW(nullptr, FALSE, wide(name + u":handover")));
    if (!mutex) {
        result.outcome = HandOver::Failed;
        result.why = "the hand-over mutex is not available";
        return result;
    }
    const HANDLE turn[2] = {mutex.get(), result.process.get()};
    DWORD got = WaitForMultipleObjects(2, turn, FALSE, 0);
    if (got == WAIT_TIMEOUT) {
        if (trace.enabled()) trace.line("second instance: waiting for another start's hand-over");
        got = WaitForMultipleObjects(2, turn, FALSE, INFINITE);
    }
    if (got == WAIT_OBJECT_0 + 1) {
        // The first instance ended while others handed over: start again,
        // the block may be gone by now.
        result.why = "the first instance ended";
        result.firstEnded = true;
        return result;
    }
    if (got != WAIT_OBJECT_0 && got != WAIT_ABANDONED_0) {
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
    while (!(posted = PostThreadMessageW(threadId, messageId, GetCurrentThreadId(), 0) != FALSE)) {
        // The listener's queue may not exist yet.
        if (GetTickCount64() >= deadline || WaitForSingleObject(result.process.get(), kRetryPauseMs) != WAIT_TIMEOUT) break;
    }
    if (!posted) {
        if (trace.enabled()) trace.line("second instance: the listener took no message");
        ReleaseMutex(mutex.get());
        result.why = "the request could not be posted";
        return result;
    }
    // Holds the turn until the listener has copied the arguments (or has
    // answered, or its process has ended).
    for (bool waiting = true; waiting;) {
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (!isChannelMessage(message, messageId)) continue;
            if (message.lParam == 0) result.reply = replyValue(message);
            waiting = false;
        }
        if (!waiting) break;
        HANDLE process = result.process.get();
        const DWORD woke = MsgWaitForMultipleObjects(1, &process, FALSE, INFINITE, QS_POSTMESSAGE | QS_ALLPOSTMESSAGE);
        if (woke != WAIT_OBJECT_0 + 1) waiting = false;
    }
    ReleaseMutex(mutex.get());
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
            std::shared_ptr<InstanceChannel> channel(new SecondInstanceChannel(
                std::move(mapping), std::move(view), std::move(result.process), messageId, result.reply));
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
