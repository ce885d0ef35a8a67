// What the system says about a serial device, read from files only: the device node, sysfs
// (/sys/class/tty, /sys/bus/usb), the udev database (/run/udev/data), the udev rules
// folders and /proc. Every path is read under a root folder ("/" on a running system; tests
// give a folder of fixture files), so nothing here depends on the machine it runs on.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include <sys/stat.h>

namespace halvex {

// `path` (absolute) under `root`: the path itself when root is "/".
std::string AfUnder(const std::string& root, const std::string& path);

// The path with every link resolved; the path itself when it does not resolve.
std::string AfResolved(const std::string& path);
// Where a symbolic link points; "" when `link` is none.
std::string AfLinkTarget(const std::string& link);
// The first line of a file; "" when it cannot be read.
std::string AfFirstLine(const std::string& file);

// A USB device's identity, from sysfs.
struct TAfUsbId {
    std::uint16_t Vendor = 0;
    std::uint16_t Product = 0;
    std::uint16_t Release = 0; // bcdDevice
    std::string Text() const;  // "0403:6001"
};

// The USB device a sysfs device folder belongs to: the nearest folder at or above it that
// names idVendor and idProduct (at most six levels up). None for a device outside USB, or
// a folder that does not exist.
std::optional<TAfUsbId> AfUsbIdAt(const std::string& sysDevice);

// True when a line of the udev rules `text` claims this USB device: it names the vendor with
// == (ATTRS{idVendor}, also ATTR and SYSFS, or ENV{PRODUCT} as in "1a86/7523/*") and each of
// its tests of the vendor and product (==, !=) holds, with udev's patterns (*, ?, [...],
// alternatives with |). Comment lines claim nothing.
bool AfUdevRulesClaim(const std::string& text, const TAfUsbId& id);

// The value of property `key` in a udev database entry (lines "E:KEY=VALUE"); "" if none.
std::string AfUdevProperty(const std::string& entry, const std::string& key);

// The udev rules files in effect whose names contain `part`, by name: a file in
// /etc/udev/rules.d hides one of the same name in /run/udev/rules.d, /usr/local/lib,
// /usr/lib and /lib (in that order); a file masked by an empty file or a link to /dev/null
// is left out.
std::map<std::string, std::string> AfUdevRuleFiles(const std::string& root,
                                                   const std::string& part);

// The whole of a small file ("" when it cannot be read).
std::string AfReadFile(const std::string& path);

// How the kernel's tty drivers (<root>/proc/tty/drivers) class the character device
// `device`: "serial", "pty:slave", "console", "system:console", "system:/dev/tty", ...;
// "" when no tty driver claims it (no terminal at all); nullopt when the table cannot be
// read.
std::optional<std::string> AfTtyDriverType(dev_t device, const std::string& root);

// True for a serial line: a character device of a serial tty driver, or a pseudo-terminal
// slave. Consoles, virtual terminals, /dev/tty and devices no tty driver claims are none.
// When the drivers table cannot be read, every character device passes (opening it tells).
bool AfIsSerialLine(const struct stat& node, const std::string& root);

// A serial device as the system shows it.
struct TAfDeviceFacts {
    std::string Path;   // as the user named it
    std::string Node;   // that path under the root
    std::string Device; // the node it resolves to, as the system names it ("/dev/pts/3")
    std::string Name;   // its name in /sys/class/tty ("ttyUSB0")
    bool Exists = false;
    bool CharDevice = false;
    bool SerialLine = false; // AfIsSerialLine
    bool Pty = false;        // a pseudo-terminal slave
    bool Hardware = false;   // sysfs knows a device behind it
    bool NoUart = false;     // a serial-core port with no UART (type 0)
    struct stat Stat {};
    std::string SysDir; // /sys/class/tty/<name> under the root
    std::string Driver; // the kernel driver of the device behind it
    std::optional<TAfUsbId> Usb;
};

// The facts of the device at `path` (a relative one from the working folder).
TAfDeviceFacts AfDeviceFactsOf(const std::string& path, const std::string& root);

// The udev database entry of a character device, /run/udev/data/c<major>:<minor>.
std::string AfUdevEntryOf(const TAfDeviceFacts& facts, const std::string& root);

// True when a process named `name` runs (a /proc/<pid>/comm under the root says so).
bool AfProcessRuns(const std::string& root, const std::string& name);

} // namespace halvex
