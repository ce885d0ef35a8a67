#include "serial/AfPortProbe.h"

#include "serial/AfIoctl.h"
#include "serial/AfPortFacts.h"
#include "serial/AfPortPaths.h"

#include <cerrno>
#include <fstream>
#include <mutex>

#include <dirent.h>
#include <fcntl.h>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace halvex {

namespace {

constexpr const char* kNotSerial = "not a serial port";
constexpr const char* kInUse = "in use by another program";

// A device refused before it was opened: busy, with the reason.
TAfOpenResult Refused(int err, const char* reason) {
    TAfOpenResult result;
    result.state = psBusy;
    result.err = err;
    result.reason = reason;
    return result;
}

std::mutex& HeldLock() {
    static std::mutex lock;
    return lock;
}

std::multiset<std::string>& Held() {
    static std::multiset<std::string> held;
    return held;
}

// The slave number of a pseudo-terminal master, from its fdinfo ("tty-index:"); empty when
// the kernel does not say.
std::string PtyIndex(const std::string& fdinfo) {
    std::ifstream in(fdinfo);
    for (std::string line; std::getline(in, line);)
        if (line.rfind("tty-index:", 0) == 0) {
            const std::size_t digits = line.find_first_of("0123456789");
            return digits == std::string::npos ? std::string() : line.substr(digits);
        }
    return std::string();
}

bool IsPid(const std::string& name) {
    return !name.empty() && name.size() <= 9 &&
           name.find_first_not_of("0123456789") == std::string::npos;
}

// The devices one process (its /proc folder) holds, but for the slaves of the
// pseudo-terminals it masters. A master whose slave the kernel does not name (no
// "tty-index" in its fdinfo) could be any: then none of the process's slaves count.
std::set<std::string> DevicesOf(const std::string& processDir) {
    std::set<std::string> devices;
    std::set<std::string> ownPtys;
    bool unknownMaster = false;
    const std::string fdDir = processDir + "/fd";
    DIR* fds = ::opendir(fdDir.c_str());
    if (fds == nullptr)
        return devices;
    while (const dirent* fd = ::readdir(fds)) {
        if (fd->d_name[0] == '.')
            continue;
        const std::string target = AfLinkTarget(fdDir + "/" + fd->d_name);
        if (target == "/dev/ptmx" || target == "/dev/pts/ptmx") {
            const std::string index = PtyIndex(processDir + "/fdinfo/" + fd->d_name);
            unknownMaster = unknownMaster || index.empty();
            ownPtys.insert("/dev/pts/" + index);
        } else if (target.rfind("/dev/", 0) == 0) {
            devices.insert(target);
        }
    }
    ::closedir(fds);
    std::erase_if(devices, [&](const std::string& device) {
        return ownPtys.count(device) != 0 || (unknownMaster && device.rfind("/dev/pts/", 0) == 0);
    });
    return devices;
}

std::set<std::string> HeldByOthers() {
    std::set<std::string> held;
    for (const TAfHolder& holder : AfDeviceHolders())
        held.insert(holder.Device);
    return held;
}

} // namespace

TAfOpenResult AfOpenDevice(const std::string& path, bool exclusive) {
    TAfOpenResult result;
    if (path.empty()) {
        result.err = ENOENT;
        return result;
    }
    // A terminal of another kind (a console, /dev/tty) is not opened at all: it is no
    // line to a board, and opening it may disturb whoever uses it.
    struct stat node {};
    const bool exists = ::stat(path.c_str(), &node) == 0;
    if (exists && S_ISCHR(node.st_mode) && !AfIsSerialLine(node, "/"))
        return Refused(ENOTTY, kNotSerial);
    // Opened for use, a device another program holds is refused: a tty may be opened
    // twice, and two programs on one line take each other's bytes. A pseudo-terminal's
    // master side (a simulated board) is the line's far end, not another program.
    if (exists && exclusive && !AfHoldersOf(AfResolved(path)).empty())
        return Refused(EBUSY, kInUse);
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
        return fail(psBusy, ENOTTY, kNotSerial);
    serial_struct info{};
    const bool haveInfo = AfIoctl(fd, TIOCGSERIAL, &info) == 0;
    if (haveInfo && info.type == PORT_UNKNOWN) {
        int lines = 0;
        const bool modemOk = AfIoctl(fd, TIOCMGET, &lines) == 0;
        if (AfNoUartBehind(haveInfo, info.type, modemOk, modemOk ? 0 : errno))
            return fail(psAbsent, ENODEV, "no UART behind this port");
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        if (err == EWOULDBLOCK)
            return fail(psBusy, EBUSY, kInUse);
        return fail(psBusy, err, nullptr);
    }
    if (exclusive && AfIoctl(fd, TIOCEXCL) != 0)
        return fail(psBusy, errno, nullptr);
    result.fd = fd;
    result.state = psAvailable;
    return result;
}

bool AfNoUartBehind(bool haveSerialInfo, int uartType, bool modemQueryOk, int modemError) {
    return haveSerialInfo && uartType == PORT_UNKNOWN && !modemQueryOk && modemError == EIO;
}

std::string AfHoldDevice(const std::string& path) {
    std::string resolved = AfResolved(path);
    std::lock_guard<std::mutex> guard(HeldLock());
    Held().insert(resolved);
    return resolved;
}

void AfReleaseDevice(const std::string& resolved) {
    std::lock_guard<std::mutex> guard(HeldLock());
    auto it = Held().find(resolved);
    if (it != Held().end())
        Held().erase(it);
}

bool AfHeldHere(const std::string& path) {
    std::lock_guard<std::mutex> guard(HeldLock());
    return Held().count(AfResolved(path)) != 0;
}

std::vector<TAfHolder> AfDeviceHolders(const std::string& procRoot) {
    std::vector<TAfHolder> holders;
    DIR* proc = ::opendir(procRoot.c_str());
    if (proc == nullptr)
        return holders;
    const std::string self = std::to_string(::getpid());
    while (const dirent* process = ::readdir(proc)) {
        const std::string pid = process->d_name;
        if (!IsPid(pid) || pid == self)
            continue;
        for (const std::string& device : DevicesOf(procRoot + "/" + pid))
            holders.push_back({std::stoi(pid), device});
    }
    ::closedir(proc);
    return holders;
}

std::vector<TAfHolder> AfHoldersOf(const std::string& device, const std::string& procRoot) {
    std::vector<TAfHolder> holders = AfDeviceHolders(procRoot);
    std::erase_if(holders, [&device](const TAfHolder& h) { return h.Device != device; });
    return holders;
}

TAfPortProbe::TAfPortProbe(std::string sysRoot)
    : sysRoot_(std::move(sysRoot)), heldElsewhere_(HeldByOthers()) {}

TAfPortState TAfPortProbe::State(int n) const {
    return StateOf(TAfPortPaths::Path(n));
}

TAfPortState TAfPortProbe::StateOf(const std::string& path) const {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0)
        return psAbsent;
    const std::string device = AfResolved(path);
    if (AfHeldHere(device) || heldElsewhere_.count(device) != 0)
        return psBusy;
    const std::string sys = sysRoot_ + "/" + device.substr(device.rfind('/') + 1);
    if (S_ISCHR(st.st_mode) && ::access((sys + "/device").c_str(), F_OK) == 0) {
        // serial_core ports name their UART type; 0 is none.
        if (AfFirstLine(sys + "/type") == "0")
            return psAbsent;
        return ::access(device.c_str(), R_OK | W_OK) == 0 ? psAvailable : psNoPermission;
    }
    const TAfOpenResult trial = AfOpenDevice(path, false);
    if (trial.fd < 0)
        return trial.state;
    ::close(trial.fd);
    return psAvailable;
}

} // namespace halvex
