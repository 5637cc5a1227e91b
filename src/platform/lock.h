// A lock and a condition for the launcher's few threads. On Windows they are
// the system's slim lock and condition variable: the C++ library's own would
// link a POSIX threads emulation into the executable. Both need no set-up and
// no clean-up, and work with std::lock_guard and std::unique_lock.
#pragma once

#include <mutex>

#ifndef _WIN32
#include <condition_variable>
#endif

namespace corvid {

#ifdef _WIN32

class Mutex {
public:
    Mutex() = default;
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;
    void lock();
    void unlock();

private:
    friend class ConditionVariable;
    void* state_ = nullptr;  // an SRWLOCK, which starts as all zero
};

class ConditionVariable {
public:
    ConditionVariable() = default;
    ConditionVariable(const ConditionVariable&) = delete;
    ConditionVariable& operator=(const ConditionVariable&) = delete;
    void notify_all();
    void wait(std::unique_lock<Mutex>& lock);
    template <typename Predicate>
    void wait(std::unique_lock<Mutex>& lock, Predicate ready) {
        while (!ready()) wait(lock);
    }

private:
    void* state_ = nullptr;  // a CONDITION_VARIABLE, which starts as all zero
};

#else

using Mutex = std::mutex;
using ConditionVariable = std::condition_variable;

#endif

}  // namespace corvid
