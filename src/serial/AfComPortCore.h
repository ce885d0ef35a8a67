// Port engine: the open serial device, its configuration, two locks and two worker threads.
//
// TAfComPortEventThread waits (poll) on the device and on eventfds for stop, transmit-done
// and "input queue drained", reports line events, and every 200 ms without an event polls
// the input queue. TAfComPortWriteThread drains the write ring (TAfCircularBuffer) to the
// device, so that writers never wait for the line. Received bytes stay in the device's
// input queue until the caller reads them (Read, on the caller's thread).
//
// Locks: the status lock (Read, GetComStatus, TakeLineErrors, and ClosePort across both
// thread stops) is always taken before the write lock (Write, OutFree, the write thread's
// ring access, the flush). Worker threads never wait on the status lock once closing has
// begun, so ClosePort can join them while holding it.
//
// Port number n names the device TAfPortPaths::Path(n). Errors are EAfComPortCoreError;
// for a failed open the first line of what() is the message ("Invalid port number (COM%d)",
// "Can't open device COM%d") and a second line gives the device path and the system's reason.
#pragma once

#include "serial/AfCircularBuffer.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

#include <sys/types.h>

namespace halvex {

// Kind of an engine notification.
enum TAfCoreEvent : std::uint8_t {
    ceOutBufFree = 0,   // data 0: the write ring drained and the last device write completed
    ceLineEvent = 1,    // data: device event mask (subset of AfEventMask)
    ceDataReceived = 2, // data: bytes in the input queue (200 ms poll)
    ceException = 3,    // the exception raised on the event thread
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

// Device control block with the field layout of the Win32 DCB (28 bytes).
struct TAfDCB {
    std::uint32_t DCBlength = 0;
    std::uint32_t BaudRate = 0;
    std::uint32_t Flags = 0;
    std::uint16_t wReserved = 0;
    std::uint16_t XonLim = 0;
    std::uint16_t XoffLim = 0;
    std::uint8_t ByteSize = 0;
    std::uint8_t Parity = 0;   // 0 none, 1 odd, 2 even, 3 mark, 4 space
    std::uint8_t StopBits = 0; // 0 one, 1 one and a half, 2 two
    char XonChar = 0;
    char XoffChar = 0;
    char ErrorChar = 0;
    char EofChar = 0;
    char EvtChar = 0;
    std::uint16_t wReserved1 = 0;

    bool operator==(const TAfDCB&) const = default;
};
static_assert(sizeof(TAfDCB) == 28, "TAfDCB must keep the 28-byte DCB layout");

// Bits of TAfDCB::Flags.
namespace dcbf {
inline constexpr std::uint32_t Binary = 0x0001;
inline constexpr std::uint32_t Parity = 0x0002;
inline constexpr std::uint32_t OutxCtsFlow = 0x0004;
inline constexpr std::uint32_t OutxDsrFlow = 0x0008;
inline constexpr std::uint32_t DtrEnable = 0x0010;
inline constexpr std::uint32_t DtrHandshake = 0x0020;
inline constexpr std::uint32_t DtrControlMask = 0x0030;
inline constexpr std::uint32_t DsrSensitivity = 0x0040;
inline constexpr std::uint32_t TXContinueOnXoff = 0x0080;
inline constexpr std::uint32_t OutX = 0x0100;
inline constexpr std::uint32_t InX = 0x0200;
inline constexpr std::uint32_t ErrorChar = 0x0400;
inline constexpr std::uint32_t Null = 0x0800;
inline constexpr std::uint32_t RtsEnable = 0x1000;
inline constexpr std::uint32_t RtsHandshake = 0x2000;
inline constexpr std::uint32_t RtsControlMask = 0x3000;
} // namespace dcbf

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

// State of a port found by a trial open (port selector).
enum TAfPortState : std::uint16_t {
    psBusy = 0,         // exists, but the trial open failed (in use, not a serial device)
    psAvailable = 1,    // could be opened (and was closed again at once)
    psAbsent = 2,       // no such device
    psNoPermission = 3, // exists, but this user may not open it (not in its group)
};

// True for a device that opened but has no UART behind it (a legacy 8250 port such as
// /dev/ttyS1 on most PCs): it reports the unknown UART type (0) and its modem-line query
// fails with EIO. USB serial adapters also report type 0 but answer the modem-line query;
// devices without serial information (pseudo-terminals) are never counted as absent.
bool AfNoUartBehind(bool haveSerialInfo, int uartType, bool modemQueryOk, int modemError);

class TAfComPortCore;

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

// Notification callback; always called on the event thread. `error` is set for ceException.
using TAfCoreNotify = std::function<void(TAfComPortCore& core, TAfCoreEvent kind,
                                         std::uint32_t data, std::exception_ptr error)>;

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
    // Waits up to `ms` milliseconds (negative: no limit) and consumes the event.
    bool Wait(int ms);

private:
    int fd_ = -1;
};

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

    std::mutex notifyLock_; // guards notify_ (cleared by StopThread on the closing thread)
    TAfCoreNotify notify_;
    bool haveModem_ = false;
    int modemLines_ = 0;
};

class TAfComPortWriteThread final : public TAfComPortCoreThread {
public:
    TAfComPortWriteThread(TAfComPortCore& core, int fd, std::unique_ptr<TAfCircularBuffer> ring);
    // Flush (discard the ring and the output queue, if acknowledged within 2000 ms), then stop.
    void StopThread() override;
    TAfCircularBuffer& Ring() { return *ring_; }
    void DataReady() { dataReady_.Set(); }

protected:
    void Execute() override;

private:
    // Sends the ring's contents piece by piece until it is empty, the device stops taking
    // bytes, or a stop or flush request arrives.
    void Drain();

    std::unique_ptr<TAfCircularBuffer> ring_;
    TAfEventFd flushRequest_;
    TAfEventFd flushAck_;
    TAfEventFd dataReady_;
};

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

    // Trial open of port n, as OpenPort opens (closed again at once).
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
    // Takes the status lock while the engine is active; false (lock not held) once it is not.
    // Never blocks for long on a lock held by a closing thread.
    bool LockStatus();
    // Under the status lock: reads the line counters and accumulates new errors and the event
    // bits (AfEvErr and modem changes) they show.
    void PollCountersLocked();
    // Polls the counters and returns the event bits found since the event thread last took them.
    std::uint32_t TakeCounterEvents();
    void MarkHungUp() { hungUp_.store(true); }

    TAfDCB dcb_;
    std::int32_t inBufSize_ = 8192;
    std::int32_t outBufSize_ = 4096;
    TThreadPriority eventPriority_ = tpNormal;
    TThreadPriority writePriority_ = tpHigher;
    TAfCoreNotify notify_;

    int comNumber_ = 0;
    std::string path_;
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
    std::unique_ptr<TAfComPortWriteThread> writeThread_;
    std::unique_ptr<TAfComPortEventThread> eventThread_;
};

} // namespace halvex
