#include "serial/AfComPortThreads.h"

#include "serial/AfIoctl.h"
#include "serial/AfSafeSync.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <system_error>

#include <QtGlobal>

#include <linux/serial.h>
#include <poll.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

namespace halvex {

namespace {

constexpr int FlushLimitMs = 2000; // the write thread must acknowledge a flush within this
constexpr int PollPeriodMs = 200;  // input queue poll while no event arrives
constexpr int RetryPauseMs = 10;   // pause before retrying a wait that failed
constexpr int SentCheckMs = 10;    // output queue check while bytes wait in the device

void Pause() {
    ::poll(nullptr, 0, RetryPauseMs);
}

bool Vanished(int err) {
    return err == EIO || err == ENXIO || err == ENODEV;
}

int NiceOf(TThreadPriority priority) {
    static constexpr int nice[] = {19, 10, 5, 0, -5, -10, -20};
    return nice[std::min<int>(priority, tpTimeCritical)];
}

bool IsSilentAbort(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const EAfAbort&) {
        return true;
    } catch (...) {
        return false;
    }
}

} // namespace

// ---- TAfComPortCoreThread -----------------------------------------------------------------

TAfComPortCoreThread::TAfComPortCoreThread(TAfComPortCore& core, int fd) : core_(core), fd_(fd) {
    if (!stop_.Create())
        throw std::system_error(errno, std::generic_category(), "eventfd");
}

TAfComPortCoreThread::~TAfComPortCoreThread() {
    if (thread_.joinable()) {
        Terminate();
        stop_.Set();
        thread_.join();
    }
}

void TAfComPortCoreThread::Start() {
    thread_ = std::thread([this] { Run(); });
}

void TAfComPortCoreThread::Run() {
    tid_.store(::gettid());
    Execute();
}

void TAfComPortCoreThread::StopThread() {
    Terminate();
    stop_.Set();
    if (thread_.joinable())
        thread_.join();
}

void TAfComPortCoreThread::SetPriority(TThreadPriority priority) {
    const pid_t tid = tid_.load();
    if (tid == 0)
        return;
    const int nice = NiceOf(priority);
    if (::setpriority(PRIO_PROCESS, static_cast<id_t>(tid), nice) == 0)
        return;
    if (errno != EACCES && errno != EPERM) {
        qWarning("serial port thread priority %d not set: %s", nice, std::strerror(errno));
        return;
    }
    // Raising a priority needs CAP_SYS_NICE or an RLIMIT_NICE that allows it: the thread
    // takes the highest priority the user may have instead, silently.
    rlimit limit{};
    if (::getrlimit(RLIMIT_NICE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return;
    const int allowed = 20 - static_cast<int>(std::min<rlim_t>(limit.rlim_cur, 40));
    if (allowed > nice && allowed < 0)
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(tid), allowed);
}

void TAfComPortCoreThread::ReportThreadException(std::exception_ptr error) {
    if (IsSilentAbort(error))
        return;
    ReportException(error);
}

// ---- TAfComPortEventThread ----------------------------------------------------------------

TAfComPortEventThread::TAfComPortEventThread(TAfComPortCore& core, int fd, TAfCoreNotify notify)
    : TAfComPortCoreThread(core, fd), notify_(std::move(notify)) {}

void TAfComPortEventThread::StopThread() {
    {
        std::lock_guard<std::mutex> guard(notifyLock_);
        notify_ = nullptr;
    }
    Terminate();
    ::tcflush(fd_, TCIFLUSH);
    TAfComPortCoreThread::StopThread();
}

void TAfComPortEventThread::Notify(TAfCoreEvent kind, std::uint32_t data,
                                   std::exception_ptr error) {
    TAfCoreNotify notify;
    {
        std::lock_guard<std::mutex> guard(notifyLock_);
        notify = notify_;
    }
    if (!notify)
        return;
    try {
        notify(core_, kind, data, error);
    } catch (...) {
        ReportThreadException(std::current_exception());
    }
}

void TAfComPortEventThread::ReportThreadException(std::exception_ptr error) {
    if (IsSilentAbort(error))
        return;
    TAfCoreNotify notify;
    {
        std::lock_guard<std::mutex> guard(notifyLock_);
        notify = notify_;
    }
    if (notify) {
        try {
            notify(core_, ceException, 0, error);
            return;
        } catch (...) {
        }
    }
    TAfComPortCoreThread::ReportThreadException(error);
}

std::uint32_t TAfComPortEventThread::ModemChanges() {
    if (!haveModem_)
        return 0;
    int lines = 0;
    if (AfIoctl(fd_, TIOCMGET, &lines) != 0) {
        haveModem_ = false;
        return 0;
    }
    const int changed = lines ^ modemLines_;
    modemLines_ = lines;
    std::uint32_t mask = 0;
    if (changed & TIOCM_CTS)
        mask |= AfEvCts;
    if (changed & TIOCM_DSR)
        mask |= AfEvDsr;
    if (changed & TIOCM_CD)
        mask |= AfEvRlsd;
    if ((changed & TIOCM_RI) && (lines & TIOCM_RI))
        mask |= AfEvRing;
    return mask;
}

std::uint32_t TAfComPortEventThread::DeviceEvents(short revents) {
    int waiting = 0;
    if ((revents & (POLLHUP | POLLERR | POLLNVAL)) != 0 ||
        (AfIoctl(fd_, FIONREAD, &waiting) != 0 && Vanished(errno))) {
        watchDevice_ = false;
        core_.MarkHungUp();
        return 0;
    }
    std::uint32_t mask = 0;
    if (waiting > lastInput_)
        mask |= AfEvRxChar;
    lastInput_ = waiting;
    // Readiness with nothing to read is not watched again before the next poll.
    watchInput_ = waiting == 0 && (revents & POLLIN) == 0;
    mask |= ModemChanges();
    mask |= core_.TakeCounterEvents();
    return mask;
}

void TAfComPortEventThread::Execute() {
    using clock = std::chrono::steady_clock;
    const auto period = std::chrono::milliseconds(PollPeriodMs);
    core_.txDone_.Reset();
    haveModem_ = AfIoctl(fd_, TIOCMGET, &modemLines_) == 0;
    core_.started_.Set();

    watchDevice_ = !core_.HungUp();
    watchInput_ = true;
    lastInput_ = 0;
    auto deadline = clock::now() + period;
    while (!Terminated()) {
        try {
            const auto wait = std::chrono::ceil<std::chrono::milliseconds>(deadline - clock::now());
            pollfd fds[5] = {
                {stop_.Fd(), POLLIN, 0},
                {core_.txDone_.Fd(), POLLIN, 0},
                {core_.drained_.Fd(), POLLIN, 0},
                {watchDevice_ ? fd_ : -1, static_cast<short>(watchInput_ ? POLLIN : 0), 0},
                {core_.lost_.Fd(), POLLIN, 0},
            };
            const int r = ::poll(fds, 5, static_cast<int>(std::max<std::int64_t>(0, wait.count())));
            if (r < 0) {
                if (errno != EINTR)
                    Pause(); // a failing wait is retried after a short pause
                continue;
            }
            if (fds[0].revents != 0) {
                Terminate();
                break;
            }
            if (fds[1].revents != 0) {
                core_.txDone_.Reset();
                Notify(ceOutBufFree, 0);
            }
            if (fds[2].revents != 0) {
                // The reader emptied the input queue: anything there now is new.
                core_.drained_.Reset();
                lastInput_ = 0;
            }
            const bool timedOut = r == 0 || clock::now() >= deadline;

            std::uint32_t mask = watchDevice_ ? DeviceEvents(fds[3].revents) : 0;
            if (fds[4].revents != 0) {
                // Gone (seen here, by the writer or by a read): said once, not watched again.
                core_.lost_.Reset();
                watchDevice_ = false;
                Notify(ceDeviceLost, 0);
            }
            mask &= AfEventMask;
            if (mask != 0) {
                deadline = clock::now() + period;
                Notify(ceLineEvent, mask);
            } else if (timedOut) {
                deadline = clock::now() + period;
                if (watchDevice_) {
                    const TAfComStatus status = core_.GetComStatus();
                    if (status.InQue > 0)
                        Notify(ceDataReceived, static_cast<std::uint32_t>(status.InQue));
                }
            }
        } catch (...) {
            ReportThreadException(std::current_exception());
        }
    }
}

// ---- TAfComPortWriteThread ----------------------------------------------------------------

TAfComPortWriteThread::TAfComPortWriteThread(TAfComPortCore& core, int fd,
                                             std::unique_ptr<TAfCircularBuffer> ring)
    : TAfComPortCoreThread(core, fd), ring_(std::move(ring)) {
    if (!flushRequest_.Create() || !flushAck_.Create() || !dataReady_.Create())
        throw std::system_error(errno, std::generic_category(), "eventfd");
}

void TAfComPortWriteThread::StopThread() {
    // A thread that never began has nothing to flush and would never acknowledge.
    if (Began()) {
        flushRequest_.Set();
        if (flushAck_.Wait(FlushLimitMs)) {
            std::lock_guard<std::recursive_mutex> guard(core_.writeLock_);
            dataReady_.Reset();
            ring_->Clear();
            ::tcflush(fd_, TCOFLUSH);
        }
    }
    TAfComPortCoreThread::StopThread();
}

void TAfComPortWriteThread::AcknowledgeFlush() {
    flushRequest_.Reset();
    flushed_.store(true); // from here until the thread ends nothing reaches the device
    flushAck_.Set();
}

TAfComPortWriteThread::TWake TAfComPortWriteThread::Await(short events, bool data, int ms,
                                                          short* revents) {
    pollfd fds[4] = {
        {stop_.Fd(), POLLIN, 0},
        {flushRequest_.Fd(), POLLIN, 0},
        {data ? dataReady_.Fd() : -1, POLLIN, 0},
        {events != 0 ? fd_ : -1, events, 0},
    };
    const int r = ::poll(fds, 4, ms);
    if (r < 0) {
        if (errno != EINTR)
            Pause(); // a failing wait is retried after a short pause
        return TWake::Failed;
    }
    if (fds[0].revents != 0) {
        Terminate();
        return TWake::Stop;
    }
    if (fds[1].revents != 0) {
        AcknowledgeFlush();
        return TWake::Flush;
    }
    if (fds[2].revents != 0)
        return TWake::Data;
    if (r > 0 && fds[3].revents != 0) {
        if (revents != nullptr)
            *revents = fds[3].revents;
        return TWake::Device;
    }
    return TWake::TimedOut;
}

void TAfComPortWriteThread::Execute() {
    core_.started_.Set();
    while (!Terminated()) {
        if (Await(0, true, -1) != TWake::Data)
            continue;
        dataReady_.Reset();
        if (flushed_.load())
            continue;
        try {
            Drain();
        } catch (...) {
            ReportThreadException(std::current_exception());
        }
    }
}

void TAfComPortWriteThread::Drain() {
    for (;;) {
        // A stop or flush request ends the drain between pieces (close discards the rest).
        const TWake request = Await(0, false, 0);
        if (request == TWake::Stop || request == TWake::Flush || flushed_.load())
            return;
        const std::uint8_t* piece;
        std::int32_t n;
        {
            std::lock_guard<std::recursive_mutex> guard(core_.writeLock_);
            n = ring_->ContiguousUsed();
            piece = ring_->Data() + ring_->ReadIndex();
        }
        if (n == 0)
            return;
        // The bytes from the read index on are not touched by writers until Skip.
        const ssize_t written = ::write(fd_, piece, static_cast<std::size_t>(n));
        if (written > 0) {
            bool more;
            {
                std::lock_guard<std::recursive_mutex> guard(core_.writeLock_);
                // A short write sends only the rest next time.
                ring_->Skip(static_cast<std::int32_t>(written));
                more = !ring_->Empty();
            }
            if (!more) {
                WaitSent();
                return;
            }
            continue;
        }
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0 && errno == EAGAIN) {
            // The output queue is full: wait for room, a stop or a flush (the bytes are then
            // left to the purge that follows).
            short revents = 0;
            waitsForRoom_.store(true);
            const TWake wake = Await(POLLOUT, false, -1, &revents);
            waitsForRoom_.store(false);
            if (wake == TWake::Failed)
                continue;
            if (wake != TWake::Device)
                return;
            if ((revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
                core_.MarkHungUp();
                return;
            }
            continue;
        }
        // Failed (EIO after a hang-up): the bytes stay in the ring.
        if (written < 0 && Vanished(errno))
            core_.MarkHungUp();
        return;
    }
}

void TAfComPortWriteThread::WaitSent() {
    for (;;) {
        int queued = 0;
        if (AfIoctl(fd_, TIOCOUTQ, &queued) != 0 || queued <= 0) {
            core_.txDone_.Set();
            return;
        }
        const TWake wake = Await(0, true, SentCheckMs);
        if (wake != TWake::TimedOut && wake != TWake::Failed)
            return;
    }
}

} // namespace halvex
