// Shared pieces of the simulated-board tests: the two literal requests, a board's dump,
// temporary file names and unpaced simulator options.
#pragma once

#include "OsdBoard.h"
#include "OsdSimulator.h"
#include "TestPatterns.h"

#include <filesystem>
#include <string>
#include <unistd.h>

namespace halvex::sim::test {

inline const std::string kTest = "$w747374A4\r\n";
inline const std::string kRead = "$w657264C4\r\n";

using halvex::DumpOf;

// A file name in the temporary folder, unique to this process.
inline std::string TempPath(const std::string& name) {
    return (std::filesystem::temp_directory_path() /
            ("osdsim-" + std::to_string(::getpid()) + "-" + name))
        .string();
}

// Replies as fast as the pty takes them (no line-rate pacing).
inline TSimulatorOptions Unpaced() {
    TSimulatorOptions o;
    o.baud = 0;
    return o;
}

} // namespace halvex::sim::test
