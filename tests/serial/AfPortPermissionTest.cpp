// A device the user may not open: the probe says so, and the open failure names the command
// that grants access.
#include "serial/AfComPortCore.h"
#include "serial/AfPortPaths.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace halvex {
namespace {

constexpr int Port = 42;

// Probes and opens `Port` in a child process without root rights (root opens anything) and
// returns "<probe state>|<open error>".
std::string ProbeAndOpenUnprivileged() {
    int out[2];
    if (::pipe(out) != 0)
        return "no pipe";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(out[0]);
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(3);
        std::string result = std::to_string(TAfComPortCore::ProbePort(Port)) + "|";
        try {
            TAfComPortCore core;
            core.OpenPort(Port);
            result += "opened";
        } catch (const EAfComPortCoreError& e) {
            result += e.what();
        }
        (void)!::write(out[1], result.data(), result.size());
        ::_exit(0);
    }
    ::close(out[1]);
    std::string result;
    char buffer[512];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;)
        result.append(buffer, static_cast<std::size_t>(n));
    ::close(out[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return result;
}

TEST(AfPortPermissionTest, DeviceWithoutPermissionIsReportedWithTheGroupCommand) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("halvex-perm-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto device = dir / "ttyLocked";
    std::ofstream(device).put('x');
    ::chmod(device.c_str(), 0);
    TAfPortPaths::SetOverride(Port, device.string());

    const std::string result = ProbeAndOpenUnprivileged();

    TAfPortPaths::SetOverride(Port, {});
    std::filesystem::remove_all(dir);
    EXPECT_EQ(result.substr(0, result.find('|')), std::to_string(psNoPermission));
    EXPECT_NE(result.find("|Can't open device COM42\n"), std::string::npos) << result;
    // The group is the device's (dialout for the usual serial devices).
    EXPECT_NE(result.find(" - run \"sudo usermod -aG "), std::string::npos) << result;
    EXPECT_NE(result.find(" $USER\", then log out and in again"), std::string::npos) << result;
}

} // namespace
} // namespace halvex
