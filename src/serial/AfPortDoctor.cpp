#include "serial/AfPortDoctor.h"

#include "serial/AfLog.h"
#include "serial/AfPortProbe.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <sstream>

#include <dirent.h>
#include <grp.h>
#include <pwd.h>
#include <unistd.h>

namespace halvex {

namespace {

using S = TAfCheckStatus;
using T = TDoctorText;

// Package rule that gives the logged-in user the common USB serial adapters.
constexpr const char* kOwnRule = "60-halvexcfg.rules";

TAfFinding Found(TAfCheck check, S status, TAfText detail, TAfText fix = {}) {
    TAfFinding f;
    f.Check = check;
    f.Status = status;
    f.Detail = std::move(detail);
    f.Fix = std::move(fix);
    return f;
}

std::string Joined(const std::vector<std::string>& parts, const char* separator) {
    std::string text;
    for (const std::string& part : parts)
        text += (text.empty() ? "" : separator) + part;
    return text;
}

std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* d = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(d))
            if (entry->d_name[0] != '.')
                names.push_back(entry->d_name);
        ::closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// ---- brltty -------------------------------------------------------------------------------

struct TClaim {
    TAfUsbId Id;
    std::string RuleFile; // its name: "85-brltty.rules"
};

using TRuleFiles = std::map<std::string, std::string>;

std::optional<std::string> ClaimingFile(const TRuleFiles& rules, const TAfUsbId& id) {
    for (const auto& [name, path] : rules)
        if (AfUdevRulesClaim(AfReadFile(path), id))
            return name;
    return std::nullopt;
}

// True when a tty of /sys/class/tty sits below the USB device folder `usbDir`.
bool HasTty(const std::string& root, const std::string& usbDir) {
    const std::string ttys = AfUnder(root, "/sys/class/tty");
    for (const std::string& name : FolderEntries(ttys))
        if (AfResolved(ttys + "/" + name + "/device").rfind(usbDir + "/", 0) == 0)
            return true;
    return false;
}

// A plugged USB device that brltty's rules claim and that has no tty: brltty has taken it.
std::optional<TClaim> TakenByBrltty(const std::string& root, const TRuleFiles& rules) {
    if (rules.empty())
        return std::nullopt;
    const std::string usb = AfUnder(root, "/sys/bus/usb/devices");
    for (const std::string& name : FolderEntries(usb)) {
        const std::string dir = AfResolved(usb + "/" + name);
        if (::access((dir + "/idVendor").c_str(), F_OK) != 0)
            continue; // an interface, not a device
        const std::optional<TAfUsbId> id = AfUsbIdAt(dir);
        if (!id)
            continue;
        if (auto file = ClaimingFile(rules, *id); file && !HasTty(root, dir))
            return TClaim{*id, *file};
    }
    return std::nullopt;
}

bool BrlttyInstalled(const std::string& root, const TRuleFiles& rules) {
    if (!rules.empty())
        return true;
    for (const char* program :
         {"/usr/bin/brltty", "/bin/brltty", "/usr/sbin/brltty", "/sbin/brltty"})
        if (::access(AfUnder(root, program).c_str(), F_OK) == 0)
            return true;
    return false;
}

TAfFinding BrlttyFinding(const TAfDeviceFacts& f, const std::string& root, const TRuleFiles& rules,
                         const std::optional<TClaim>& taken) {
    const TAfCheck c = TAfCheck::Brltty;
    if (!BrlttyInstalled(root, rules))
        return Found(c, S::Ok, {T::BrlttyAbsent});
    if (taken) {
        TAfFinding found = Found(c, S::Fail, {T::BrlttyTook, {taken->Id.Text(), taken->RuleFile}},
                                 {T::FixBrltty, {taken->RuleFile}});
        found.Window = {T::WindowBrltty};
        return found;
    }
    if (f.Usb)
        if (const auto file = ClaimingFile(rules, *f.Usb))
            return Found(c, S::Warn, {T::BrlttyClaims, {f.Usb->Text(), *file}},
                         {T::FixBrltty, {*file}});
    return Found(c, S::Ok, {f.Path.empty() ? T::BrlttyNoneTaken : T::BrlttyNoClaim});
}

// ---- device -------------------------------------------------------------------------------

// The fix of a missing or unusable device: plug the adapter in, or choose one of the USB
// serial ports present.
TAfText OtherPorts(const std::string& root) {
    std::vector<std::string> ports;
    const std::string ttys = AfUnder(root, "/sys/class/tty");
    for (const std::string& name : FolderEntries(ttys))
        if (AfUsbIdAt(ttys + "/" + name + "/device"))
            ports.push_back("/dev/" + name);
    if (ports.empty())
        return {T::FixPlugIn};
    return {T::FixChoosePort, {Joined(ports, ", ")}};
}

TAfFinding MissingDevice(const TAfDeviceFacts& f, const std::string& root,
                         const std::optional<TClaim>& taken) {
    const TAfCheck c = TAfCheck::Device;
    TAfFinding found;
    if (taken) {
        found = Found(c, S::Fail, {T::DeviceTakenByBrltty, {f.Path, taken->Id.Text()}},
                      {T::FixBrltty, {taken->RuleFile}});
        found.Window = {T::WindowBrltty};
        return found;
    }
    found = Found(c, S::Fail, {T::DeviceAbsent, {f.Path}}, OtherPorts(root));
    found.Window = {T::WindowAbsent, {f.Path}};
    return found;
}

TAfFinding DeviceFinding(const TAfDeviceFacts& f, const std::string& root,
                         const std::optional<TClaim>& taken) {
    const TAfCheck c = TAfCheck::Device;
    if (!f.Exists)
        return MissingDevice(f, root, taken);
    const std::string shown = f.Device == f.Path ? f.Path : f.Path + " (" + f.Device + ")";
    // A file, pipe or folder named like a port (a pipe "ttyS0") is none, whatever sysfs says
    // of the port of that name; nor is a terminal of another kind (/dev/console, /dev/tty1).
    if (!f.SerialLine)
        return Found(c, S::Fail, {T::DeviceNotSerial, {shown}}, OtherPorts(root));
    if (f.Pty)
        return Found(c, S::Ok, {T::DevicePty, {shown}});
    if (f.Hardware && f.NoUart)
        return Found(c, S::Fail, {T::DeviceNoUart, {shown}}, OtherPorts(root));
    if (f.Hardware && f.Usb)
        return Found(c, S::Ok, {T::DeviceUsb, {shown, f.Usb->Text(), f.Driver}});
    if (f.Hardware)
        return Found(c, S::Ok, {T::DeviceSerial, {shown, f.Driver}});
    if (::access(f.SysDir.c_str(), F_OK) == 0)
        return Found(c, S::Ok, {T::DeviceTerminal, {shown}});
    return Found(c, S::Fail, {T::DeviceNotSerial, {shown}}, OtherPorts(root));
}

// ---- permission ---------------------------------------------------------------------------

std::string UserName(uid_t uid) {
    passwd entry{};
    passwd* found = nullptr;
    char buffer[4096];
    if (::getpwuid_r(uid, &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr)
        return found->pw_name;
    return std::to_string(uid);
}

std::string GroupName(gid_t gid) {
    group entry{};
    group* found = nullptr;
    char buffer[4096];
    if (::getgrgid_r(gid, &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr)
        return found->gr_name;
    return std::to_string(gid);
}

std::string ModeText(mode_t mode) {
    std::string text = S_ISCHR(mode) ? "c" : "-";
    const char* letters = "rwxrwxrwx";
    for (int bit = 0; bit < 9; ++bit)
        text += (mode & (0400u >> bit)) != 0 ? letters[bit] : '-';
    return text;
}

// A group of the root's /etc/group.
struct TGroupEntry {
    std::string Name;
    gid_t Gid = 0;
    std::vector<std::string> Members;
};

std::optional<TGroupEntry> GroupEntry(const std::string& root, const std::string& name) {
    std::istringstream in(AfReadFile(AfUnder(root, "/etc/group")));
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        std::string field[4];
        for (std::string& part : field)
            std::getline(fields, part, ':');
        if (field[0] != name || field[2].empty())
            continue;
        TGroupEntry entry{
            name, static_cast<gid_t>(std::strtoul(field[2].c_str(), nullptr, 10)), {}};
        std::istringstream members(field[3]);
        for (std::string member; std::getline(members, member, ',');)
            entry.Members.push_back(member);
        return entry;
    }
    return std::nullopt;
}

bool Contains(const auto& list, const auto& value) {
    return std::find(list.begin(), list.end(), value) != list.end();
}

// The user was added to the group, but this process started without it: the login
// predates the change.
bool JoinedSinceLogin(const std::string& root, const std::string& groupName,
                      const TAfIdentity& who) {
    const std::optional<TGroupEntry> entry = GroupEntry(root, groupName);
    return entry && Contains(entry->Members, who.User) && !Contains(who.Groups, entry->Gid);
}

// This package's udev rule, when it is in effect; "" when not.
std::string OwnRule(const std::string& root) {
    const TRuleFiles own = AfUdevRuleFiles(root, kOwnRule);
    return own.count(kOwnRule) != 0 ? AfReadFile(own.at(kOwnRule)) : std::string();
}

TAfText PermissionFix(const TAfDeviceFacts& f, const std::string& root, const TAfIdentity& who) {
    const std::string groupName = GroupName(f.Stat.st_gid);
    const mode_t groupRw = S_IRGRP | S_IWGRP;
    if ((f.Stat.st_mode & groupRw) != groupRw || f.Stat.st_gid == 0)
        return {T::FixOwnerOnly, {UserName(f.Stat.st_uid), who.User, f.Path}};
    if (JoinedSinceLogin(root, groupName, who))
        return {T::FixRelogin, {groupName}};
    if (f.Usb && AfUdevRulesClaim(OwnRule(root), *f.Usb))
        return {T::FixUdevRule, {groupName}};
    return {T::FixJoinGroup, {groupName}};
}

TAfFinding PermissionFinding(const TAfDeviceFacts& f, const std::string& root) {
    const TAfCheck c = TAfCheck::Permission;
    if (::access(f.Node.c_str(), R_OK | W_OK) == 0)
        return Found(c, S::Ok, {T::PermissionOk, {f.Path}});
    const TAfIdentity who = AfThisProcess();
    TAfFinding found = Found(c, S::Fail,
                             {T::PermissionDenied,
                              {who.User, f.Path, ModeText(f.Stat.st_mode), UserName(f.Stat.st_uid),
                               GroupName(f.Stat.st_gid)}},
                             PermissionFix(f, root, who));
    found.Window = {T::WindowNoPermission, {f.Path}};
    found.WindowFix = true;
    return found;
}

// ---- in use -------------------------------------------------------------------------------

std::string ProgramName(const std::string& root, int pid) {
    std::string name = AfReadFile(AfUnder(root, "/proc/" + std::to_string(pid) + "/comm"));
    while (!name.empty() && (name.back() == '\n' || name.back() == '\0'))
        name.pop_back();
    return name.empty() ? "?" : name;
}

TAfFinding InUseFinding(const TAfDeviceFacts& f, const std::string& root) {
    const TAfCheck c = TAfCheck::InUse;
    std::vector<std::string> holders;
    std::vector<std::string> names;
    std::vector<std::string> pids;
    for (const TAfHolder& h : AfHoldersOf(f.Device, AfUnder(root, "/proc"))) {
        const std::string name = ProgramName(root, h.Pid);
        holders.push_back(name + " (PID " + std::to_string(h.Pid) + ")");
        if (std::find(names.begin(), names.end(), name) == names.end())
            names.push_back(name);
        pids.push_back(std::to_string(h.Pid));
    }
    if (!holders.empty())
        return Found(c, S::Fail, {T::InUseBy, {Joined(holders, ", ")}},
                     {T::FixCloseHolder, {Joined(names, ", "), Joined(pids, " ")}});
    // This program's own open port (a check that went unanswered) is no other program's.
    if (AfHeldHere(f.Device))
        return Found(c, S::Ok, {T::InUseFree, {f.Path}});
    // Nobody this user may see holds it: a trial open tells whether someone else does.
    const TAfOpenResult trial = AfOpenDevice(f.Node, false);
    qCDebug(lcAfSerial, "doctor: trial open of %s %s (errno %d)", f.Node.c_str(),
            trial.fd >= 0 ? "succeeded" : "refused", trial.fd >= 0 ? 0 : trial.err);
    if (trial.fd >= 0) {
        ::close(trial.fd);
        return Found(c, S::Ok, {T::InUseFree, {f.Path}});
    }
    if (trial.state == psNoPermission)
        return Found(c, S::Ok, {T::InUseNoneSeen});
    if (trial.err == EBUSY || trial.err == EWOULDBLOCK)
        return Found(c, S::Fail, {T::InUseUnseen}, {T::FixFindHolder, {f.Device}});
    char buffer[256];
    const std::string reason =
        trial.reason != nullptr ? trial.reason : ::strerror_r(trial.err, buffer, sizeof buffer);
    return Found(c, S::Fail, {T::OpenFails, {f.Path, reason}});
}

TAfFinding Skipped(TAfCheck check) {
    return Found(check, S::Skip, {T::SkipNoDevice});
}

} // namespace

const char* AfCheckName(TAfCheck check) {
    static constexpr const char* names[] = {"device", "permission", "in-use", "modem-manager",
                                            "brltty", "board",      "groups", "ports"};
    return names[static_cast<int>(check)];
}

const char* AfCheckStatusName(TAfCheckStatus status) {
    static constexpr const char* names[] = {"ok", "warn", "fail", "skip"};
    return names[static_cast<int>(status)];
}

std::string TAfText::In(TLanguage language) const {
    const std::string format = DoctorText(Id, language);
    std::string text;
    for (std::size_t k = 0; k < format.size(); ++k) {
        const char next = k + 1 < format.size() ? format[k + 1] : '\0';
        const std::size_t n =
            next >= '1' && next <= '9' ? static_cast<std::size_t>(next - '1') : Args.size();
        if (format[k] == '%' && n < Args.size()) {
            text += Args[n];
            ++k;
        } else {
            text += format[k];
        }
    }
    return text;
}

std::string TAfFinding::WindowLine(TLanguage language) const {
    std::string line = (Window.Id != T::None ? Window : Detail).In(language);
    if (WindowFix && Fix.Id != T::None)
        line += " - " + Fix.In(language);
    return line;
}

TAfFinding AfModemManagerCheck(const TAfDeviceFacts& f, const std::string& root) {
    const TAfCheck c = TAfCheck::ModemManager;
    if (!AfProcessRuns(root, "ModemManager"))
        return Found(c, S::Ok, {T::ModemManagerNotRunning});
    if (!f.Hardware)
        return Found(c, S::Ok, {T::ModemManagerNotHardware, {f.Path}});
    if (AfUdevProperty(AfUdevEntryOf(f, root), "ID_MM_DEVICE_IGNORE") == "1")
        return Found(c, S::Ok, {T::ModemManagerIgnores});
    TAfFinding found = Found(c, S::Warn, {T::ModemManagerProbes}, {T::FixModemManager});
    found.Window = {T::WindowModemManager};
    return found;
}

TAfFinding AfBrlttyCheck(const TAfDeviceFacts& f, const std::string& root) {
    const TRuleFiles rules = AfUdevRuleFiles(root, "brltty");
    return BrlttyFinding(f, root, rules, f.Exists ? std::nullopt : TakenByBrltty(root, rules));
}

std::vector<TAfFinding> AfPortChecks(const std::string& path, const std::string& root) {
    const TAfDeviceFacts facts = AfDeviceFactsOf(path, root);
    const TRuleFiles rules = AfUdevRuleFiles(root, "brltty");
    const std::optional<TClaim> taken = facts.Exists ? std::nullopt : TakenByBrltty(root, rules);
    std::vector<TAfFinding> findings{DeviceFinding(facts, root, taken)};
    if (findings.front().Status == S::Fail) {
        findings.push_back(Skipped(TAfCheck::Permission));
        findings.push_back(Skipped(TAfCheck::InUse));
        findings.push_back(Skipped(TAfCheck::ModemManager));
    } else {
        findings.push_back(PermissionFinding(facts, root));
        findings.push_back(InUseFinding(facts, root));
        findings.push_back(AfModemManagerCheck(facts, root));
    }
    findings.push_back(BrlttyFinding(facts, root, rules, taken));
    for (const TAfFinding& f : findings)
        qCDebug(lcAfSerial, "doctor: %s %s: %s", AfCheckName(f.Check), AfCheckStatusName(f.Status),
                f.Detail.In(TLanguage::English).c_str());
    return findings;
}

TAfIdentity AfThisProcess() {
    TAfIdentity who;
    who.Uid = ::geteuid();
    who.User = UserName(who.Uid);
    who.Groups.assign(static_cast<std::size_t>(std::max(::getgroups(0, nullptr), 0)), 0);
    const int count = ::getgroups(static_cast<int>(who.Groups.size()), who.Groups.data());
    who.Groups.resize(static_cast<std::size_t>(std::max(count, 0)));
    who.Groups.push_back(::getegid());
    return who;
}

TAfFinding AfGroupsCheck(const TAfIdentity& who, const std::string& root) {
    const TAfCheck c = TAfCheck::Groups;
    if (who.Uid == 0)
        return Found(c, S::Ok, {T::GroupsRoot});
    // Debian and most others give serial ports to dialout, Arch to uucp.
    std::optional<TGroupEntry> group = GroupEntry(root, "dialout");
    if (!group)
        group = GroupEntry(root, "uucp");
    if (!group)
        return Found(c, S::Ok, {T::GroupsNone});
    if (Contains(who.Groups, group->Gid))
        return Found(c, S::Ok, {T::GroupsMember, {who.User, group->Name}});
    if (JoinedSinceLogin(root, group->Name, who))
        return Found(c, S::Fail, {T::GroupsNotThisLogin, {who.User, group->Name}},
                     {T::FixRelogin, {group->Name}});
    return Found(c, S::Warn, {T::GroupsNotMember, {who.User, group->Name}},
                 {T::FixJoinGroup, {group->Name}});
}

std::vector<TAfFinding> AfSystemChecks(const TAfIdentity& who, const std::string& root) {
    std::vector<TAfFinding> findings{AfGroupsCheck(who, root)};
    const TAfCheck mm = TAfCheck::ModemManager;
    if (!AfProcessRuns(root, "ModemManager"))
        findings.push_back(Found(mm, S::Ok, {T::ModemManagerNotRunning}));
    else if (!OwnRule(root).empty())
        findings.push_back(Found(mm, S::Ok, {T::ModemManagerRuleInstalled}));
    else
        findings.push_back(Found(mm, S::Warn, {T::ModemManagerProbesAny}, {T::FixModemManager}));
    findings.push_back(AfBrlttyCheck(TAfDeviceFacts{}, root));
    return findings;
}

std::string AfNoAnswerLine(const std::string& path, TLanguage language, const std::string& root) {
    const std::vector<TAfFinding> findings = AfPortChecks(path, root);
    for (const TAfFinding& f : findings)
        if (f.Status == S::Fail)
            return f.WindowLine(language);
    for (const TAfFinding& f : findings)
        if (f.Status == S::Warn && f.Check == TAfCheck::ModemManager)
            return f.WindowLine(language);
    return TAfText{T::WindowNoAnswer}.In(language);
}

std::string AfOpenFailureLine(const std::vector<TAfFinding>& findings, TLanguage language) {
    for (const S status : {S::Fail, S::Warn})
        for (const TAfFinding& finding : findings)
            if (finding.Status == status)
                return finding.WindowLine(language);
    return {};
}

std::string AfExplainOpenFailure(const std::string& message, const std::string& path,
                                 TLanguage language, const std::string& root) {
    if (path.empty())
        return message;
    const std::string line = AfOpenFailureLine(AfPortChecks(path, root), language);
    if (line.empty())
        return message;
    return message.substr(0, message.find('\n')) + "\n" + line;
}

} // namespace halvex
