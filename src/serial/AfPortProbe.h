// Opening a serial device, and finding a port's state for the port selector with as few
// opens as possible: every open of a tty raises DTR, so a port that this process or another
// one holds is never opened just to list it.
//
// TAfPortProbe takes its facts in this order and stops at the first that decides:
//   1. no path, or nothing at the path: absent;
//   2. held open by this process (an open engine): busy;
//   3. held open by another process (a link in /proc/<pid>/fd): busy;
//   4. sysfs (/sys/class/tty/<name>): a serial-core port of unknown type (no UART behind
//      it) is absent; a port with a device behind it is available when the user may read
//      and write it, busy when not;
//   5. anything else (pseudo-terminals, other nodes): a trial open, closed again at once.
#pragma once

#include "serial/AfComPortCore.h"

#include <set>
#include <string>
#include <vector>

namespace halvex {

struct TAfOpenResult {
    int fd = -1; // the open device, or -1
    TAfPortState state = psAbsent;
    int err = 0;
    const char* reason = nullptr; // replaces strerror when set
};

// Opens a serial device: read/write, no controlling tty, non-blocking, with an exclusive
// advisory lock. `exclusive` opens it for use: with TIOCEXCL, and refused while another
// process holds it (AfHoldersOf). A node that is no serial line (AfIsSerialLine) is refused
// without being opened. Classifies failures as absent or busy.
TAfOpenResult AfOpenDevice(const std::string& path, bool exclusive);

// True for a device that opened but has no UART behind it (a legacy 8250 port such as
// /dev/ttyS1 on most PCs): it reports the unknown UART type (0) and its modem-line query
// fails with EIO. USB serial adapters also report type 0 but answer the modem-line query;
// devices without serial information (pseudo-terminals) are never counted as absent.
bool AfNoUartBehind(bool haveSerialInfo, int uartType, bool modemQueryOk, int modemError);

// The devices this process holds open, by their resolved path (the engine registers).
// AfHoldDevice returns the resolved name it holds; AfReleaseDevice takes that name, so a
// device opened through a link (/dev/serial/by-id/...) is released even when the link has
// gone with the device.
std::string AfHoldDevice(const std::string& path);
void AfReleaseDevice(const std::string& resolved);
bool AfHeldHere(const std::string& path);

// A process holding a device open, as /proc shows it.
struct TAfHolder {
    int Pid = 0;
    std::string Device; // the device file the process opened, resolved ("/dev/pts/3")
};

// The devices other processes hold open, from <procRoot>/<pid>/fd (of the processes this
// user may inspect). A process's own pseudo-terminal slaves are left out: it masters them,
// so it is the far end of the line (a simulated board), not another user of the port.
std::vector<TAfHolder> AfDeviceHolders(const std::string& procRoot = "/proc");

// The processes other than this one that hold `device` (a resolved path) open.
std::vector<TAfHolder> AfHoldersOf(const std::string& device,
                                   const std::string& procRoot = "/proc");

class TAfPortProbe {
public:
    // Reads which devices other processes hold (once, for every State call that follows).
    // `sysRoot` is the sysfs tty class folder.
    explicit TAfPortProbe(std::string sysRoot = "/sys/class/tty");
    TAfPortState State(int n) const;
    TAfPortState StateOf(const std::string& path) const;

private:
    std::string sysRoot_;
    std::set<std::string> heldElsewhere_;
};

} // namespace halvex
