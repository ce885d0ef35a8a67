#include "serial/AfComPortCore.h"

#include "serial/AfPortPaths.h"
#include "serial/AfPortProbe.h"
#include "serial/AfTermios2.h"

#include "SerialTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace halvex {
namespace {

using test::FirstLine;
using test::ThreadCpuTicks;
using test::TicksPerSecond;
using test::TPty;
using test::WaitUntil;
using namespace std::chrono_literals;

constexpr int PortA = 40; // mapped to the test's pseudo-terminal
constexpr int PortB = 41;
constexpr auto FlushLimit = 2000ms; // the longest a close may wait for the writer

// Records engine notifications (event thread) for the test thread.
class TRecorder {
public:
    struct TEntry {
        TAfCoreEvent kind;
        std::uint32_t data;
        std::string error;
    };

    TAfCoreNotify Callback() {
        return [this](TAfComPortCore&, TAfCoreEvent kind, std::uint32_t data,
                      std::exception_ptr error) {
            std::string text;
            if (error) {
                try {
                    std::rethrow_exception(error);
                } catch (const std::exception& e) {
                    text = e.what();
                }
            }
            {
                std::lock_guard<std::mutex> guard(lock_);
                entries_.push_back({kind, data, text});
            }
            changed_.notify_all();
            if (throwOnOutBufFree && kind == ceOutBufFree)
                throw std::runtime_error("callback failed");
        };
    }

    std::vector<TEntry> Entries() {
        std::lock_guard<std::mutex> guard(lock_);
        return entries_;
    }
    void Clear() {
        std::lock_guard<std::mutex> guard(lock_);
        entries_.clear();
    }
    int Count(TAfCoreEvent kind, std::uint32_t maskBit = 0) {
        std::lock_guard<std::mutex> guard(lock_);
        return static_cast<int>(std::count_if(entries_.begin(), entries_.end(), [&](auto& e) {
            return e.kind == kind && (maskBit == 0 || (e.data & maskBit) != 0);
        }));
    }
    // Waits (real time, bounded) until `count` notifications of the kind have arrived.
    bool WaitFor(TAfCoreEvent kind, int count, std::uint32_t maskBit = 0,
                 std::chrono::milliseconds limit = 5s) {
        std::unique_lock<std::mutex> lock(lock_);
        return changed_.wait_for(lock, limit, [&] {
            return std::count_if(entries_.begin(), entries_.end(), [&](auto& e) {
                       return e.kind == kind && (maskBit == 0 || (e.data & maskBit) != 0);
                   }) >= count;
        });
    }

    std::atomic<bool> throwOnOutBufFree{false};

private:
    std::mutex lock_;
    std::condition_variable changed_;
    std::vector<TEntry> entries_;
};

TAfDCB LineDcb(std::uint32_t baud = 57600) {
    TAfDCB dcb{};
    dcb.DCBlength = sizeof(TAfDCB);
    dcb.BaudRate = baud;
    dcb.ByteSize = 8;
    dcb.Flags = 0x1001;
    dcb.XonChar = 17;
    dcb.XoffChar = 19;
    return dcb;
}

std::string Pattern(std::size_t n) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return s;
}

class AfComPortCoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        TAfPortPaths::SetOverride(PortA, pty.Slave());
        core.SetOnNotify(recorder.Callback());
        core.SetDCB(LineDcb());
        core.SetInBufSize(4096);
        core.SetOutBufSize(2048);
    }
    void TearDown() override {
        core.ClosePort();
        TAfPortPaths::ClearOverrides();
    }

    // Settings of the device as another opener sees them.
    termios DeviceTermios() {
        termios t{};
        const int fd = ::open(pty.Slave().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        EXPECT_GE(fd, 0);
        ::tcgetattr(fd, &t);
        ::close(fd);
        return t;
    }

    std::string OpenError(int number) {
        try {
            core.OpenPort(number);
        } catch (const EAfComPortCoreError& e) {
            return e.what();
        }
        return "no error";
    }

    TPty pty;
    TRecorder recorder;
    TAfComPortCore core;
};

TEST_F(AfComPortCoreTest, OpenCloseReopen) {
    ASSERT_TRUE(core.OpenPort(PortA));
    EXPECT_TRUE(core.IsOpen());
    EXPECT_TRUE(core.Active());
    EXPECT_EQ(core.ComNumber(), PortA);
    EXPECT_EQ(core.DevicePath(), pty.Slave());
    EXPECT_EQ(core.EventMask(), 0x01B9u);
    EXPECT_NE(core.EventThreadTid(), 0);
    EXPECT_NE(core.WriteThreadTid(), 0);
    EXPECT_EQ(core.OutFree(), 2048);
    EXPECT_FALSE(core.OpenPort(PortA)); // already open: nothing changes
    EXPECT_TRUE(core.IsOpen());

    core.ClosePort();
    EXPECT_FALSE(core.IsOpen());
    EXPECT_FALSE(core.Active());
    EXPECT_EQ(core.EventThreadTid(), 0);
    EXPECT_EQ(core.WriteThreadTid(), 0);
    char buffer[4];
    EXPECT_EQ(core.Read(buffer, 4), -1);
    EXPECT_FALSE(core.Write("x", 1));
    EXPECT_EQ(core.OutFree(), 0);
    const TAfComStatus status = core.GetComStatus();
    EXPECT_EQ(status.InQue, 0);
    EXPECT_EQ(status.OutQue, 0);
    EXPECT_EQ(status.Errors, 0u);
    EXPECT_EQ(core.TakeLineErrors(), 0u);
    EXPECT_FALSE(core.Escape(AfSetDtr));
    core.ClosePort(); // harmless

    ASSERT_TRUE(core.OpenPort(PortA));
    ASSERT_TRUE(core.Write("again", 5));
    EXPECT_EQ(pty.Receive(5), "again");
}

TEST_F(AfComPortCoreTest, InvalidNumbersAndMissingDevices) {
    EXPECT_EQ(OpenError(0), "Invalid port number (COM0)");
    EXPECT_EQ(OpenError(-3), "Invalid port number (COM-3)");
    EXPECT_EQ(OpenError(33), "Invalid port number (COM33)"); // no device named
    TAfPortPaths::SetOverride(PortB, "/nonexistent/ttyHalvex");
    const std::string missing = OpenError(PortB);
    EXPECT_EQ(FirstLine(missing), "Invalid port number (COM41)");
    EXPECT_NE(missing.find("/nonexistent/ttyHalvex"), std::string::npos);
    EXPECT_FALSE(core.IsOpen());
    EXPECT_EQ(core.EventThreadTid(), 0);
}

// A node that is no serial line (no terminal at all, or the controlling terminal's alias) is
// refused by its tty driver's class, before any open.
TEST_F(AfComPortCoreTest, NonTerminalCannotBeOpened) {
    for (const std::string device : {"/dev/null", "/dev/tty"}) {
        TAfPortPaths::SetOverride(PortB, device);
        EXPECT_EQ(OpenError(PortB), "Can't open device COM41\n" + device + ": not a serial port");
        EXPECT_EQ(TAfComPortCore::ProbePort(PortB), psBusy);
        EXPECT_FALSE(core.IsOpen());
    }
}

// Another process that holds `path` open (with flock and TIOCEXCL when `lock`) until
// Release or destruction.
class THolderProcess {
public:
    THolderProcess(const std::string& path, bool lock) {
        if (::pipe(ready_) != 0 || ::pipe(release_) != 0)
            return;
        child_ = ::fork();
        if (child_ == 0) {
            // Only async-signal-safe calls here. The child drops what it inherited (the
            // test's pty master among them): it is another program, not the line's far end.
            for (int inherited = 3; inherited < 1024; ++inherited)
                if (inherited != ready_[1] && inherited != release_[0])
                    ::close(inherited);
            const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            bool ok = fd >= 0;
            if (ok && lock)
                ok = ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::ioctl(fd, TIOCEXCL) == 0;
            (void)!::write(ready_[1], ok ? "y" : "n", 1);
            char c;
            (void)!::read(release_[0], &c, 1);
            ::_exit(0);
        }
        char ok = 0;
        holding_ = child_ > 0 && ::read(ready_[0], &ok, 1) == 1 && ok == 'y';
    }
    ~THolderProcess() {
        Release();
        for (int fd : {ready_[0], ready_[1], release_[0], release_[1]})
            ::close(fd);
    }
    THolderProcess(const THolderProcess&) = delete;
    THolderProcess& operator=(const THolderProcess&) = delete;

    bool Holding() const { return holding_; }
    void Release() {
        if (child_ <= 0)
            return;
        (void)!::write(release_[1], "x", 1);
        ::waitpid(child_, nullptr, 0);
        child_ = -1;
    }

private:
    int ready_[2] = {-1, -1};
    int release_[2] = {-1, -1};
    pid_t child_ = -1;
    bool holding_ = false;
};

// With a lock or without one (a tty may be opened twice, and the two programs would take
// each other's bytes), a port another program holds is not opened.
TEST_F(AfComPortCoreTest, PortHeldByAnotherProcessIsBusy) {
    const std::string slave = pty.Slave();
    THolderProcess unlocked(slave, false);
    ASSERT_TRUE(unlocked.Holding());
    EXPECT_EQ(OpenError(PortA),
              "Can't open device COM40\n" + slave + ": in use by another program");
    unlocked.Release();

    THolderProcess holder(slave, true);
    ASSERT_TRUE(holder.Holding());
    const std::string busy = OpenError(PortA);
    EXPECT_EQ(FirstLine(busy), "Can't open device COM40");
    EXPECT_NE(busy.find(slave), std::string::npos);
    EXPECT_FALSE(core.IsOpen());
    EXPECT_EQ(TAfComPortCore::ProbePort(PortA), psBusy);

    holder.Release();
    EXPECT_EQ(TAfComPortCore::ProbePort(PortA), psAvailable);
    EXPECT_TRUE(core.OpenPort(PortA));
}

TEST_F(AfComPortCoreTest, ProbeStates) {
    EXPECT_EQ(TAfComPortCore::ProbePort(PortA), psAvailable);
    TAfPortPaths::SetOverride(PortB, "/nonexistent/ttyHalvex");
    EXPECT_EQ(TAfComPortCore::ProbePort(PortB), psAbsent);
    EXPECT_EQ(TAfComPortCore::ProbePort(0), psAbsent);
    ASSERT_TRUE(core.OpenPort(PortA));
    EXPECT_EQ(TAfComPortCore::ProbePort(PortA), psBusy); // our own open port
    // The probe did not disturb the open port.
    ASSERT_TRUE(core.Write("ok", 2));
    EXPECT_EQ(pty.Receive(2), "ok");
}

// Probing a port that this process or another one holds open says busy without opening it
// (an open would raise DTR on a real port): the device sees no open at all.
TEST_F(AfComPortCoreTest, ProbingNeverOpensAHeldPort) {
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(::inotify_add_watch(watch, pty.Slave().c_str(), IN_OPEN), 0);
    auto opens = [&] {
        int n = 0;
        char events[4096];
        for (ssize_t r; (r = ::read(watch, events, sizeof events)) > 0;)
            for (char* p = events; p < events + r;
                 p += sizeof(inotify_event) + reinterpret_cast<inotify_event*>(p)->len)
                ++n;
        return n;
    };
    ASSERT_TRUE(core.OpenPort(PortA));
    ASSERT_GE(opens(), 1); // the watch sees opens
    EXPECT_EQ(TAfComPortCore::ProbePort(PortA), psBusy);
    EXPECT_EQ(opens(), 0);
    core.ClosePort();

    // Another process holds the device, without any lock.
    THolderProcess holder(pty.Slave(), false);
    ASSERT_TRUE(holder.Holding());
    opens();
    EXPECT_EQ(TAfComPortCore::ProbePort(PortA), psBusy);
    EXPECT_EQ(opens(), 0);
    ::close(watch);
}

// Which devices that open count as absent. Values as the kernel reports them: UART type 0
// (unknown) or 4 (16550A); the modem-line query's result.
TEST(AfPortClassification, OnlyPortsWithoutAUartAreAbsent) {
    // Legacy 8250 port with nothing behind it.
    EXPECT_TRUE(AfNoUartBehind(true, 0, false, EIO));
    // USB serial adapters (and CDC-ACM) report type 0 too but answer the modem-line query.
    EXPECT_FALSE(AfNoUartBehind(true, 0, true, 0));
    // A real UART.
    EXPECT_FALSE(AfNoUartBehind(true, 4, true, 0));
    EXPECT_FALSE(AfNoUartBehind(true, 4, false, EIO));
    // No serial information (pseudo-terminal) or another modem-line error.
    EXPECT_FALSE(AfNoUartBehind(false, 0, false, ENOTTY));
    EXPECT_FALSE(AfNoUartBehind(true, 0, false, ENOTTY));
}

TEST_F(AfComPortCoreTest, WritesLeaveInOrderAndReportDrained) {
    ASSERT_TRUE(core.OpenPort(PortA));
    const std::string frame = "$w" + std::string(66, 'A') + "C4\r\n";
    ASSERT_EQ(frame.size(), 72u);
    ASSERT_TRUE(core.Write(frame.data(), 72));
    ASSERT_TRUE(core.Write("tail", 4));
    EXPECT_EQ(pty.Receive(76), frame + "tail");
    EXPECT_TRUE(recorder.WaitFor(ceOutBufFree, 1));
    EXPECT_FALSE(core.Write("", 0));
    EXPECT_FALSE(core.Write(frame.data(), -1));
    EXPECT_EQ(core.OutFree(), 2048);
}

TEST_F(AfComPortCoreTest, RingRefusesWhatDoesNotFit) {
    ASSERT_TRUE(core.OpenPort(PortA));
    const std::string big(2049, 'x');
    EXPECT_FALSE(core.Write(big.data(), 2049));
    EXPECT_EQ(core.OutFree(), 2048);
    EXPECT_TRUE(core.Write(big.data(), 100));
    EXPECT_EQ(pty.Receive(100), std::string(100, 'x'));
}

// The far end does not read: the device takes only part of each piece (short writes, then
// EAGAIN). Every byte must arrive exactly once and in order.
TEST_F(AfComPortCoreTest, ShortWritesSendOnlyTheRest) {
    core.SetOutBufSize(65536);
    ASSERT_TRUE(core.OpenPort(PortA));
    const std::string data = Pattern(200000);
    std::string received;
    std::size_t queued = 0;
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    bool drainedOnce = false;
    while (received.size() < data.size() && std::chrono::steady_clock::now() < deadline) {
        const std::size_t chunk = std::min<std::size_t>(3000, data.size() - queued);
        if (chunk > 0 && core.Write(data.data() + queued, static_cast<std::int32_t>(chunk))) {
            queued += chunk;
            continue;
        }
        // The ring is full (or all is queued): now play the slow far end.
        if (!drainedOnce) {
            drainedOnce = true;
            EXPECT_LT(core.OutFree(), 3000);
        }
        received += pty.Receive(std::min<std::size_t>(1000, data.size() - received.size()), 200);
    }
    ASSERT_EQ(received.size(), data.size());
    EXPECT_TRUE(received == data) << "bytes lost, repeated or reordered";
    EXPECT_TRUE(recorder.WaitFor(ceOutBufFree, 1));
}

// The writer waits for room with most of the data still in its ring. Whatever the far end
// gets after the close must have been in the kernel already: the first bytes of the data,
// never a later piece the writer sent during or after the purge.
TEST_F(AfComPortCoreTest, CloseWhileBytesAreInFlight) {
    core.SetOutBufSize(65536);
    ASSERT_TRUE(core.OpenPort(PortA));
    const std::string data = Pattern(61000);
    ASSERT_TRUE(core.Write(data.data(), 60000)); // far more than the pty buffer holds
    ASSERT_TRUE(WaitUntil([&] { return core.WriterWaitsForRoom(); }));
    ASSERT_TRUE(core.Write(data.data() + 60000, 1000)); // queued while the writer waits
    const std::size_t inKernel = data.size() - static_cast<std::size_t>(65536 - core.OutFree());
    core.ClosePort();
    EXPECT_FALSE(core.IsOpen());
    EXPECT_EQ(core.WriteThreadTid(), 0);
    const std::string after = pty.Receive(data.size(), 300);
    EXPECT_LE(after.size(), inKernel);
    EXPECT_TRUE(after == data.substr(0, after.size())) << "bytes sent after the purge";
    ASSERT_TRUE(core.OpenPort(PortA));
    ASSERT_TRUE(core.Write("next", 4));
    EXPECT_EQ(pty.Receive(4), "next"); // the discarded bytes are not sent any more
}

TEST_F(AfComPortCoreTest, PartialReadsKeepTheRest) {
    ASSERT_TRUE(core.OpenPort(PortA));
    pty.Send("0123456789");
    ASSERT_TRUE(recorder.WaitFor(ceLineEvent, 1, AfEvRxChar));
    ASSERT_TRUE(WaitUntil([&] { return core.GetComStatus().InQue == 10; }));
    char buffer[32] = {};
    EXPECT_EQ(core.Read(buffer, 4), 4);
    EXPECT_EQ(std::string(buffer, 4), "0123");
    EXPECT_EQ(core.GetComStatus().InQue, 6);
    EXPECT_EQ(core.Read(buffer, 32), 6);
    EXPECT_EQ(std::string(buffer, 6), "456789");
    EXPECT_EQ(core.Read(buffer, 32), 0);
    EXPECT_EQ(core.Read(buffer, 0), 0);
    // An empty input queue is not a hang-up: the port still sends.
    EXPECT_FALSE(core.HungUp());
    ASSERT_TRUE(core.Write("ok", 2));
    EXPECT_EQ(pty.Receive(2), "ok");
    // The queue was emptied: new bytes are a new arrival.
    recorder.Clear();
    pty.Send("AB");
    EXPECT_TRUE(recorder.WaitFor(ceLineEvent, 1, AfEvRxChar));
    EXPECT_EQ(core.Read(buffer, 2), 2);
    EXPECT_EQ(std::string(buffer, 2), "AB");
}

TEST_F(AfComPortCoreTest, BytesFromBeforeTheOpenAreDiscarded) {
    // The device is held open elsewhere (as a board's pty is), so bytes sent while the
    // port is closed wait in its input queue.
    const int holder = ::open(pty.Slave().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(holder, 0);
    termios raw{};
    ::tcgetattr(holder, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(holder, TCSANOW, &raw);
    pty.Send("#+");
    ASSERT_TRUE(core.OpenPort(PortA));
    ::close(holder);
    pty.Send("AB");
    ASSERT_TRUE(recorder.WaitFor(ceLineEvent, 1, AfEvRxChar));
    char buffer[8] = {};
    EXPECT_EQ(core.Read(buffer, 8), 2);
    EXPECT_EQ(std::string(buffer, 2), "AB");
}

// Unread bytes: one received-character event for the arrival, then the 200 ms poll reports
// them; the event thread sleeps in between instead of waking on the waiting bytes.
TEST_F(AfComPortCoreTest, UnreadBytesArePolledWithoutSpinning) {
    ASSERT_TRUE(core.OpenPort(PortA));
    pty.Send("abcde");
    ASSERT_TRUE(recorder.WaitFor(ceLineEvent, 1, AfEvRxChar));
    const pid_t tid = core.EventThreadTid();
    const long before = ThreadCpuTicks(tid);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(recorder.WaitFor(ceDataReceived, 5, 0, 5s));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    const long used = ThreadCpuTicks(tid) - before;
    EXPECT_GE(elapsed, 600ms); // about 200 ms apart, not a burst
    EXPECT_LT(used, TicksPerSecond() / 20) << "event thread busy while bytes wait";
    EXPECT_EQ(recorder.Count(ceLineEvent, AfEvRxChar), 1);
    for (const auto& e : recorder.Entries()) {
        if (e.kind == ceDataReceived) {
            EXPECT_EQ(e.data, 5u);
        }
    }
    // More bytes while the first are still unread: a new arrival.
    pty.Send("fg");
    EXPECT_TRUE(recorder.WaitFor(ceLineEvent, 2, AfEvRxChar));
    char buffer[8];
    EXPECT_EQ(core.Read(buffer, 8), 7);
}

TEST_F(AfComPortCoreTest, ThreadsAreIdleWhenNothingHappens) {
    ASSERT_TRUE(core.OpenPort(PortA));
    const long eventBefore = ThreadCpuTicks(core.EventThreadTid());
    const long writeBefore = ThreadCpuTicks(core.WriteThreadTid());
    std::this_thread::sleep_for(1s);
    EXPECT_LT(ThreadCpuTicks(core.EventThreadTid()) - eventBefore, TicksPerSecond() / 20);
    EXPECT_LT(ThreadCpuTicks(core.WriteThreadTid()) - writeBefore, TicksPerSecond() / 20);
    EXPECT_EQ(recorder.Count(ceDataReceived), 0);
}

// The far end vanishes while the port is open.
TEST_F(AfComPortCoreTest, HangUpStopsWatchingAndFailsTheNextOperation) {
    ASSERT_TRUE(core.OpenPort(PortA));
    pty.Send("xyz");
    ASSERT_TRUE(recorder.WaitFor(ceLineEvent, 1, AfEvRxChar));
    pty.CloseMaster();
    ASSERT_TRUE(recorder.WaitFor(ceDeviceLost, 1));
    ASSERT_TRUE(core.HungUp());
    const pid_t tid = core.EventThreadTid();
    const long before = ThreadCpuTicks(tid);
    std::this_thread::sleep_for(1s);
    EXPECT_LT(ThreadCpuTicks(tid) - before, TicksPerSecond() / 20) << "spinning after hang-up";
    EXPECT_FALSE(core.Write("late", 4));
    char buffer[8];
    EXPECT_EQ(core.Read(buffer, 8), 0);
    const auto start = std::chrono::steady_clock::now();
    core.ClosePort();
    EXPECT_LT(std::chrono::steady_clock::now() - start, FlushLimit); // not the flush time-out
    EXPECT_FALSE(core.IsOpen());
    // Said once, however often the hang-up was met (poll, write, read); the close joined the
    // event thread, so nothing more can come.
    EXPECT_EQ(recorder.Count(ceDeviceLost), 1);
    // The pseudo-terminal is gone with its master.
    EXPECT_EQ(FirstLine(OpenError(PortA)), "Invalid port number (COM40)");
}

TEST_F(AfComPortCoreTest, HangUpWhileTheWriterWaitsForRoom) {
    core.SetOutBufSize(65536);
    ASSERT_TRUE(core.OpenPort(PortA));
    const std::string data = Pattern(60000);
    ASSERT_TRUE(core.Write(data.data(), 60000));
    ASSERT_TRUE(WaitUntil([&] { return core.WriterWaitsForRoom(); }));
    pty.CloseMaster();
    ASSERT_TRUE(recorder.WaitFor(ceDeviceLost, 1));
    EXPECT_TRUE(core.HungUp());
    const pid_t tid = core.WriteThreadTid();
    const long before = ThreadCpuTicks(tid);
    std::this_thread::sleep_for(500ms); // measuring window
    EXPECT_LT(ThreadCpuTicks(tid) - before, TicksPerSecond() / 20);
    const auto start = std::chrono::steady_clock::now();
    core.ClosePort();
    EXPECT_LT(std::chrono::steady_clock::now() - start, FlushLimit);
}

TEST_F(AfComPortCoreTest, OpenAppliesRawLineAndDcb) {
    ASSERT_TRUE(core.OpenPort(PortA));
    const termios t = DeviceTermios();
    EXPECT_EQ(::cfgetospeed(&t), static_cast<speed_t>(B57600));
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | CRTSCTS | HUPCL), 0u);
    EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL | INLCR | ISTRIP), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_cc[VMIN], 0);
    EXPECT_EQ(t.c_cc[VTIME], 0);
    // Bytes pass unaltered both ways (no CR/LF translation, no echo).
    pty.Send(std::string("\r\n\x03\x11\x13\xff", 6));
    ASSERT_TRUE(recorder.WaitFor(ceLineEvent, 1, AfEvRxChar));
    ASSERT_TRUE(WaitUntil([&] { return core.GetComStatus().InQue == 6; }));
    char buffer[8];
    ASSERT_EQ(core.Read(buffer, 8), 6);
    EXPECT_EQ(std::string(buffer, 6), std::string("\r\n\x03\x11\x13\xff", 6));
    ASSERT_TRUE(core.Write("\r\n\x04", 3));
    EXPECT_EQ(pty.Receive(3), "\r\n\x04");
    EXPECT_EQ(pty.Receive(1, 100), ""); // no echo
}

TEST_F(AfComPortCoreTest, DcbChangesWhileOpen) {
    ASSERT_TRUE(core.OpenPort(PortA));
    TAfDCB dcb = LineDcb(9600);
    dcb.StopBits = 2;
    dcb.Flags = 0x0001 | 0x0300 | 0x0002; // XON/XOFF both ways, parity check
    dcb.XonChar = 0x01;
    dcb.XoffChar = 0x02;
    core.SetDCB(dcb);
    termios t = DeviceTermios();
    EXPECT_EQ(::cfgetospeed(&t), static_cast<speed_t>(B9600));
    EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), static_cast<tcflag_t>(CS8 | CSTOPB));
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | INPCK), static_cast<tcflag_t>(IXON | IXOFF | INPCK));
    EXPECT_EQ(t.c_cc[VSTART], 0x01);
    EXPECT_EQ(t.c_cc[VSTOP], 0x02);
    EXPECT_EQ(core.DCB(), dcb);

    dcb = LineDcb(115200);
    dcb.Flags = 0x0001 | 0x2004;
    core.SetDCB(dcb);
    t = DeviceTermios();
    EXPECT_EQ(t.c_cflag & (CSTOPB | CRTSCTS), static_cast<tcflag_t>(CRTSCTS));
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF), 0u);

    core.SetDCB(LineDcb(14400)); // no B-constant: set through termios2
    std::uint32_t baud = 0;
    const int fd = ::open(pty.Slave().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_TRUE(AfGetBaud(fd, baud));
    ::close(fd);
    EXPECT_EQ(baud, 14400u);
    EXPECT_EQ(core.DCB(), LineDcb(14400));
}

// A pseudo-terminal takes the call but keeps 8 data bits and no parity: the read-back finds
// the refusal, the previous settings return and the copy shows them.
TEST_F(AfComPortCoreTest, SettingTheDeviceDidNotTakeIsRefused) {
    ASSERT_TRUE(core.OpenPort(PortA));
    TAfDCB dcb = LineDcb(9600);
    dcb.ByteSize = 7;
    dcb.Parity = 2;
    try {
        core.SetDCB(dcb);
        ADD_FAILURE() << "7E1 reported as applied";
    } catch (const EAfComPortCoreError& e) {
        EXPECT_STREQ(e.what(), "Error setting parameters from DCB");
    }
    const termios t = DeviceTermios();
    EXPECT_EQ(::cfgetospeed(&t), static_cast<speed_t>(B57600)); // not left half-applied
    EXPECT_EQ(core.DCB().BaudRate, 57600u);
    EXPECT_EQ(core.DCB().ByteSize, 8);
    EXPECT_EQ(core.DCB().Parity, 0);
    ASSERT_TRUE(core.Write("ok", 2)); // the port goes on working
    EXPECT_EQ(pty.Receive(2), "ok");
}

TEST_F(AfComPortCoreTest, RefusedDcbKeepsTheDeviceSettingsInTheCopy) {
    ASSERT_TRUE(core.OpenPort(PortA));
    for (auto change : std::vector<std::function<void(TAfDCB&)>>{
             [](TAfDCB& d) { d.ByteSize = 4; }, // no 4-bit characters
             [](TAfDCB& d) { d.ByteSize = 9; },
             [](TAfDCB& d) { d.BaudRate = 0; }, // would hang the line up
             [](TAfDCB& d) { d.Parity = 5; },
             [](TAfDCB& d) { d.StopBits = 1; },      // 1.5 only with 5 data bits
             [](TAfDCB& d) { d.Flags = 0x0029; }}) { // DTR/DSR flow: not available
        TAfDCB bad = LineDcb(19200);
        change(bad);
        try {
            core.SetDCB(bad);
            ADD_FAILURE() << "accepted a DCB the device cannot take";
        } catch (const EAfComPortCoreError& e) {
            EXPECT_STREQ(e.what(), "Error setting parameters from DCB");
        }
        const TAfDCB& now = core.DCB();
        EXPECT_EQ(now.DCBlength, 28u);
        EXPECT_EQ(now.BaudRate, 57600u); // what the device still has
        EXPECT_EQ(now.ByteSize, 8);
        EXPECT_EQ(now.Parity, 0);
        EXPECT_EQ(now.StopBits, 0);
        EXPECT_EQ(now.Flags & 0x0300, 0u);
        core.SetDCB(LineDcb());
    }
    EXPECT_TRUE(core.IsOpen());
}

TEST_F(AfComPortCoreTest, FailedConfigurationLeavesThePortClosed) {
    TAfDCB bad = LineDcb();
    bad.ByteSize = 4;
    core.SetDCB(bad);
    EXPECT_EQ(OpenError(PortA), "Error setting parameters from DCB");
    EXPECT_FALSE(core.IsOpen());
    EXPECT_FALSE(core.Active());
    EXPECT_EQ(core.EventThreadTid(), 0);
    EXPECT_EQ(core.WriteThreadTid(), 0);
    EXPECT_EQ(core.DCB().ByteSize, 8);                        // read back from the device
    EXPECT_EQ(TAfComPortCore::ProbePort(PortA), psAvailable); // device released

    core.SetDCB(LineDcb());
    core.SetOutBufSize(0);
    EXPECT_EQ(OpenError(PortA), "Error initializing buffers");
    EXPECT_FALSE(core.IsOpen());
    EXPECT_EQ(TAfComPortCore::ProbePort(PortA), psAvailable);

    core.SetOutBufSize(2048);
    EXPECT_TRUE(core.OpenPort(PortA));
}

TEST_F(AfComPortCoreTest, ModemLineFunctionsOnADeviceWithoutLines) {
    ASSERT_TRUE(core.OpenPort(PortA));
    EXPECT_TRUE(core.Escape(AfSetDtr)); // a pty has no modem lines: accepted silently
    EXPECT_TRUE(core.Escape(AfClrDtr));
    EXPECT_TRUE(core.Escape(AfSetRts));
    EXPECT_TRUE(core.Escape(AfClrRts));
    EXPECT_FALSE(core.Escape(99));
    EXPECT_EQ(core.TakeLineErrors(), 0u);
    ASSERT_TRUE(core.Write("still", 5));
    EXPECT_EQ(pty.Receive(5), "still");
}

// Whether this process may give a thread a nice value below 0 (root, CAP_SYS_NICE or an
// RLIMIT_NICE allowance), tried on a thread of its own.
bool MayRaiseThreadPriority() {
    bool may = false;
    std::thread([&may] {
        may = ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), -5) == 0;
    }).join();
    return may;
}

int NiceOf(pid_t tid) {
    errno = 0;
    return ::getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
}

// The threads' priorities are their nice values: lower ones for anyone, a higher one
// (the board's write thread: one step above normal) where this user may raise it.
TEST_F(AfComPortCoreTest, ThreadPrioritiesAreTheThreadsNiceValues) {
    ASSERT_TRUE(core.OpenPort(PortA));
    core.SetEventThreadPriority(tpLower);
    core.SetWriteThreadPriority(tpLowest);
    EXPECT_EQ(NiceOf(core.EventThreadTid()), 5);
    EXPECT_EQ(NiceOf(core.WriteThreadTid()), 10);
    if (!MayRaiseThreadPriority())
        GTEST_SKIP() << "this user may not raise a thread's priority";
    core.SetWriteThreadPriority(tpHigher);
    EXPECT_EQ(NiceOf(core.WriteThreadTid()), -5);
    core.ClosePort();
    ASSERT_TRUE(core.OpenPort(PortA)); // a new session's threads take the priorities set
    EXPECT_EQ(NiceOf(core.WriteThreadTid()), -5);
    EXPECT_EQ(NiceOf(core.EventThreadTid()), 5);
}

TEST_F(AfComPortCoreTest, CallbackExceptionIsForwardedAsCeException) {
    recorder.throwOnOutBufFree = true;
    ASSERT_TRUE(core.OpenPort(PortA));
    ASSERT_TRUE(core.Write("z", 1));
    ASSERT_TRUE(recorder.WaitFor(ceException, 1));
    bool found = false;
    for (const auto& e : recorder.Entries())
        if (e.kind == ceException)
            found = e.error == "callback failed";
    EXPECT_TRUE(found);
    // The thread goes on.
    recorder.throwOnOutBufFree = false;
    pty.Send("1");
    EXPECT_TRUE(recorder.WaitFor(ceLineEvent, 1, AfEvRxChar));
}

TEST_F(AfComPortCoreTest, DestructorClosesAnOpenPort) {
    auto other = std::make_unique<TAfComPortCore>();
    other->SetDCB(LineDcb());
    TAfPortPaths::SetOverride(PortB, pty.Slave());
    ASSERT_TRUE(other->OpenPort(PortB));
    EXPECT_EQ(TAfComPortCore::ProbePort(PortB), psBusy);
    other.reset();
    EXPECT_EQ(TAfComPortCore::ProbePort(PortB), psAvailable);
}

} // namespace
} // namespace halvex
