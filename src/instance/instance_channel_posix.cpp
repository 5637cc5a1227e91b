#ifdef _WIN32
#error "instance_channel_posix.cpp is for the POSIX build only"
#endif

// Linux has no thread messages: the channel is a Unix-domain stream socket in
// the abstract namespace, named after the user and the executable's path. A
// second start connects, sends the 1040-byte argument list, reads one byte
// when the first instance has taken it and then the answer: a 32-bit
// little-endian value, and after it the mark "N" when nobody will serve the
// request (a reply's connection simply ends). The kernel frees an abstract
// name with its last socket, so a first instance that was killed leaves
// nothing that blocks the next start.
//
// Every request taken and not yet answered is known to an on_exit handler,
// which answers it when the process ends: with the exit status while the int
// secondaryMain runs for it, "not served" before that. A "not served"
// connection stays open until this instance has given up the name, so that
// its second start, which then runs as a first instance of its own, finds
// the name free. A first instance that ends without running exit handlers
// (killed, crashed) closes its connections unanswered, and their second
// starts end with -1.

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <stddef.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "instance/instance_host.h"
#include "platform/posix_handles.h"
#include "start/launcher.h"

namespace corvid {

namespace {

using UniqueFd = UniqueFileDescriptor;

// How long a second start keeps trying while the name is held but nobody
// listens yet (a first instance still setting up, or one going away).
constexpr auto kHandOverPatience = std::chrono::seconds(5);
constexpr auto kRetryPause = std::chrono::milliseconds(5);
// A client that connects and sends nothing does not hold a worker for long.
constexpr int kReceiveTimeoutSeconds = 5;
constexpr char kTaken = 'T';
constexpr char kNotServed = 'N';
constexpr int kMostLostHandOvers = 20;

struct SocketAddress {
    sockaddr_un address{};
    socklen_t length = 0;
};

// FNV-1a, to keep long paths within the 107 bytes an abstract name may have.
std::uint64_t fingerprint(const std::string& text) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const unsigned char c : text) hash = (hash ^ c) * 1099511628211ull;
    return hash;
}

SocketAddress socketAddress(const WideString& name) {
    const std::string prefix = "corvid-instance-" + std::to_string(geteuid()) + ":";
    std::string text = prefix + toNarrow(name);
    SocketAddress result;
    result.address.sun_family = AF_UNIX;
    const std::size_t room = sizeof result.address.sun_path - 1;
    if (text.size() > room) {
        char digest[17];
        std::snprintf(digest, sizeof digest, "%016llx", static_cast<unsigned long long>(fingerprint(text)));
        // The path's end, which tells executables apart best, after the digest.
        const std::string head = prefix + digest + ":";
        text = head + text.substr(text.size() - (room - head.size()));
    }
    // The leading NUL puts the name in the abstract namespace.
    std::memcpy(result.address.sun_path + 1, text.data(), text.size());
    result.length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + text.size());
    return result;
}

bool sameUser(int fd) {
    ucred credentials{};
    socklen_t length = sizeof credentials;
    return getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) == 0 && credentials.uid == geteuid();
}

bool sendAll(int fd, const void* data, std::size_t size) {
    const char* at = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t sent = ::send(fd, at, size, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) return false;
        at += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

bool receiveAll(int fd, void* data, std::size_t size) {
    char* at = static_cast<char*>(data);
    while (size > 0) {
        const ssize_t got = ::recv(fd, at, size, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        at += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

void sendCode(int fd, std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    const unsigned char bytes[4] = {static_cast<unsigned char>(bits), static_cast<unsigned char>(bits >> 8),
                                    static_cast<unsigned char>(bits >> 16), static_cast<unsigned char>(bits >> 24)};
    sendAll(fd, bytes, sizeof bytes);
}

class SocketRequest;

// The process's requests taken and not yet answered. Never destroyed, so the
// exit handler finds it whatever static objects are gone by then.
struct OpenRequests {
    std::mutex mutex;
    std::vector<SocketRequest*> requests;
    // Connections answered "not served" while this process holds the name.
    std::vector<int> notServed;
    bool holdsName = false;
    bool ending = false;  // the exit handler has run
};
OpenRequests& openRequests() {
    static OpenRequests* const open = new OpenRequests;
    return *open;
}

// The name is free (or taken again): the starts told "not served" go on.
void nameHeld(bool held) {
    OpenRequests& open = openRequests();
    std::lock_guard<std::mutex> lock(open.mutex);
    open.holdsName = held;
    for (const int fd : open.notServed) ::close(fd);
    open.notServed.clear();
}

class SocketRequest final : public ForwardRequest {
public:
    explicit SocketRequest(UniqueFd socket) : socket_(std::move(socket)) {}
    ~SocketRequest() override {
        OpenRequests& open = openRequests();
        std::lock_guard<std::mutex> lock(open.mutex);
        if (open_) forget(open);
    }
    int fd() const { return socket_.get(); }

    // Tells the sender that its list is taken; from then on the request is
    // answered exactly once. False when it is not to be served: the sender
    // was not reached, or the process is ending and has told it so.
    bool take() {
        OpenRequests& open = openRequests();
        // Under the lock: the exit handler answers no request before its "taken".
        std::lock_guard<std::mutex> lock(open.mutex);
        if (!sendAll(socket_.get(), &kTaken, 1)) return false;
        if (open.ending) {
            answerNotServed(open);
            return false;
        }
        open.requests.push_back(this);
        open_ = true;
        return true;
    }

    void reply(std::int32_t value) override {
        OpenRequests& open = openRequests();
        std::lock_guard<std::mutex> lock(open.mutex);
        if (!open_) return;
        forget(open);
        sendCode(socket_.get(), value);
        socket_.reset();
    }
    void notServed() override {
        OpenRequests& open = openRequests();
        std::lock_guard<std::mutex> lock(open.mutex);
        if (!open_) return;
        forget(open);
        answerNotServed(open);
    }
    void calling() override {
        std::lock_guard<std::mutex> lock(openRequests().mutex);
        calling_ = true;
    }

    static void answerAtExit(int status, void*) {
        OpenRequests& open = openRequests();
        std::lock_guard<std::mutex> lock(open.mutex);
        open.ending = true;
        for (SocketRequest* request : open.requests) {
            request->open_ = false;
            // The connection closes with the process.
            if (request->calling_) {
                sendCode(request->fd(), status);
            } else {
                request->answerNotServed(open);
            }
        }
        open.requests.clear();
    }

private:
    void forget(OpenRequests& open) {
        open_ = false;
        open.requests.erase(std::find(open.requests.begin(), open.requests.end(), this));
    }
    // The connection's end tells the sender that the name is free.
    void answerNotServed(OpenRequests& open) {
        sendCode(socket_.get(), -1);
        sendAll(socket_.get(), &kNotServed, 1);
        if (open.holdsName) {
            open.notServed.push_back(socket_.release());
        } else {
            socket_.reset();
        }
    }

    UniqueFd socket_;
    // Guarded by the lock of openRequests().
    bool open_ = false;
    bool calling_ = false;
};

// One request's worker: checks the sender, takes the list, answers "taken"
// and serves it.
void work(InstanceHost& host, SocketRequest& request) {
    if (!sameUser(request.fd())) {
        if (host.tracing()) host.trace("forwarded request refused: another user");
        return;
    }
    const timeval timeout{kReceiveTimeoutSeconds, 0};
    setsockopt(request.fd(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    if (!receiveAll(request.fd(), request.arguments.data(), request.arguments.size())) {
        if (host.tracing()) host.trace("forwarded request incomplete");
        return;
    }
    if (!request.take()) {
        if (host.tracing()) host.trace("forwarded request not taken: the sender is gone or this process is ending");
        return;
    }
    if (host.tracing()) host.trace("forwarded request taken");
    serveRequest(host, request);
}

class FirstInstanceChannel final : public InstanceChannel {
public:
    FirstInstanceChannel(Launcher& launcher, UniqueFd listening)
        : host_(std::make_shared<InstanceHost>(launcher)), listening_(std::move(listening)) {}
    ~FirstInstanceChannel() override { close(); }

    bool start() {
        nameHeld(true);
        try {
            listener_ = std::thread([this] { listen(); });
        } catch (...) {
            nameHeld(false);
            return false;
        }
        static std::once_flag registered;
        std::call_once(registered, [] { on_exit(SocketRequest::answerAtExit, nullptr); });
        return true;
    }

    std::optional<std::int32_t> waitForReply() override { return -1; }
    std::shared_ptr<InstanceHost> host() override { return host_; }

    void close() override {
        if (!listening_) return;
        // Wakes the listener's accept; connections still queued are reset,
        // and their senders try again from the start.
        ::shutdown(listening_.get(), SHUT_RDWR);
        if (listener_.joinable()) listener_.join();
        listening_.reset();
        nameHeld(false);
        host_->closeGate();
        host_->waitForWorkers();
        host_->refuseHeldRequests();
        host_->stopTracing();
    }

private:
    void listen() {
        for (;;) {
            const int fd = accept4(listening_.get(), nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) {
                startWorker(UniqueFd(fd));
                continue;
            }
            if (errno == EINVAL || errno == EBADF) return;  // shut down
            if (errno != EINTR && errno != ECONNABORTED) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    void startWorker(UniqueFd socket) {
        auto request = std::make_unique<SocketRequest>(std::move(socket));
        host_->workerStarting();
        try {
            std::thread([host = host_, request = std::move(request)]() mutable {
                work(*host, *request);
                request.reset();
                host->workerEnded();
            }).detach();
        } catch (...) {
            // Not served: the connection closes and the sender tries again.
            host_->workerEnded();
        }
    }

    std::shared_ptr<InstanceHost> host_;
    UniqueFd listening_;
    std::thread listener_;
};

class SecondInstanceChannel final : public InstanceChannel {
public:
    explicit SecondInstanceChannel(UniqueFd socket) : socket_(std::move(socket)) {}

    // No time limit: the first instance answers, or its end closes the
    // connection.
    std::optional<std::int32_t> waitForReply() override {
        unsigned char bytes[4];
        if (!receiveAll(socket_.get(), bytes, sizeof bytes)) return -1;
        const auto value = static_cast<std::int32_t>(std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 |
                                                     std::uint32_t{bytes[2]} << 16 | std::uint32_t{bytes[3]} << 24);
        // A reply's connection ends after the value.
        char mark = 0;
        if (!receiveAll(socket_.get(), &mark, 1) || mark != kNotServed) return value;
        // Not served: the connection ends when the first instance has given
        // up the name.
        while (receiveAll(socket_.get(), &mark, 1)) {
        }
        return std::nullopt;
    }
    void close() override { socket_.reset(); }

private:
    UniqueFd socket_;
};

// Lost: connected, but the listener went away before it took the list.
enum class HandOver { Taken, Retry, Lost, Foreign };

// One attempt to hand the packed list to whoever listens under the name.
HandOver handOver(const SocketAddress& address, const ArgumentList& packed, UniqueFd& connected) {
    UniqueFd socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!socket) return HandOver::Retry;
    if (connect(socket.get(), reinterpret_cast<const sockaddr*>(&address.address), address.length) != 0) {
        return HandOver::Retry;
    }
    if (!sameUser(socket.get())) return HandOver::Foreign;
    char taken = 0;
    if (!sendAll(socket.get(), packed.data(), packed.size()) || !receiveAll(socket.get(), &taken, 1) ||
        taken != kTaken) {
        return HandOver::Lost;
    }
    connected = std::move(socket);
    return HandOver::Taken;
}

}  // namespace

OpenedChannel openSystemInstanceChannel(Launcher& launcher, const WideString& name) {
    Trace& trace = launcher.trace;
    const SocketAddress address = socketAddress(name);
    auto deadline = std::chrono::steady_clock::now() + kHandOverPatience;
    ArgumentList packed{};
    bool isPacked = false;
    int lost = 0;
    for (int attempt = 1;; ++attempt) {
        UniqueFd listening(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
        if (!listening) return {};
        if (bind(listening.get(), reinterpret_cast<const sockaddr*>(&address.address), address.length) == 0) {
            if (::listen(listening.get(), SOMAXCONN) != 0) return {};
            auto channel = std::make_shared<FirstInstanceChannel>(launcher, std::move(listening));
            if (!channel->start()) return {};
            return {ChannelRole::First, channel};
        }
        if (errno != EADDRINUSE) return {};
        listening.reset();

        if (!isPacked) {
            if (!packArguments(launcher.arguments, packed.data(), packed.size())) {
                if (trace.enabled()) trace.line("second instance: the arguments take more than 1040 bytes");
                return {ChannelRole::HandOverFailed, nullptr};
            }
            isPacked = true;
        }
        UniqueFd connected;
        switch (handOver(address, packed, connected)) {
            case HandOver::Taken:
                return {ChannelRole::Second, std::make_shared<SecondInstanceChannel>(std::move(connected))};
            case HandOver::Foreign:
                if (trace.enabled()) trace.line("the channel's name is held by another user");
                return {};
            case HandOver::Lost:
                // The wait for it may have been long: a new first instance
                // gets the whole time to appear. A listener that keeps
                // closing connections is given up on.
                if (++lost > kMostLostHandOvers) return {ChannelRole::HandOverFailed, nullptr};
                deadline = std::chrono::steady_clock::now() + kHandOverPatience;
                break;
            case HandOver::Retry:
                break;
        }
        if (std::chrono::steady_clock::now() >= deadline) return {ChannelRole::HandOverFailed, nullptr};
        if (trace.enabled() && (attempt == 1 || attempt % 100 == 0)) {
            trace.line("second instance: nobody listens yet, retry ", attempt);
        }
        std::this_thread::sleep_for(kRetryPause);
    }
}

}  // namespace corvid
