// The connection doctor's system checks: the udev database entry and udev rules read from
// fixture files under a root folder of their own, and a held pseudo-terminal explained in
// the window's words.
#include "serial/AfPortDoctor.h"
#include "serial/AfComPortCore.h"
#include "serial/AfPortPaths.h"

#include "SerialTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <sys/sysmacros.h>

namespace halvex {
namespace {

namespace fs = std::filesystem;

const std::string kData = HALVEX_UDEV_DATA;

// A root folder for the checks, removed at the end.
class TFixtureRoot {
public:
    TFixtureRoot()
        : dir_(fs::temp_directory_path() / ("halvex-doctor-" + std::to_string(::getpid()))) {
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    ~TFixtureRoot() { fs::remove_all(dir_); }
    TFixtureRoot(const TFixtureRoot&) = delete;
    TFixtureRoot& operator=(const TFixtureRoot&) = delete;

    std::string Path() const { return dir_.string(); }
    void Write(const std::string& path, const std::string& text) const {
        fs::create_directories((dir_ / path.substr(1)).parent_path());
        std::ofstream(dir_ / path.substr(1)) << text;
    }
    void Copy(const std::string& fixture, const std::string& path) const {
        fs::create_directories((dir_ / path.substr(1)).parent_path());
        fs::copy_file(kData + "/" + fixture, dir_ / path.substr(1),
                      fs::copy_options::overwrite_existing);
    }
    void Folder(const std::string& path) const { fs::create_directories(dir_ / path.substr(1)); }
    void Link(const std::string& path, const std::string& target) const {
        fs::create_directories((dir_ / path.substr(1)).parent_path());
        fs::create_directory_symlink(target, dir_ / path.substr(1));
    }

private:
    fs::path dir_;
};

std::string Statuses(const std::vector<TAfFinding>& findings) {
    std::string text;
    for (const TAfFinding& f : findings)
        text += std::string(AfCheckName(f.Check)) + "=" + AfCheckStatusName(f.Status) + " ";
    return text;
}

std::string FileText(const std::string& path) {
    return AfReadFile(path);
}

TEST(AfPortDoctor, ModemManagerCheckReadsTheDevicesUdevEntry) {
    const TFixtureRoot root;
    root.Write("/dev/ttyUSB0", "");
    root.Write("/sys/class/tty/ttyUSB0/dev", "188:0\n");
    root.Folder("/sys/class/tty/ttyUSB0/device");
    root.Copy("probed.udevdb", "/run/udev/data/c188:0");
    const TAfDeviceFacts facts = AfDeviceFactsOf("/dev/ttyUSB0", root.Path());

    EXPECT_EQ(AfModemManagerCheck(facts, root.Path()).Detail.Id,
              TDoctorText::ModemManagerNotRunning);

    root.Write("/proc/700/comm", "ModemManager\n");
    const TAfFinding probes = AfModemManagerCheck(facts, root.Path());
    EXPECT_EQ(probes.Status, TAfCheckStatus::Warn);
    EXPECT_EQ(probes.WindowLine(TLanguage::English),
              "ModemManager may be probing this adapter - try again in a few seconds");

    root.Copy("ignored.udevdb", "/run/udev/data/c188:0");
    const TAfFinding ignored = AfModemManagerCheck(facts, root.Path());
    EXPECT_EQ(ignored.Status, TAfCheckStatus::Ok);
    EXPECT_EQ(ignored.Detail.Id, TDoctorText::ModemManagerIgnores);
}

// A pipe named like a port is no port, whatever sysfs says of the port of that name; a
// relative path is looked up from the working folder, as opening it would.
TEST(AfPortDoctor, NodeThatIsNoCharacterDeviceIsNoPortAndRelativePathsAreFound) {
    const TFixtureRoot root;
    root.Folder("/dev");
    ASSERT_EQ(::mkfifo((root.Path() + "/dev/ttyS0").c_str(), 0600), 0);
    root.Folder("/sys/class/tty/ttyS0/device");
    const std::vector<TAfFinding> pipe = AfPortChecks("/dev/ttyS0", root.Path());
    EXPECT_EQ(Statuses(pipe), "device=fail permission=skip in-use=skip modem-manager=skip "
                              "brltty=ok ");
    EXPECT_EQ(pipe[0].Detail.Id, TDoctorText::DeviceNotSerial);

    const fs::path before = fs::current_path();
    fs::current_path(root.Path() + "/dev");
    const TAfDeviceFacts relative = AfDeviceFactsOf("./ttyS0", "/");
    fs::current_path(before);
    EXPECT_TRUE(relative.Exists);
    EXPECT_EQ(relative.Device, AfResolved(root.Path() + "/dev/ttyS0"));
}

TEST(AfPortDoctor, UdevRulesClaimTheirAdaptersOnly) {
    const std::string brltty = FileText(kData + "/85-brltty.rules");
    auto claims = [&brltty](std::uint16_t vendor, std::uint16_t product) {
        return AfUdevRulesClaim(brltty, {vendor, product, 0x264});
    };
    EXPECT_TRUE(claims(0x1a86, 0x7523)); // ENV{PRODUCT}
    EXPECT_TRUE(claims(0x10c4, 0xea60));
    EXPECT_TRUE(claims(0x0403, 0x6001)); // attributes, on a continued line
    EXPECT_TRUE(claims(0x04d8, 0x0001)); // any product but one
    EXPECT_FALSE(claims(0x04d8, 0x000a));
    EXPECT_FALSE(claims(0x067b, 0x2303)); // commented out
    EXPECT_FALSE(claims(0x0403, 0x6015));
    EXPECT_FALSE(claims(0x1a86, 0x55d4));

    // The package's own rule covers the common adapters.
    const std::string own = FileText(HALVEX_UDEV_RULE);
    for (const auto& [vendor, product] :
         std::vector<std::pair<std::uint16_t, std::uint16_t>>{{0x0403, 0x6001},
                                                              {0x0403, 0x6010},
                                                              {0x0403, 0x6011},
                                                              {0x0403, 0x6014},
                                                              {0x0403, 0x6015},
                                                              {0x10c4, 0xea60},
                                                              {0x1a86, 0x7523},
                                                              {0x1a86, 0x55d4},
                                                              {0x067b, 0x2303}})
        EXPECT_TRUE(AfUdevRulesClaim(own, {vendor, product, 0})) << vendor << ":" << product;
    EXPECT_FALSE(AfUdevRulesClaim(own, {0x1a86, 0x7522, 0}));
}

TEST(AfPortDoctor, AdapterTakenByBrlttyIsNamedWithItsFix) {
    const TFixtureRoot root;
    root.Copy("85-brltty.rules", "/lib/udev/rules.d/85-brltty.rules");
    root.Write("/sys/devices/usb1/1-2/idVendor", "1a86\n");
    root.Write("/sys/devices/usb1/1-2/idProduct", "7523\n");
    root.Folder("/sys/devices/usb1/1-2/1-2:1.0");
    root.Link("/sys/bus/usb/devices/1-2", "../../../devices/usb1/1-2");
    root.Link("/sys/bus/usb/devices/1-2:1.0", "../../../devices/usb1/1-2/1-2:1.0");

    // Plugged in, but without a tty: brltty has taken it.
    const std::vector<TAfFinding> taken = AfPortChecks("/dev/ttyUSB0", root.Path());
    EXPECT_EQ(Statuses(taken), "device=fail permission=skip in-use=skip modem-manager=skip "
                               "brltty=fail ");
    EXPECT_EQ(taken[0].Detail.In(TLanguage::English),
              "/dev/ttyUSB0 does not exist: brltty has taken the adapter 1a86:7523");
    EXPECT_EQ(taken[0].Fix.In(TLanguage::English),
              "remove brltty with \"sudo apt remove brltty\", or disable its rule with \"sudo "
              "ln -s /dev/null /etc/udev/rules.d/85-brltty.rules\"; then replug the adapter");
    const std::string failure = "Invalid port number (COM1)\n/dev/ttyUSB0: No such file";
    EXPECT_EQ(AfExplainOpenFailure(failure, "/dev/ttyUSB0", TLanguage::English, root.Path()),
              "Invalid port number (COM1)\nbrltty has taken this adapter - remove brltty");
    EXPECT_EQ(AfExplainOpenFailure(failure, "/dev/ttyUSB0", TLanguage::Polish, root.Path()),
              "Invalid port number (COM1)\nbrltty zajął ten adapter - usuń brltty");

    // With its tty the adapter works: brltty only may take it at the next plug.
    root.Folder("/sys/devices/usb1/1-2/1-2:1.0/ttyUSB0");
    root.Link("/sys/class/tty/ttyUSB0/device", "../../../devices/usb1/1-2/1-2:1.0/ttyUSB0");
    root.Write("/dev/ttyUSB0", "");
    const std::vector<TAfFinding> other = AfPortChecks("/dev/ttyUSB1", root.Path());
    EXPECT_EQ(other[0].Fix.In(TLanguage::English),
              "plug the adapter in, or choose a port that exists: /dev/ttyUSB0");
    EXPECT_EQ(other[4].Status, TAfCheckStatus::Ok);
    const TAfFinding claimed =
        AfBrlttyCheck(AfDeviceFactsOf("/dev/ttyUSB0", root.Path()), root.Path());
    EXPECT_EQ(claimed.Status, TAfCheckStatus::Warn);
    EXPECT_EQ(claimed.Detail.Args, (std::vector<std::string>{"1a86:7523", "85-brltty.rules"}));
}

// With an exclusive lock as a terminal program takes it, or none at all ("sleep 600 <
// /dev/ttyS0").
TEST(AfPortDoctor, HeldPortIsExplainedWithTheHoldersNameAndPid) {
    for (const bool lock : {true, false}) {
        test::TPty pty;
        const test::THolderProcess holder(pty.Slave(), lock);
        TAfPortPaths::SetOverride(42, pty.Slave());
        std::string failure;
        try {
            TAfComPortCore core;
            core.OpenPort(42);
        } catch (const EAfComPortCoreError& e) {
            failure = e.what();
        }
        TAfPortPaths::SetOverride(42, {});

        std::string name = FileText("/proc/self/comm");
        name.pop_back(); // the holder is a fork of this process, under its name
        const std::string holding = name + " (PID " + std::to_string(holder.Pid()) + ")";
        EXPECT_EQ(AfExplainOpenFailure(failure, pty.Slave(), TLanguage::English),
                  "Can't open device COM42\nin use by " + holding);
        EXPECT_EQ(AfExplainOpenFailure(failure, pty.Slave(), TLanguage::Polish),
                  "Can't open device COM42\nużywany przez " + holding);
    }
}

// The kernel's tty drivers tell a serial line: a console or the controlling terminal's alias
// is none, a pseudo-terminal slave is one; without the table every terminal passes.
TEST(AfPortDoctor, TerminalsOfOtherKindsAreNoSerialPorts) {
    const TFixtureRoot root;
    root.Write("/proc/tty/drivers",
               "/dev/tty             /dev/tty        5       0 system:/dev/tty\n"
               "/dev/console         /dev/console    5       1 system:console\n"
               "usbserial            /dev/ttyUSB   188 0-511 serial\n"
               "serial               /dev/ttyS       4      64 serial\n"
               "pty_slave            /dev/pts      136 0-1048575 pty:slave\n"
               "unknown              /dev/tty        4 1-63 console\n");
    EXPECT_EQ(AfTtyDriverType(::makedev(188, 511), root.Path()), "serial");
    EXPECT_EQ(AfTtyDriverType(::makedev(4, 64), root.Path()), "serial");
    EXPECT_EQ(AfTtyDriverType(::makedev(1, 3), root.Path()), "");

    test::TPty pty;
    root.Folder("/dev");
    fs::create_symlink("/dev/tty", root.Path() + "/dev/tty");
    fs::create_symlink(pty.Slave(), root.Path() + "/dev/board");
    const std::vector<TAfFinding> tty = AfPortChecks("/dev/tty", root.Path());
    EXPECT_EQ(tty[0].Status, TAfCheckStatus::Fail);
    EXPECT_EQ(tty[0].WindowLine(TLanguage::English), "/dev/tty: not a serial port");
    EXPECT_EQ(tty[0].WindowLine(TLanguage::Polish), "/dev/tty: to nie jest port szeregowy");
    EXPECT_EQ(AfPortChecks("/dev/board", root.Path())[0].Detail.Id, TDoctorText::DevicePty);

    fs::remove(root.Path() + "/proc/tty/drivers");
    EXPECT_TRUE(AfDeviceFactsOf("/dev/tty", root.Path()).SerialLine);
}

// The process's own groups against the group file: a user listed in dialout whose login
// lacks it was added since logging in.
TEST(AfPortDoctor, GroupsCheckComparesThisLoginWithTheGroupFile) {
    const TFixtureRoot root;
    root.Write("/etc/group", "root:x:0:\ndialout:x:20:guest,pilot\npilot:x:1000:\n");
    const TAfFinding before = AfGroupsCheck({"pilot", 1000, {1000}}, root.Path());
    EXPECT_EQ(before.Status, TAfCheckStatus::Fail);
    EXPECT_EQ(before.Fix.In(TLanguage::English),
              "you were added to dialout, but this login started before: log out and in again");
    EXPECT_EQ(before.Fix.In(TLanguage::Polish),
              "dodano cię do grupy dialout, ale to logowanie zaczęło się wcześniej: wyloguj się "
              "i zaloguj ponownie");
    EXPECT_EQ(AfGroupsCheck({"pilot", 1000, {1000, 20}}, root.Path()).Status, TAfCheckStatus::Ok);
    const TAfFinding outside = AfGroupsCheck({"other", 1001, {1001}}, root.Path());
    EXPECT_EQ(outside.Status, TAfCheckStatus::Warn);
    EXPECT_EQ(outside.Fix.Id, TDoctorText::FixJoinGroup);
}

// Without a port: ModemManager kept off by this package's rule, an adapter brltty took.
TEST(AfPortDoctor, SystemChecksNeedNoPort) {
    const TFixtureRoot root;
    root.Write("/proc/700/comm", "ModemManager\n");
    root.Copy("85-brltty.rules", "/lib/udev/rules.d/85-brltty.rules");
    root.Write("/sys/devices/usb1/1-2/idVendor", "1a86\n");
    root.Write("/sys/devices/usb1/1-2/idProduct", "7523\n");
    root.Link("/sys/bus/usb/devices/1-2", "../../../devices/usb1/1-2");
    const TAfIdentity rootUser{"root", 0, {0}};
    std::vector<TAfFinding> found = AfSystemChecks(rootUser, root.Path());
    EXPECT_EQ(Statuses(found), "groups=ok modem-manager=warn brltty=fail ");
    EXPECT_EQ(found[2].Detail.Id, TDoctorText::BrlttyTook);

    fs::copy_file(HALVEX_UDEV_RULE, root.Path() + "/lib/udev/rules.d/60-halvexcfg.rules");
    found = AfSystemChecks(rootUser, root.Path());
    EXPECT_EQ(found[1].Status, TAfCheckStatus::Ok);
    EXPECT_EQ(found[1].Detail.Id, TDoctorText::ModemManagerRuleInstalled);
}

// An unanswered check on a port this program has open: the port itself is fine (its own
// open is no other program's), so the wiring is named.
TEST(AfPortDoctor, UnansweredCheckOnAHealthyPortNamesTheWiring) {
    test::TPty pty;
    TAfPortPaths::SetOverride(42, pty.Slave());
    TAfComPortCore core;
    TAfDCB dcb{};
    dcb.DCBlength = sizeof(TAfDCB);
    dcb.BaudRate = 57600;
    dcb.ByteSize = 8;
    core.SetDCB(dcb);
    ASSERT_TRUE(core.OpenPort(42));
    EXPECT_EQ(AfNoAnswerLine(pty.Slave(), TLanguage::English),
              "no answer: check the board's power, TX/RX crossed, grounds joined");
    EXPECT_EQ(AfNoAnswerLine(pty.Slave(), TLanguage::Polish),
              "brak odpowiedzi: sprawdź zasilanie płytki, skrzyżowanie TX/RX i wspólną masę");
    core.ClosePort();
    TAfPortPaths::SetOverride(42, {});
}

} // namespace
} // namespace halvex
