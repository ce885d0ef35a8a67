#include "serial/AfComPortCore.h"

#include "serial/AfPortPaths.h"
#include "serial/AfSafeSync.h"
#include "serial/AfTermios2.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <system_error>

#include <fcntl.h>
#include <grp.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace halvex {

namespace {

constexpr int StartLimitMs = 3000; // a worker must signal within this time
constexpr int FlushLimitMs = 2000; // the write thread must acknowledge a flush within this
constexpr int PollPeriodMs = 200;  // input queue poll while no event arrives

template <typename... A> int Ioctl(int fd, unsigned long request, A... arg) {
    int r;
    do {
        r = ::ioctl(fd, request, arg...);
    } while (r < 0 && errno == EINTR);
    return r;
}

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

struct TOpenResult {
    int fd = -1;
    TAfPortState state = psAbsent;
    int err = 0;
    const char* reason = nullptr; // replaces strerror when set
};

// Opens a serial device: read/write, no controlling tty, non-blocking, with an exclusive
// advisory lock (and TIOCEXCL when `exclusive`). Classifies failures as absent or busy.
TOpenResult OpenDevice(const std::string& path, bool exclusive) {
    TOpenResult result;
    if (path.empty()) {
        result.err = ENOENT;
        return result;
    }
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        result.err = errno;
        if (result.err == ENOENT || result.err == ENODEV || result.err == ENXIO)
            result.state = psAbsent;
        else if (result.err == EACCES || result.err == EPERM)
            result.state = psNoPermission;
        else
            result.state = psBusy;
        return result;
    }
    auto fail = [&](TAfPortState state, int err, const char* reason) {
        ::close(fd);
        result.state = state;
        result.err = err;
        result.reason = reason;
        return result;
    };
    if (!::isatty(fd))
        return fail(psBusy, ENOTTY, "not a serial device");
    serial_struct info{};
    const bool haveInfo = Ioctl(fd, TIOCGSERIAL, &info) == 0;
    if (haveInfo && info.type == PORT_UNKNOWN) {
        int lines = 0;
        const bool modemOk = Ioctl(fd, TIOCMGET, &lines) == 0;
        if (AfNoUartBehind(haveInfo, info.type, modemOk, modemOk ? 0 : errno))
            return fail(psAbsent, ENODEV, "no UART behind this port");
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        if (err == EWOULDBLOCK)
            return fail(psBusy, EBUSY, "in use by another program");
        return fail(psBusy, err, nullptr);
    }
    if (exclusive && Ioctl(fd, TIOCEXCL) != 0)
        return fail(psBusy, errno, nullptr);
    result.fd = fd;
    result.state = psAvailable;
    return result;
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

struct TSpeed {
    std::uint32_t baud;
    speed_t code;
};

constexpr TSpeed Speeds[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

const TSpeed* FindSpeed(std::uint32_t baud) {
    for (const auto& s : Speeds)
        if (s.baud == baud)
            return &s;
    return nullptr;
}

std::uint32_t DeviceBaud(int fd, const termios& t) {
    std::uint32_t baud = 0;
    if (AfGetBaud(fd, baud))
        return baud;
    const speed_t code = ::cfgetospeed(&t);
    for (const auto& s : Speeds)
        if (s.code == code)
            return s.baud;
    return 0;
}

void SetModemLine(int fd, int line, bool on) {
    // Devices without modem lines (pseudo-terminals) refuse with ENOTTY/EINVAL: ignored.
    Ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &line);
}

constexpr tcflag_t ControlBits = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;
constexpr tcflag_t InputBits = IXON | IXOFF | INPCK;

// Applies the DCB to the device and checks it by reading the settings back.
bool ApplyDcb(int fd, const TAfDCB& dcb) {
    if (dcb.BaudRate == 0) // B0 would hang the line up
        return false;
    termios t0{};
    if (::tcgetattr(fd, &t0) != 0)
        return false;
    termios t = t0;
    tcflag_t control = 0;
    switch (dcb.ByteSize) {
    case 5:
        control |= CS5;
        break;
    case 6:
        control |= CS6;
        break;
    case 7:
        control |= CS7;
        break;
    case 8:
        control |= CS8;
        break;
    default:
        return false;
    }
    switch (dcb.Parity) {
    case 0:
        break;
    case 1:
        control |= PARENB | PARODD;
        break;
    case 2:
        control |= PARENB;
        break;
    case 3:
        control |= PARENB | CMSPAR | PARODD;
        break;
    case 4:
        control |= PARENB | CMSPAR;
        break;
    default:
        return false;
    }
    switch (dcb.StopBits) {
    case 0:
        break;
    case 1: // one and a half: only with 5 data bits, where CSTOPB gives it
        if (dcb.ByteSize != 5)
            return false;
        control |= CSTOPB;
        break;
    case 2:
        control |= CSTOPB;
        break;
    default:
        return false;
    }
    const std::uint32_t flags = dcb.Flags;
    // No DTR/DSR flow control and no RTS toggling on Linux.
    if ((flags & dcbf::OutxDsrFlow) != 0 || (flags & dcbf::DtrControlMask) == dcbf::DtrHandshake ||
        (flags & dcbf::RtsControlMask) == dcbf::RtsControlMask)
        return false;
    const bool rtsCts =
        (flags & dcbf::OutxCtsFlow) != 0 || (flags & dcbf::RtsControlMask) == dcbf::RtsHandshake;
    if (rtsCts)
        control |= CRTSCTS;
    tcflag_t input = 0;
    if (flags & dcbf::OutX)
        input |= IXON;
    if (flags & dcbf::InX)
        input |= IXOFF;
    if (flags & dcbf::Parity)
        input |= INPCK;

    t.c_cflag = (t.c_cflag & ~ControlBits) | control;
    t.c_iflag = (t.c_iflag & ~(InputBits | IXANY)) | input;
    t.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
    t.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
    const TSpeed* speed = FindSpeed(dcb.BaudRate);
    const speed_t code = speed != nullptr ? speed->code : B38400;
    ::cfsetispeed(&t, code);
    ::cfsetospeed(&t, code);
    // A device may take the call but not every setting (a pty keeps 8 bits, no parity):
    // what it refused is found by reading back, and then the previous settings return.
    bool taken = ::tcsetattr(fd, TCSANOW, &t) == 0;
    if (taken && speed == nullptr)
        taken = AfSetCustomBaud(fd, dcb.BaudRate);
    termios back{};
    if (taken)
        taken = ::tcgetattr(fd, &back) == 0 && (back.c_cflag & ControlBits) == control &&
                (back.c_iflag & InputBits) == input && back.c_cc[VSTART] == t.c_cc[VSTART] &&
                back.c_cc[VSTOP] == t.c_cc[VSTOP] && DeviceBaud(fd, back) == dcb.BaudRate;
    if (!taken) {
        ::tcsetattr(fd, TCSANOW, &t0);
        return false;
    }

    SetModemLine(fd, TIOCM_DTR, (flags & dcbf::DtrControlMask) == dcbf::DtrEnable);
    if (!rtsCts)
        SetModemLine(fd, TIOCM_RTS, (flags & dcbf::RtsControlMask) == dcbf::RtsEnable);
    return true;
}

// The device's actual settings as a DCB; fields it does not know come from `base`.
TAfDCB ReadDcb(int fd, const TAfDCB& base) {
    TAfDCB dcb = base;
    dcb.DCBlength = sizeof(TAfDCB);
    termios t{};
    if (::tcgetattr(fd, &t) != 0)
        return dcb;
    dcb.BaudRate = DeviceBaud(fd, t);
    switch (t.c_cflag & CSIZE) {
    case CS5:
        dcb.ByteSize = 5;
        break;
    case CS6:
        dcb.ByteSize = 6;
        break;
    case CS7:
        dcb.ByteSize = 7;
        break;
    default:
        dcb.ByteSize = 8;
        break;
    }
    if ((t.c_cflag & PARENB) == 0)
        dcb.Parity = 0;
    else if (t.c_cflag & CMSPAR)
        dcb.Parity = (t.c_cflag & PARODD) ? 3 : 4;
    else
        dcb.Parity = (t.c_cflag & PARODD) ? 1 : 2;
    dcb.StopBits = (t.c_cflag & CSTOPB) ? (dcb.ByteSize == 5 ? 1 : 2) : 0;
    std::uint32_t flags = dcbf::Binary;
    const bool rtsCts = (t.c_cflag & CRTSCTS) != 0;
    if (rtsCts)
        flags |= dcbf::OutxCtsFlow | dcbf::RtsHandshake;
    if (t.c_iflag & IXON)
        flags |= dcbf::OutX;
    if (t.c_iflag & IXOFF)
        flags |= dcbf::InX;
    if (t.c_iflag & INPCK)
        flags |= dcbf::Parity;
    int lines = 0;
    if (Ioctl(fd, TIOCMGET, &lines) == 0) {
        if (lines & TIOCM_DTR)
            flags |= dcbf::DtrEnable;
        if (!rtsCts && (lines & TIOCM_RTS))
            flags |= dcbf::RtsEnable;
    } else {
        flags |= base.Flags & dcbf::DtrEnable;
        if (!rtsCts)
            flags |= base.Flags & dcbf::RtsEnable;
    }
    dcb.Flags = flags;
    dcb.XonChar = static_cast<char>(t.c_cc[VSTART]);
    dcb.XoffChar = static_cast<char>(t.c_cc[VSTOP]);
    return dcb;
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

bool AfNoUartBehind(bool haveSerialInfo, int uartType, bool modemQueryOk, int modemError) {
    return haveSerialInfo && uartType == PORT_UNKNOWN && !modemQueryOk && modemError == EIO;
}

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
    // Raising the priority needs CAP_SYS_NICE; without it the thread keeps its priority.
    if (tid != 0)
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(tid), NiceOf(priority));
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
    if (Ioctl(fd_, TIOCMGET, &lines) != 0) {
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

void TAfComPortEventThread::Execute() {
    using clock = std::chrono::steady_clock;
    const auto period = std::chrono::milliseconds(PollPeriodMs);
    core_.txDone_.Reset();
    haveModem_ = Ioctl(fd_, TIOCMGET, &modemLines_) == 0;
    core_.started_.Set();

    bool watchDevice = true; // false after a hang-up: the device would report it forever
    bool watchInput = true;  // false while unread bytes wait (they are level-triggered)
    std::int32_t lastInput = 0;
    auto deadline = clock::now() + period;
    while (!Terminated()) {
        try {
            const auto wait = std::chrono::ceil<std::chrono::milliseconds>(deadline - clock::now());
            pollfd fds[4] = {
                {stop_.Fd(), POLLIN, 0},
                {core_.txDone_.Fd(), POLLIN, 0},
                {core_.drained_.Fd(), POLLIN, 0},
                {watchDevice ? fd_ : -1, static_cast<short>(watchInput ? POLLIN : 0), 0},
            };
            const int r = ::poll(fds, 4, static_cast<int>(std::max<std::int64_t>(0, wait.count())));
            if (r < 0) {
                if (errno != EINTR)
                    ::poll(nullptr, 0, 10); // a failing wait is retried after a short pause
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
                lastInput = 0;
            }
            const bool timedOut = r == 0 || clock::now() >= deadline;

            std::uint32_t mask = 0;
            if (watchDevice) {
                const short events = fds[3].revents;
                int waiting = 0;
                if ((events & (POLLHUP | POLLERR | POLLNVAL)) != 0 ||
                    (Ioctl(fd_, FIONREAD, &waiting) != 0 && errno == EIO)) {
                    watchDevice = false;
                    core_.MarkHungUp();
                } else {
                    if (waiting > lastInput)
                        mask |= AfEvRxChar;
                    lastInput = waiting;
                    // Readiness with nothing to read is not watched again before the next poll.
                    watchInput = waiting == 0 && (events & POLLIN) == 0;
                    mask |= ModemChanges();
                    mask |= core_.TakeCounterEvents();
                }
            }
            mask &= AfEventMask;
            if (mask != 0) {
                deadline = clock::now() + period;
                Notify(ceLineEvent, mask);
            } else if (timedOut) {
                deadline = clock::now() + period;
                if (watchDevice) {
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
    flushRequest_.Set();
    if (flushAck_.Wait(FlushLimitMs)) {
        std::lock_guard<std::recursive_mutex> guard(core_.writeLock_);
        dataReady_.Reset();
        ring_->Clear();
        ::tcflush(fd_, TCOFLUSH);
    }
    TAfComPortCoreThread::StopThread();
}

void TAfComPortWriteThread::Execute() {
    core_.started_.Set();
    while (!Terminated()) {
        pollfd fds[3] = {
            {stop_.Fd(), POLLIN, 0},
            {flushRequest_.Fd(), POLLIN, 0},
            {dataReady_.Fd(), POLLIN, 0},
        };
        if (::poll(fds, 3, -1) < 0) {
            if (errno != EINTR)
                ::poll(nullptr, 0, 10);
            continue;
        }
        if (fds[0].revents != 0) {
            Terminate();
            break;
        }
        if (fds[1].revents != 0) {
            flushRequest_.Reset();
            flushAck_.Set();
            continue;
        }
        if (fds[2].revents != 0) {
            dataReady_.Reset();
            try {
                Drain();
            } catch (...) {
                ReportThreadException(std::current_exception());
            }
        }
    }
}

void TAfComPortWriteThread::Drain() {
    for (;;) {
        // A stop or flush request ends the drain between pieces (close discards the rest).
        pollfd requests[2] = {{stop_.Fd(), POLLIN, 0}, {flushRequest_.Fd(), POLLIN, 0}};
        if (::poll(requests, 2, 0) > 0)
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
                core_.txDone_.Set();
                return;
            }
            continue;
        }
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0 && errno == EAGAIN) {
            // The output queue is full: wait for room, a stop or a flush.
            pollfd fds[3] = {
                {stop_.Fd(), POLLIN, 0},
                {flushRequest_.Fd(), POLLIN, 0},
                {fd_, POLLOUT, 0},
            };
            if (::poll(fds, 3, -1) < 0)
                continue;
            if (fds[0].revents != 0) {
                Terminate();
                return;
            }
            if (fds[1].revents != 0) {
                flushRequest_.Reset();
                flushAck_.Set(); // the bytes are left to the purge that follows
                return;
            }
            if ((fds[2].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
                core_.MarkHungUp();
                return;
            }
            continue;
        }
        // Failed (EIO after a hang-up): the bytes stay in the ring.
        if (written < 0 && (errno == EIO || errno == ENXIO || errno == ENODEV))
            core_.MarkHungUp();
        return;
    }
}

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
    const TOpenResult device = OpenDevice(path_, true);
    if (device.fd < 0) {
        const char* format =
            device.state == psAbsent ? "Invalid port number (COM%d)" : "Can't open device COM%d";
        throw EAfComPortCoreError(OpenFailure(format, number, path_, device.err, device.reason));
    }
    fd_ = device.fd;
    hungUp_.store(false);
    try {
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

        if (!started_.Create() || !txDone_.Create() || !drained_.Create())
            throw EAfComPortCoreError(" Error setting EventMask");
        started_.Reset();
        drained_.Reset();
        eventMask_ = AfEventMask;

        if (!ApplyDcb(fd_, dcb_)) {
            dcb_ = ReadDcb(fd_, dcb_);
            throw EAfComPortCoreError("Error setting parameters from DCB");
        }

        {
            std::lock_guard<TAfRecursiveLock> guard(statusLock_);
            lineErrors_ = 0;
            counterEvents_ = 0;
            serial_icounter_struct ic{};
            haveCounters_ = Ioctl(fd_, TIOCGICOUNT, &ic) == 0;
            counters_ = {ic.frame, ic.overrun, ic.parity, ic.brk, ic.buf_overrun,
                         ic.cts,   ic.dsr,     ic.rng,    ic.dcd};
        }

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

        opened_.store(true);
    } catch (...) {
        Teardown();
        throw;
    }
    return true;
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
        if (fd_ >= 0)
            ::tcflush(fd_, TCIOFLUSH);
        std::unique_ptr<TAfComPortWriteThread> writer;
        {
            std::lock_guard<std::recursive_mutex> guard(writeLock_);
            writer = std::move(writeThread_);
        }
        if (writer)
            writer->StopThread();
        writer.reset();
        if (eventThread_) {
            eventThread_->StopThread();
            eventThread_.reset();
        }
    }
    if (fd_ >= 0) {
        Ioctl(fd_, TIOCNXCL);
        ::close(fd_); // also releases the advisory lock
        fd_ = -1;
    }
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

namespace {
class TStatusGuard {
public:
    TStatusGuard(bool held, TAfRecursiveLock& lock) : held_(held), lock_(lock) {}
    ~TStatusGuard() {
        if (held_)
            lock_.unlock();
    }
    TStatusGuard(const TStatusGuard&) = delete;
    TStatusGuard& operator=(const TStatusGuard&) = delete;
    explicit operator bool() const { return held_; }

private:
    bool held_;
    TAfRecursiveLock& lock_;
};
} // namespace

void TAfComPortCore::PollCountersLocked() {
    if (!haveCounters_)
        return;
    serial_icounter_struct ic{};
    if (Ioctl(fd_, TIOCGICOUNT, &ic) != 0) {
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
    TStatusGuard guard(LockStatus(), statusLock_);
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
    TStatusGuard guard(LockStatus(), statusLock_);
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
    if (r < 0 && errno == EIO) {
        MarkHungUp();
    } else if (r == 0) {
        pollfd p{fd_, 0, 0};
        if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0)
            MarkHungUp();
    }
    if (r < 0)
        r = 0;
    int waiting = 0;
    if (Ioctl(fd_, FIONREAD, &waiting) == 0 && waiting == 0)
        drained_.Set();
    return static_cast<std::int32_t>(r);
}

TAfComStatus TAfComPortCore::GetComStatus() {
    TAfComStatus status;
    TStatusGuard guard(LockStatus(), statusLock_);
    if (!guard)
        return status;
    int n = 0;
    if (Ioctl(fd_, FIONREAD, &n) == 0)
        status.InQue = n;
    n = 0;
    if (Ioctl(fd_, TIOCOUTQ, &n) == 0)
        status.OutQue = n;
    const std::uint32_t before = lineErrors_;
    PollCountersLocked();
    status.Errors = lineErrors_ & ~before;
    return status;
}

std::uint32_t TAfComPortCore::TakeLineErrors() {
    TStatusGuard guard(LockStatus(), statusLock_);
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
    if (Ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &line) == 0)
        return true;
    return errno == ENOTTY || errno == EINVAL; // no modem lines: accepted silently
}

pid_t TAfComPortCore::EventThreadTid() const {
    return eventThread_ ? eventThread_->Tid() : 0;
}

pid_t TAfComPortCore::WriteThreadTid() const {
    return writeThread_ ? writeThread_->Tid() : 0;
}

TAfPortState TAfComPortCore::ProbePort(int n) {
    const TOpenResult device = OpenDevice(TAfPortPaths::Path(n), false);
    if (device.fd < 0)
        return device.state;
    ::close(device.fd);
    return psAvailable;
}

} // namespace halvex
