#include "serial/AfComPortCore.h"

#include "serial/AfComPortThreads.h"
#include "serial/AfIoctl.h"
#include "serial/AfLog.h"
#include "serial/AfTermiosMap.h"

#include "serial/AfPortPaths.h"
#include "serial/AfPortProbe.h"
#include "serial/AfTermios2.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <system_error>

#include <fcntl.h>
#include <grp.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace halvex {

namespace {

constexpr int StartLimitMs = 3000; // a worker must signal within this time

std::string Format(const char* format, int n) {
    char text[128];
    std::snprintf(text, sizeof text, format, n);
    return text;
}

std::string ErrorText(int err) {
    char buffer[256];
    return ::strerror_r(err, buffer, sizeof buffer);
}

std::string DeviceGroup(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        group g{};
        group* found = nullptr;
        char buffer[1024];
        if (::getgrgid_r(st.st_gid, &g, buffer, sizeof buffer, &found) == 0 && found != nullptr &&
            st.st_gid != 0)
            return found->gr_name;
    }
    return "dialout";
}

// The message, then a line with the device and the system's reason.
std::string OpenFailure(const char* format, int n, const std::string& path, int err,
                        const char* reason) {
    std::string text = Format(format, n);
    if (path.empty())
        return text;
    text += "\n" + path + ": " + (reason != nullptr ? std::string(reason) : ErrorText(err));
    if (err == EACCES || err == EPERM)
        text += " - run \"sudo usermod -aG " + DeviceGroup(path) +
                " $USER\", then log out and in again";
    return text;
}

// Raw 8-bit line: no echo, no signals, no translation; reads return at once.
bool SetRawMode(int fd) {
    termios t{};
    if (::tcgetattr(fd, &t) != 0)
        return false;
    ::cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cflag &= ~static_cast<tcflag_t>(HUPCL); // closing must not drop DTR
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    return ::tcsetattr(fd, TCSANOW, &t) == 0;
}

std::uint32_t DeviceBaud(int fd, const termios& t) {
    std::uint32_t baud = 0;
    if (AfGetBaud(fd, baud))
        return baud;
    return AfSpeedBaud(::cfgetospeed(&t));
}

void SetModemLine(int fd, int line, bool on) {
    // Devices without modem lines (pseudo-terminals) refuse with ENOTTY/EINVAL: ignored.
    AfIoctl(fd, on ? TIOCMBIS : TIOCMBIC, &line);
}

// Applies the DCB to the device and checks it by reading the settings back.
bool ApplyDcb(int fd, const TAfDCB& dcb) {
    const std::optional<TAfLineSettings> line = AfLineFromDcb(dcb);
    if (!line)
        return false;
    termios t0{};
    if (::tcgetattr(fd, &t0) != 0)
        return false;
    termios t = t0;
    t.c_cflag = (t.c_cflag & ~AfControlBits) | line->Control;
    t.c_iflag = (t.c_iflag & ~(AfInputBits | IXANY)) | line->Input;
    t.c_cc[VSTART] = line->XonChar;
    t.c_cc[VSTOP] = line->XoffChar;
    const speed_t code = line->Speed != B0 ? line->Speed : B38400;
    ::cfsetispeed(&t, code);
    ::cfsetospeed(&t, code);
    // A device may take the call but not every setting (a pty keeps 8 bits, no parity):
    // what it refused is found by reading back, and then the previous settings return.
    bool taken = ::tcsetattr(fd, TCSANOW, &t) == 0;
    if (taken && line->Speed == B0)
        taken = AfSetCustomBaud(fd, line->Baud);
    termios back{};
    if (taken)
        taken = ::tcgetattr(fd, &back) == 0 && (back.c_cflag & AfControlBits) == line->Control &&
                (back.c_iflag & AfInputBits) == line->Input && back.c_cc[VSTART] == line->XonChar &&
                back.c_cc[VSTOP] == line->XoffChar && DeviceBaud(fd, back) == line->Baud;
    if (!taken) {
        ::tcsetattr(fd, TCSANOW, &t0);
        return false;
    }
    SetModemLine(fd, TIOCM_DTR, line->Dtr);
    if (!line->RtsCts)
        SetModemLine(fd, TIOCM_RTS, line->Rts);
    return true;
}

// The device's actual settings as a DCB; fields it does not know come from `base`.
TAfDCB ReadDcb(int fd, const TAfDCB& base) {
    termios t{};
    if (::tcgetattr(fd, &t) != 0) {
        TAfDCB dcb = base;
        dcb.DCBlength = sizeof(TAfDCB);
        return dcb;
    }
    TAfLineSettings line;
    line.Control = t.c_cflag & AfControlBits;
    line.Input = t.c_iflag & AfInputBits;
    line.XonChar = t.c_cc[VSTART];
    line.XoffChar = t.c_cc[VSTOP];
    line.Baud = DeviceBaud(fd, t);
    line.RtsCts = (t.c_cflag & CRTSCTS) != 0;
    int lines = 0;
    if (AfIoctl(fd, TIOCMGET, &lines) == 0) {
        line.Dtr = (lines & TIOCM_DTR) != 0;
        line.Rts = (lines & TIOCM_RTS) != 0;
    } else { // no modem lines: what was asked for stands
        line.Dtr = (base.Flags & dcbf::DtrEnable) != 0;
        line.Rts = (base.Flags & dcbf::RtsEnable) != 0;
    }
    return AfDcbFromLine(line, base);
}

} // namespace

// ---- TAfComPortCore -----------------------------------------------------------------------

TAfComPortCore::TAfComPortCore() = default;

TAfComPortCore::~TAfComPortCore() {
    if (opened_.load())
        ClosePort();
}

bool TAfComPortCore::OpenPort(int number) {
    if (opened_.load())
        return false;
    if (number <= 0)
        throw EAfComPortCoreError(Format("Invalid port number (COM%d)", number));
    comNumber_ = number;
    fd_ = -1;
    path_ = TAfPortPaths::Path(number);
    const TAfOpenResult device = AfOpenDevice(path_, true);
    if (device.fd < 0) {
        const char* format =
            device.state == psAbsent ? "Invalid port number (COM%d)" : "Can't open device COM%d";
        throw EAfComPortCoreError(OpenFailure(format, number, path_, device.err, device.reason));
    }
    fd_ = device.fd;
    hungUp_.store(false);
    heldPath_ = AfHoldDevice(path_);
    try {
        StartThreads(PrepareDevice());
        opened_.store(true);
        const std::string label = TAfPortPaths::Label(number);
        qCDebug(lcAfSerial, "%s open%s", label.c_str(),
                label == path_ ? "" : (": " + path_).c_str());
    } catch (...) {
        Teardown();
        throw;
    }
    return true;
}

// The opened device in raw mode with the line settings of the DCB, the events the threads
// wait on, a fresh input queue and the line error counters; returns the write ring.
std::unique_ptr<TAfCircularBuffer> TAfComPortCore::PrepareDevice() {
    if (!SetRawMode(fd_))
        throw EAfComPortCoreError("Error setting timeouts");
    std::unique_ptr<TAfCircularBuffer> ring;
    if (inBufSize_ < 1 || outBufSize_ < 1)
        throw EAfComPortCoreError("Error initializing buffers");
    try {
        ring = std::make_unique<TAfCircularBuffer>(outBufSize_);
    } catch (const std::bad_alloc&) {
        throw EAfComPortCoreError("Error initializing buffers");
    }

    if (!started_.Create() || !txDone_.Create() || !drained_.Create() || !lost_.Create())
        throw EAfComPortCoreError(" Error setting EventMask");
    started_.Reset();
    drained_.Reset();
    lost_.Reset();
    eventMask_ = AfEventMask;

    if (!ApplyDcb(fd_, dcb_)) {
        dcb_ = ReadDcb(fd_, dcb_);
        throw EAfComPortCoreError("Error setting parameters from DCB");
    }
    // Bytes that arrived before this open (a late answer to an earlier session that was
    // cut off) would be taken for the answer to this session's first frame.
    ::tcflush(fd_, TCIFLUSH);

    std::lock_guard<TAfRecursiveLock> guard(statusLock_);
    lineErrors_ = 0;
    counterEvents_ = 0;
    serial_icounter_struct ic{};
    haveCounters_ = AfIoctl(fd_, TIOCGICOUNT, &ic) == 0;
    counters_ = {ic.frame, ic.overrun, ic.parity, ic.brk, ic.buf_overrun,
                 ic.cts,   ic.dsr,     ic.rng,    ic.dcd};
    return ring;
}

// The write thread on `ring`, then the event thread, each at its priority once running.
void TAfComPortCore::StartThreads(std::unique_ptr<TAfCircularBuffer> ring) {
    try {
        auto writer = std::make_unique<TAfComPortWriteThread>(*this, fd_, std::move(ring));
        {
            std::lock_guard<std::recursive_mutex> guard(writeLock_);
            writeThread_ = std::move(writer);
        }
        writeThread_->Start();
    } catch (const std::system_error&) {
        throw EAfComPortCoreError("Error creating threads");
    }
    WaitStarted();
    writeThread_->SetPriority(writePriority_);

    active_.store(true);

    try {
        eventThread_ = std::make_unique<TAfComPortEventThread>(*this, fd_, notify_);
        eventThread_->Start();
    } catch (const std::system_error&) {
        throw EAfComPortCoreError("Error creating threads");
    }
    WaitStarted();
    eventThread_->SetPriority(eventPriority_);
}

void TAfComPortCore::WaitStarted() {
    if (!started_.Wait(StartLimitMs))
        throw EAfComPortCoreError("Error creating threads");
}

void TAfComPortCore::ClosePort() {
    if (!opened_.load() || fd_ < 0)
        return;
    Teardown();
}

void TAfComPortCore::Teardown() {
    active_.store(false);
    statusLock_.Poke(); // waiters for the status lock give up instead of blocking the stop
    {
        std::lock_guard<TAfRecursiveLock> status(statusLock_);
        // The writer acknowledges the flush (and writes nothing after it) before the purge,
        // so no byte still in the ring reaches the line once the purge is done.
        std::unique_ptr<TAfComPortWriteThread> writer;
        {
            std::lock_guard<std::recursive_mutex> guard(writeLock_);
            writer = std::move(writeThread_);
        }
        if (writer)
            writer->StopThread();
        writer.reset();
        if (fd_ >= 0)
            ::tcflush(fd_, TCIOFLUSH);
        if (eventThread_) {
            eventThread_->StopThread();
            eventThread_.reset();
        }
    }
    if (fd_ >= 0) {
        qCDebug(lcAfSerial, "%s closed", TAfPortPaths::Label(comNumber_).c_str());
        AfIoctl(fd_, TIOCNXCL);
        ::close(fd_); // also releases the advisory lock
        fd_ = -1;
        AfReleaseDevice(heldPath_);
    }
    // The threads have stopped: a hang-up belongs to the session that ended.
    hungUp_.store(false);
    eventMask_ = 0;
    opened_.store(false);
}

void TAfComPortCore::SetDCB(const TAfDCB& dcb) {
    dcb_ = dcb;
    if (!active_.load())
        return;
    if (!ApplyDcb(fd_, dcb_)) {
        dcb_ = ReadDcb(fd_, dcb_);
        throw EAfComPortCoreError("Error setting parameters from DCB");
    }
}

void TAfComPortCore::SetEventThreadPriority(TThreadPriority priority) {
    eventPriority_ = priority;
    if (active_.load() && eventThread_)
        eventThread_->SetPriority(priority);
}

void TAfComPortCore::SetWriteThreadPriority(TThreadPriority priority) {
    writePriority_ = priority;
    if (active_.load() && writeThread_)
        writeThread_->SetPriority(priority);
}

bool TAfComPortCore::LockStatus() {
    if (!statusLock_.LockUnless([this] { return !active_.load(); }))
        return false;
    if (active_.load())
        return true;
    statusLock_.unlock();
    return false;
}

void TAfComPortCore::PollCountersLocked() {
    if (!haveCounters_)
        return;
    serial_icounter_struct ic{};
    if (AfIoctl(fd_, TIOCGICOUNT, &ic) != 0) {
        haveCounters_ = false;
        return;
    }
    std::uint32_t errors = 0;
    if (ic.overrun != counters_.overrun)
        errors |= AfCeOverrun;
    if (ic.parity != counters_.parity)
        errors |= AfCeRxParity;
    if (ic.frame != counters_.frame)
        errors |= AfCeFrame;
    if (ic.brk != counters_.brk)
        errors |= AfCeBreak;
    if (ic.buf_overrun != counters_.bufOverrun)
        errors |= AfCeRxOver;
    std::uint32_t events = errors != 0 ? AfEvErr : 0;
    if (ic.cts != counters_.cts)
        events |= AfEvCts;
    if (ic.dsr != counters_.dsr)
        events |= AfEvDsr;
    if (ic.rng != counters_.rng)
        events |= AfEvRing;
    if (ic.dcd != counters_.dcd)
        events |= AfEvRlsd;
    counters_ = {ic.frame, ic.overrun, ic.parity, ic.brk, ic.buf_overrun,
                 ic.cts,   ic.dsr,     ic.rng,    ic.dcd};
    lineErrors_ |= errors;
    counterEvents_ |= events;
}

std::uint32_t TAfComPortCore::TakeCounterEvents() {
    TAfLockHeld guard(LockStatus(), statusLock_);
    if (!guard)
        return 0;
    PollCountersLocked();
    const std::uint32_t events = counterEvents_;
    counterEvents_ = 0;
    return events;
}

bool TAfComPortCore::Write(const void* buffer, std::int32_t count) {
    std::lock_guard<std::recursive_mutex> guard(writeLock_);
    if (!active_.load() || hungUp_.load() || !writeThread_)
        return false;
    if (!writeThread_->Ring().Put(buffer, count))
        return false;
    writeThread_->DataReady();
    return true;
}

std::int32_t TAfComPortCore::Read(void* buffer, std::int32_t count) {
    TAfLockHeld guard(LockStatus(), statusLock_);
    if (!guard)
        return -1;
    if (count <= 0)
        return 0;
    ssize_t r;
    do {
        r = ::read(fd_, buffer, static_cast<std::size_t>(count));
    } while (r < 0 && errno == EINTR);
    // A raw line (VMIN = VTIME = 0) also reads 0 bytes when nothing is waiting; only a
    // device that polls as hung up has gone (EIO: pty master closed).
    if (r < 0 && (errno == EIO || errno == ENXIO || errno == ENODEV)) {
        MarkHungUp();
    } else if (r == 0) {
        pollfd p{fd_, 0, 0};
        if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0)
            MarkHungUp();
    }
    if (r < 0)
        r = 0;
    int waiting = 0;
    if (AfIoctl(fd_, FIONREAD, &waiting) == 0 && waiting == 0)
        drained_.Set();
    return static_cast<std::int32_t>(r);
}

TAfComStatus TAfComPortCore::GetComStatus() {
    TAfComStatus status;
    TAfLockHeld guard(LockStatus(), statusLock_);
    if (!guard)
        return status;
    int n = 0;
    if (AfIoctl(fd_, FIONREAD, &n) == 0)
        status.InQue = n;
    n = 0;
    if (AfIoctl(fd_, TIOCOUTQ, &n) == 0)
        status.OutQue = n;
    const std::uint32_t before = lineErrors_;
    PollCountersLocked();
    status.Errors = lineErrors_ & ~before;
    return status;
}

std::uint32_t TAfComPortCore::TakeLineErrors() {
    TAfLockHeld guard(LockStatus(), statusLock_);
    if (!guard)
        return 0;
    const std::uint32_t errors = lineErrors_;
    lineErrors_ = 0;
    return errors;
}

std::int32_t TAfComPortCore::OutFree() {
    std::lock_guard<std::recursive_mutex> guard(writeLock_);
    if (!active_.load() || !writeThread_)
        return 0;
    return writeThread_->Ring().Free();
}

bool TAfComPortCore::Escape(std::uint32_t function) {
    if (!active_.load())
        return false;
    int line;
    bool on;
    switch (function) {
    case AfSetRts:
        line = TIOCM_RTS;
        on = true;
        break;
    case AfClrRts:
        line = TIOCM_RTS;
        on = false;
        break;
    case AfSetDtr:
        line = TIOCM_DTR;
        on = true;
        break;
    case AfClrDtr:
        line = TIOCM_DTR;
        on = false;
        break;
    default:
        return false;
    }
    if (AfIoctl(fd_, on ? TIOCMBIS : TIOCMBIC, &line) == 0)
        return true;
    return errno == ENOTTY || errno == EINVAL; // no modem lines: accepted silently
}

void TAfComPortCore::MarkHungUp() {
    if (hungUp_.exchange(true))
        return;
    qCDebug(lcAfSerial, "%s hung up: the device has gone", TAfPortPaths::Label(comNumber_).c_str());
    lost_.Set();
}

bool TAfComPortCore::WriterWaitsForRoom() const {
    return writeThread_ && writeThread_->WaitsForRoom();
}

pid_t TAfComPortCore::EventThreadTid() const {
    return eventThread_ ? eventThread_->Tid() : 0;
}

pid_t TAfComPortCore::WriteThreadTid() const {
    return writeThread_ ? writeThread_->Tid() : 0;
}

TAfPortState TAfComPortCore::ProbePort(int n) {
    return TAfPortProbe().State(n);
}

} // namespace halvex
