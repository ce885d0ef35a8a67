// The engine's waiting primitives: a recursive lock whose waiters can give up, and an
// eventfd used as an event object that one poll watches together with the device.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace halvex {

// Recursive lock whose waiters can give up: LockUnless stops waiting once `stop()` is true
// (checked whenever the lock is released and on Poke). Built on std::mutex and
// std::condition_variable only.
class TAfRecursiveLock {
public:
    void lock();
    void unlock();
    // Takes the lock unless `stop()` turns true while waiting for it; false then.
    bool LockUnless(const std::function<bool()>& stop);
    // Wakes waiters to re-check their stop condition.
    void Poke();

private:
    std::mutex mutex_;
    std::condition_variable released_;
    std::thread::id owner_;
    int depth_ = 0;
};

// Unlocks a TAfRecursiveLock that was taken (held) when the scope ends.
class TAfLockHeld {
public:
    TAfLockHeld(bool held, TAfRecursiveLock& lock) : held_(held), lock_(lock) {}
    ~TAfLockHeld() {
        if (held_)
            lock_.unlock();
    }
    TAfLockHeld(const TAfLockHeld&) = delete;
    TAfLockHeld& operator=(const TAfLockHeld&) = delete;
    explicit operator bool() const { return held_; }

private:
    bool held_;
    TAfRecursiveLock& lock_;
};

// An eventfd used as an event object: Set wakes a poll on Fd(); Reset consumes it.
class TAfEventFd {
public:
    TAfEventFd() = default;
    ~TAfEventFd();
    TAfEventFd(const TAfEventFd&) = delete;
    TAfEventFd& operator=(const TAfEventFd&) = delete;
    bool Create();
    bool Valid() const { return fd_ >= 0; }
    int Fd() const { return fd_; }
    void Set();
    void Reset();
    // True when set now; does not consume it.
    bool IsSet() const;
    // Waits up to `ms` milliseconds (negative: no limit) and consumes the event.
    bool Wait(int ms);

private:
    int fd_ = -1;
};

} // namespace halvex
