// Port engine: the open serial device, its configuration, two locks and two worker threads.
//
// Threads. TAfComPortEventThread waits (poll) on the device and on eventfds for stop,
// transmit-done, "input queue drained" and "device lost", reports line events, and every 200 ms
// without an event polls the input queue. TAfComPortWriteThread drains the write ring
// (TAfCircularBuffer) to the device, so that writers never wait for the line. Received bytes
// stay in the device's input queue until the caller reads them (Read, on the caller's
// thread). Notifications leave the engine on the event thread only.
//
// Hang-up. Whichever thread first sees the device go (POLLHUP/POLLERR, EIO, ENXIO, ENODEV)
// marks it; the event thread then stops watching the device and notifies ceDeviceLost once.
// Writes are refused from then on; ClosePort works as usual.
//
// Locks: the status lock (Read, GetComStatus, TakeLineErrors, and ClosePort across both
// thread stops) is always taken before the write lock (Write, OutFree, the write thread's
// ring access, the flush). Worker threads never wait on the status lock once closing has
// begun, so ClosePort can join them while holding it.
//
// Port number n names the device TAfPortPaths::Path(n). Errors are EAfComPortCoreError;
// for a failed open the first line of what() is the message ("Invalid port number (COM%d)",
// "Can't open device COM%d") and a second line gives the device path and the system's reason.
//
// Files: AfTermiosMap (DCB <-> termios, pure), AfSyncPrimitives (lock, eventfd),
// AfComPortThreads (the two workers), AfComPortCore (open, close, device operations).
#pragma once

#include "serial/AfDcb.h"
#include "serial/AfSyncPrimitives.h"

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>

#include <sys/types.h>

namespace halvex {

// Kind of an engine notification.
enum TAfCoreEvent : std::uint8_t {
    ceOutBufFree = 0,   // data 0: the write ring drained and the last device write completed
    ceLineEvent = 1,    // data: device event mask (subset of AfEventMask)
    ceDataReceived = 2, // data: bytes in the input queue (200 ms poll)
    ceException = 3,    // the exception raised on the event thread
    ceDeviceLost = 4,   // data 0: the device hung up (unplugged, pty master closed); once
};

enum TThreadPriority : std::uint8_t {
    tpIdle,
    tpLowest,
    tpLower,
    tpNormal,
    tpHigher,
    tpHighest,
    tpTimeCritical,
};

// Device event mask bits (ceLineEvent data).
inline constexpr std::uint32_t AfEvRxChar = 0x0001;
inline constexpr std::uint32_t AfEvCts = 0x0008;
inline constexpr std::uint32_t AfEvDsr = 0x0010;
inline constexpr std::uint32_t AfEvRlsd = 0x0020;
inline constexpr std::uint32_t AfEvErr = 0x0080;
inline constexpr std::uint32_t AfEvRing = 0x0100;
inline constexpr std::uint32_t AfEventMask = 0x01B9;

// Line error flags (TAfComStatus::Errors, TakeLineErrors).
inline constexpr std::uint32_t AfCeRxOver = 0x0001;
inline constexpr std::uint32_t AfCeOverrun = 0x0002;
inline constexpr std::uint32_t AfCeRxParity = 0x0004;
inline constexpr std::uint32_t AfCeFrame = 0x0008;
inline constexpr std::uint32_t AfCeBreak = 0x0010;

// Escape functions.
inline constexpr std::uint32_t AfSetRts = 3;
inline constexpr std::uint32_t AfClrRts = 4;
inline constexpr std::uint32_t AfSetDtr = 5;
inline constexpr std::uint32_t AfClrDtr = 6;

struct TAfComStatus {
    std::uint32_t Errors = 0;
    std::int32_t InQue = 0;
    std::int32_t OutQue = 0;
};

class EAfComPortCoreError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A silent abort: ends a handler without any report.
class EAfAbort : public std::exception {
public:
    const char* what() const noexcept override { return "Operation aborted"; }
};

// State of a port for the port selector (AfPortProbe.h finds it).
enum TAfPortState : std::uint16_t {
    psBusy = 0,         // exists, but the trial open failed (in use, not a serial device)
    psAvailable = 1,    // could be opened
    psAbsent = 2,       // no such device
    psNoPermission = 3, // exists, but this user may not open it (not in its group)
};

class TAfComPortCore;
class TAfComPortEventThread;
class TAfCircularBuffer;
class TAfComPortWriteThread;

// Notification callback; always called on the event thread. `error` is set for ceException.
using TAfCoreNotify = std::function<void(TAfComPortCore& core, TAfCoreEvent kind,
                                         std::uint32_t data, std::exception_ptr error)>;

class TAfComPortCore {
public:
    TAfComPortCore();
    ~TAfComPortCore();
    TAfComPortCore(const TAfComPortCore&) = delete;
    TAfComPortCore& operator=(const TAfComPortCore&) = delete;

    // False at once if already open. Raises EAfComPortCoreError; after a failure the device
    // is closed and no thread runs.
    bool OpenPort(int number);
    // Purges, stops both threads, closes the device. Nothing when not open.
    void ClosePort();

    const TAfDCB& DCB() const { return dcb_; }
    // Copies the record; while open also applies it. A refused DCB leaves the device's actual
    // settings in the copy and raises "Error setting parameters from DCB".
    void SetDCB(const TAfDCB& dcb);
    std::int32_t InBufSize() const { return inBufSize_; }
    void SetInBufSize(std::int32_t size) { inBufSize_ = size; }
    // Also the size of the write ring; used at the next open.
    std::int32_t OutBufSize() const { return outBufSize_; }
    void SetOutBufSize(std::int32_t size) { outBufSize_ = size; }
    TThreadPriority EventThreadPriority() const { return eventPriority_; }
    void SetEventThreadPriority(TThreadPriority priority);
    TThreadPriority WriteThreadPriority() const { return writePriority_; }
    void SetWriteThreadPriority(TThreadPriority priority);
    void SetOnNotify(TAfCoreNotify notify) { notify_ = std::move(notify); }

    // Queues `count` bytes; false (nothing queued) when not open, the device has hung up,
    // count < 1, or the ring has fewer free bytes. Never waits for the device.
    bool Write(const void* buffer, std::int32_t count);
    // Reads up to `count` bytes already waiting; -1 when not open, 0 when none or on error.
    std::int32_t Read(void* buffer, std::int32_t count);
    TAfComStatus GetComStatus();
    // The accumulated line errors, reset to 0.
    std::uint32_t TakeLineErrors();
    std::int32_t OutFree();
    bool Escape(std::uint32_t function);

    bool IsOpen() const { return opened_.load(); }
    bool Active() const { return active_.load(); }
    // The device reported a hang-up (vanished, pty master closed).
    bool HungUp() const { return hungUp_.load(); }
    int ComNumber() const { return comNumber_; }
    const std::string& DevicePath() const { return path_; }
    std::uint32_t EventMask() const { return eventMask_; }
    // Kernel thread ids of the workers (0 when not running); for diagnostics.
    pid_t EventThreadTid() const;
    pid_t WriteThreadTid() const;
    // The write thread waits for room in the device's output queue (diagnostics).
    bool WriterWaitsForRoom() const;

    // State of port n for the selector (AfPortProbe), without opening a port this process
    // holds or one another process holds.
    static TAfPortState ProbePort(int n);

private:
    friend class TAfComPortEventThread;
    friend class TAfComPortWriteThread;

    struct TIcount {
        int frame = 0, overrun = 0, parity = 0, brk = 0, bufOverrun = 0;
        int cts = 0, dsr = 0, rng = 0, dcd = 0;
    };

    void Teardown();
    void WaitStarted();
    // The parts of OpenPort after the device is open: its settings and events, then the
    // threads. Errors are EAfComPortCoreError; OpenPort then tears the session down.
    std::unique_ptr<TAfCircularBuffer> PrepareDevice();
    void StartThreads(std::unique_ptr<TAfCircularBuffer> ring);
    // Takes the status lock while the engine is active; false (lock not held) once it is not.
    // Never blocks for long on a lock held by a closing thread.
    bool LockStatus();
    // Under the status lock: reads the line counters and accumulates new errors and the event
    // bits (AfEvErr and modem changes) they show.
    void PollCountersLocked();
    // Polls the counters and returns the event bits found since the event thread last took them.
    std::uint32_t TakeCounterEvents();
    // The first call wakes the event thread to notify ceDeviceLost.
    void MarkHungUp();

    TAfDCB dcb_;
    std::int32_t inBufSize_ = 8192;
    std::int32_t outBufSize_ = 4096;
    TThreadPriority eventPriority_ = tpNormal;
    TThreadPriority writePriority_ = tpHigher;
    TAfCoreNotify notify_;

    int comNumber_ = 0;
    std::string path_;
    std::string heldPath_; // path_ resolved at open, as registered with AfHoldDevice
    int fd_ = -1;
    std::uint32_t eventMask_ = 0;
    std::atomic<bool> opened_{false};
    std::atomic<bool> active_{false};
    std::atomic<bool> hungUp_{false};

    TAfRecursiveLock statusLock_;
    std::recursive_mutex writeLock_;
    // Under the status lock:
    std::uint32_t lineErrors_ = 0;
    std::uint32_t counterEvents_ = 0;
    bool haveCounters_ = false;
    TIcount counters_;

    TAfEventFd started_; // each worker sets it once it runs
    TAfEventFd txDone_;  // the write thread drained the ring
    TAfEventFd drained_; // a read left the input queue empty
    TAfEventFd lost_;    // the device hung up (set once per open)
    std::unique_ptr<TAfComPortWriteThread> writeThread_;
    std::unique_ptr<TAfComPortEventThread> eventThread_;
};

} // namespace halvex
