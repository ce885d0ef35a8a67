// The engine's two worker threads (engine internal; see AfComPortCore.h for their roles,
// the locks and their order).
#pragma once

#include "serial/AfCircularBuffer.h"
#include "serial/AfComPortCore.h"
#include "serial/AfSyncPrimitives.h"

#include <atomic>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

#include <sys/types.h>

namespace halvex {

// Base of both worker threads. Started by Start() (after construction, so that Execute runs
// on a complete object), stopped by StopThread.
class TAfComPortCoreThread {
public:
    TAfComPortCoreThread(TAfComPortCore& core, int fd);
    virtual ~TAfComPortCoreThread();
    TAfComPortCoreThread(const TAfComPortCoreThread&) = delete;
    TAfComPortCoreThread& operator=(const TAfComPortCoreThread&) = delete;

    // Throws std::system_error when no thread can be created.
    void Start();
    // Ends the thread and waits for it.
    virtual void StopThread();
    void SetPriority(TThreadPriority priority);
    pid_t Tid() const { return tid_.load(); }
    // The thread has begun to run (it may have ended since).
    bool Began() const { return tid_.load() != 0; }
    bool Terminated() const { return terminated_.load(); }

protected:
    virtual void Execute() = 0;
    // An exception escaped a step of Execute; the loop goes on.
    virtual void ReportThreadException(std::exception_ptr error);
    void Terminate() { terminated_.store(true); }

    TAfComPortCore& core_;
    const int fd_;
    TAfEventFd stop_;

private:
    void Run();

    std::thread thread_;
    std::atomic<bool> terminated_{false};
    std::atomic<pid_t> tid_{0};
};

class TAfComPortEventThread final : public TAfComPortCoreThread {
public:
    TAfComPortEventThread(TAfComPortCore& core, int fd, TAfCoreNotify notify);
    void StopThread() override;

protected:
    void Execute() override;
    void ReportThreadException(std::exception_ptr error) override;

private:
    void Notify(TAfCoreEvent kind, std::uint32_t data, std::exception_ptr error = nullptr);
    // Modem line changes since the last call (TIOCMGET comparison).
    std::uint32_t ModemChanges();
    // The device's part of a wake-up (its poll events `revents`): a hang-up stops the watch
    // (MarkHungUp); otherwise new bytes, modem line changes and line error counters as an
    // event mask.
    std::uint32_t DeviceEvents(short revents);

    std::mutex notifyLock_; // guards notify_ (cleared by StopThread on the closing thread)
    TAfCoreNotify notify_;
    bool haveModem_ = false;
    int modemLines_ = 0;
    bool watchDevice_ = true;    // false after a hang-up: it would be reported forever
    bool watchInput_ = true;     // false while unread bytes wait (they are level-triggered)
    std::int32_t lastInput_ = 0; // bytes waiting at the last look
};

class TAfComPortWriteThread final : public TAfComPortCoreThread {
public:
    TAfComPortWriteThread(TAfComPortCore& core, int fd, std::unique_ptr<TAfCircularBuffer> ring);
    // Flush (discard the ring and the output queue, if acknowledged within 2000 ms), then stop.
    // Once it has acknowledged the flush the thread writes nothing more to the device. A
    // thread that never began to run is not waited for.
    void StopThread() override;
    TAfCircularBuffer& Ring() { return *ring_; }
    void DataReady() { dataReady_.Set(); }
    bool WaitsForRoom() const { return waitsForRoom_.load(); }

protected:
    void Execute() override;

private:
    enum class TWake { Stop, Flush, Data, Device, TimedOut, Failed };

    // Sends the ring's contents piece by piece until it is empty, the device stops taking
    // bytes, or a stop or flush request arrives.
    void Drain();
    // Waits until the device's output queue is empty (TIOCOUTQ 0), then reports the ring
    // drained; new data, a stop or a flush end the wait first.
    void WaitSent();
    // Waits for a stop or flush request (handled here), new data (when `data`), or `events`
    // on the device (none: not watched), up to `ms` (negative: no limit).
    TWake Await(short events, bool data, int ms, short* revents = nullptr);
    void AcknowledgeFlush();

    std::unique_ptr<TAfCircularBuffer> ring_;
    TAfEventFd flushRequest_;
    TAfEventFd flushAck_;
    TAfEventFd dataReady_;
    std::atomic<bool> flushed_{false};
    std::atomic<bool> waitsForRoom_{false};
};

} // namespace halvex
