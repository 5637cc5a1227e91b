// One owning wrapper for every kind of OS handle. Each kind supplies a traits
// type naming its handle type, its invalid value and how to close it:
//
//   struct FileTraits { using Handle = int; static Handle invalid() { return -1; }
//                       static void close(Handle h) { ::close(h); } };
//   using UniqueFile = UniqueHandle<FileTraits>;
//
// Traits may also define `static void preserveError(...)` hooks through
// ErrorKeeper so that closing a handle never disturbs the caller's last error.
#pragma once

#include <utility>

namespace corvid {

template <typename Traits>
class UniqueHandle {
public:
    using Handle = typename Traits::Handle;

    UniqueHandle() noexcept : handle_(Traits::invalid()) {}
    explicit UniqueHandle(Handle handle) noexcept : handle_(handle) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    ~UniqueHandle() { reset(); }

    Handle get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != Traits::invalid(); }

    Handle release() noexcept { return std::exchange(handle_, Traits::invalid()); }

    // Closes the held handle; the traits keep the thread's last-error code.
    void reset(Handle handle = Traits::invalid()) noexcept {
        if (handle_ != Traits::invalid()) Traits::close(handle_);
        handle_ = handle;
    }

    // For out-parameters: releases the current handle and exposes the slot.
    Handle* put() noexcept {
        reset();
        return &handle_;
    }

private:
    Handle handle_;
};

}  // namespace corvid
