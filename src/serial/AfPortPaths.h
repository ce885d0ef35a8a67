// Which device file a port number names. Process-wide; thread-safe.
//
// Defaults: COM1-COM8 = /dev/ttyUSB0-7, COM9-COM16 = /dev/ttyACM0-7,
// COM17-COM24 = /dev/ttyS0-7, COM25-COM28 = /dev/ttyAMA0-3, COM29-COM32 = /dev/rfcomm0-3.
// The program may map any number to another path (a /dev/serial/by-id name, a pty).
#pragma once

#include <string>

namespace halvex {

class TAfPortPaths {
public:
    // Maps port n (n >= 1) to `path`; an empty path removes the mapping.
    static void SetOverride(int n, std::string path);
    static void ClearOverrides();
    // The device path of port n; empty when n names no device (n < 1, or above 32 with no
    // mapping).
    static std::string Path(int n);
    static std::string DefaultPath(int n);
    // The number that names `path` (1 to 255), else a free number above 32 mapped to it;
    // 0 when every number is taken. A number mapped here is labelled by the path.
    static int MapPath(const std::string& path);
    // How messages of the trace name port n: "COM8", or the device path for a number
    // MapPath chose.
    static std::string Label(int n);
};

} // namespace halvex
