#include "serial/AfSyncPrimitives.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace halvex {

// ---- TAfRecursiveLock ----------------------------------------------------------------------

void TAfRecursiveLock::lock() {
    LockUnless([] { return false; });
}

bool TAfRecursiveLock::LockUnless(const std::function<bool()>& stop) {
    const auto self = std::this_thread::get_id();
    std::unique_lock<std::mutex> guard(mutex_);
    while (depth_ != 0 && owner_ != self) {
        if (stop())
            return false;
        released_.wait(guard);
    }
    owner_ = self;
    ++depth_;
    return true;
}

void TAfRecursiveLock::unlock() {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        if (--depth_ == 0)
            owner_ = std::thread::id();
    }
    released_.notify_all();
}

void TAfRecursiveLock::Poke() {
    { std::lock_guard<std::mutex> guard(mutex_); }
    released_.notify_all();
}

// ---- TAfEventFd ---------------------------------------------------------------------------

TAfEventFd::~TAfEventFd() {
    if (fd_ >= 0)
        ::close(fd_);
}

bool TAfEventFd::Create() {
    if (fd_ < 0)
        fd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    return fd_ >= 0;
}

void TAfEventFd::Set() {
    const std::uint64_t one = 1;
    while (::write(fd_, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void TAfEventFd::Reset() {
    std::uint64_t value;
    while (::read(fd_, &value, sizeof value) < 0 && errno == EINTR) {
    }
}

bool TAfEventFd::Wait(int ms) {
    pollfd p{fd_, POLLIN, 0};
    using clock = std::chrono::steady_clock;
    const auto deadline = clock::now() + std::chrono::milliseconds(ms < 0 ? 0 : ms);
    for (;;) {
        int timeout = -1;
        if (ms >= 0)
            timeout = static_cast<int>(std::max<std::int64_t>(
                0, std::chrono::ceil<std::chrono::milliseconds>(deadline - clock::now()).count()));
        const int r = ::poll(&p, 1, timeout);
        if (r > 0) {
            Reset();
            return true;
        }
        if (r == 0 || errno != EINTR)
            return false;
    }
}

bool TAfEventFd::IsSet() const {
    pollfd p{fd_, POLLIN, 0};
    return ::poll(&p, 1, 0) > 0;
}

} // namespace halvex
