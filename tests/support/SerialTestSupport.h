// Test support for the serial layer: pseudo-terminal pairs standing in for serial devices,
// per-thread CPU time, and waiting for conditions while the Qt event loop runs.
#pragma once

#include "PtyIo.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <fstream>
#include <functional>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>

#include <csignal>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace halvex::test {

// A pseudo-terminal: the slave path is the "serial device", the test plays the far end on
// the master (raw, non-blocking).
class TPty {
public:
    TPty() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
            throw std::runtime_error("no pseudo-terminal");
        char name[128];
        if (::ptsname_r(master_, name, sizeof name) != 0)
            throw std::runtime_error("ptsname");
        slave_ = name;
        MakeRaw(master_);
    }
    ~TPty() { CloseMaster(); }
    TPty(const TPty&) = delete;
    TPty& operator=(const TPty&) = delete;

    const std::string& Slave() const { return slave_; }
    int Master() const { return master_; }
    void CloseMaster() {
        if (master_ >= 0)
            ::close(master_);
        master_ = -1;
    }

    // Writes all bytes to the line (towards the port).
    void Send(const std::string& bytes) { WriteAll(master_, bytes); }

    // Reads what the port sent, until `count` bytes arrived or `limitMs` passed.
    std::string Receive(std::size_t count, int limitMs = 5000) {
        return ReadUpTo(master_, count, std::chrono::milliseconds(limitMs));
    }

private:
    int master_ = -1;
    std::string slave_;
};

// Another process holding a device until this object goes: the way a terminal program does
// (open, with an exclusive lock), or without a lock as "sleep 600 < /dev/ttyS0" does. It
// keeps no other descriptor of this process (so it masters no pseudo-terminal of the test).
class THolderProcess {
public:
    explicit THolderProcess(const std::string& path, bool lock = true) {
        int ready[2];
        if (::pipe(ready) != 0)
            throw std::runtime_error("pipe");
        pid_ = ::fork();
        if (pid_ == 0) {
            for (int fd = 3; fd < 1024; ++fd)
                if (fd != ready[1])
                    ::close(fd);
            const int device = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            const char ok =
                device >= 0 && (!lock || ::flock(device, LOCK_EX | LOCK_NB) == 0) ? 1 : 0;
            (void)!::write(ready[1], &ok, 1);
            while (ok == 1)
                ::pause();
            ::_exit(1);
        }
        ::close(ready[1]);
        char ok = 0;
        const bool held = pid_ > 0 && ::read(ready[0], &ok, 1) == 1 && ok == 1;
        ::close(ready[0]);
        if (!held) {
            Stop();
            throw std::runtime_error("the holder could not open " + path);
        }
    }
    ~THolderProcess() { Stop(); }
    THolderProcess(const THolderProcess&) = delete;
    THolderProcess& operator=(const THolderProcess&) = delete;

    pid_t Pid() const { return pid_; }

private:
    void Stop() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        pid_ = -1;
    }

    pid_t pid_ = -1;
};

// User plus system CPU time of one thread of this process, in clock ticks.
inline long ThreadCpuTicks(pid_t tid) {
    std::ifstream stat("/proc/self/task/" + std::to_string(tid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const auto paren = text.rfind(')');
    if (paren == std::string::npos)
        return -1;
    std::istringstream fields(text.substr(paren + 2));
    std::string field;
    long utime = 0, stime = 0;
    // Fields after the name start at field 3 (state); utime and stime are fields 14 and 15.
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14)
            utime = std::stol(field);
        if (i == 15)
            stime = std::stol(field);
    }
    return utime + stime;
}

inline long TicksPerSecond() {
    return ::sysconf(_SC_CLK_TCK);
}

// Runs the Qt event loop until `done()` or `limitMs` passed; returns done().
inline bool PumpUntil(const std::function<bool()>& done, int limitMs = 5000) {
    QDeadlineTimer deadline(limitMs);
    QTimer tick; // bounds each wait for events
    tick.start(10);
    while (!done()) {
        if (deadline.hasExpired())
            return done();
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Waits, without running the Qt event loop, until `done()` (checked every millisecond) or
// `limitMs` passed; returns done(). For states reached by worker threads alone.
inline bool WaitUntil(const std::function<bool()>& done, int limitMs = 5000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return done();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Runs the Qt event loop for `ms` milliseconds.
inline void PumpFor(int ms) {
    PumpUntil([] { return false; }, ms);
}

// First line of an exception text.
inline std::string FirstLine(const std::string& text) {
    return text.substr(0, text.find('\n'));
}

} // namespace halvex::test
