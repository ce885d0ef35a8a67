// The connection doctor's checks of a serial port: why it will not work, and how to fix it.
// `halvexctl doctor` prints them (adding the board check of its session); the window puts the
// finding of the first check that is not ok under its "Can't open device COM%d".
//
// The checks, in order, each reading files under a root folder ("/" on a running system):
//   device         the node exists and is a terminal; for a USB adapter its driver and
//                  vendor:product from sysfs;
//   permission     this user may read and write it;
//   in-use         no other process holds it (/proc/*/fd, then a trial open);
//   modem-manager  ModemManager is not running, or leaves the adapter alone
//                  (ID_MM_DEVICE_IGNORE in the udev database);
//   brltty         brltty is not installed, or its udev rules do not claim the adapter.
// When the device check fails, permission, in-use and modem-manager are skipped.
//
// Without a port, the checks that need none (AfSystemChecks):
//   groups         this login has the serial ports' group (dialout, or uucp), not only the
//                  group file;
//   modem-manager  ModemManager is not running, or this package's udev rule keeps it off
//                  the common adapters;
//   brltty         brltty has taken no plugged adapter.
#pragma once

#include "config/Texts.h"
#include "serial/AfPortFacts.h"

#include <string>
#include <vector>

#include <sys/types.h>

namespace halvex {

enum class TAfCheck { Device, Permission, InUse, ModemManager, Brltty, Board, Groups, Ports };
enum class TAfCheckStatus { Ok, Warn, Fail, Skip };

// "device", "permission", "in-use", "modem-manager", "brltty", "board", "groups", "ports".
const char* AfCheckName(TAfCheck check);
// "ok", "warn", "fail", "skip".
const char* AfCheckStatusName(TAfCheckStatus status);

// A text of the language tables with its arguments.
struct TAfText {
    TDoctorText Id = TDoctorText::None;
    std::vector<std::string> Args; // %1, %2, ...
    // The text in `language` with its arguments filled in; "" for None.
    std::string In(TLanguage language) const;
};

struct TAfFinding {
    TAfCheck Check = TAfCheck::Device;
    TAfCheckStatus Status = TAfCheckStatus::Ok;
    TAfText Detail;
    TAfText Fix;            // None when there is nothing to fix
    TAfText Window;         // the window's line; None: the detail
    bool WindowFix = false; // the window's line goes on with " - " and the fix
    std::string WindowLine(TLanguage language) const;
};

// The system checks of the device at `path`, in the order above.
std::vector<TAfFinding> AfPortChecks(const std::string& path, const std::string& root = "/");

// Two of the checks on facts already gathered.
TAfFinding AfModemManagerCheck(const TAfDeviceFacts& facts, const std::string& root);
TAfFinding AfBrlttyCheck(const TAfDeviceFacts& facts, const std::string& root);

// Who runs this program, as the permission checks see it.
struct TAfIdentity {
    std::string User;
    uid_t Uid = 0;
    std::vector<gid_t> Groups; // the process's own: its effective group and getgroups()
};
TAfIdentity AfThisProcess();

// The groups check of `who` against the root's /etc/group: a user listed in the group whose
// process lacks it has joined since logging in.
TAfFinding AfGroupsCheck(const TAfIdentity& who, const std::string& root);

// The checks that need no port: groups, modem-manager, brltty.
std::vector<TAfFinding> AfSystemChecks(const TAfIdentity& who, const std::string& root = "/");

// The second line of "Communication ERROR !" after an unanswered connection check on the
// open device at `path`: what the checks find wrong (another program on the line,
// ModemManager probing, ...), else the wiring to look at ("no answer: check the board's
// power, ...").
std::string AfNoAnswerLine(const std::string& path, TLanguage language,
                           const std::string& root = "/");

// The window's line for a failed Open: the finding of the first check that failed, else of
// the first that warned; "" when every check is ok.
std::string AfOpenFailureLine(const std::vector<TAfFinding>& findings, TLanguage language);

// An Open failure's message (its first line the component's, "Can't open device COM%d")
// with the doctor's finding for the device at `path` as its second line, in `language`;
// the message unchanged when no check explains the failure.
std::string AfExplainOpenFailure(const std::string& message, const std::string& path,
                                 TLanguage language, const std::string& root = "/");

} // namespace halvex
