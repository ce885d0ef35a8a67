#include "serial/AfPortFacts.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <vector>

#include <dirent.h>
#include <fnmatch.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace halvex {

namespace {

constexpr std::size_t kMaxFileBytes = 4 * 1024 * 1024; // rules files are a few hundred KiB

std::string BaseName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A sysfs number of up to four hex digits ("0403", "ea60").
std::optional<std::uint16_t> HexWord(const std::string& text) {
    if (text.empty() || text.size() > 4 || !std::all_of(text.begin(), text.end(), [](char c) {
            return std::isxdigit(static_cast<unsigned char>(c)) != 0;
        }))
        return std::nullopt;
    return static_cast<std::uint16_t>(std::strtoul(text.c_str(), nullptr, 16));
}

// ---- udev rules ---------------------------------------------------------------------------

struct TRuleKey {
    std::string Key; // ATTRS{idVendor}
    std::string Op;  // ==, !=, =, +=, -=, :=
    std::string Value;
};

bool IsSpace(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

// One key of a rule line from `at`: NAME or NAME{ATTRIBUTE}, an operator, a quoted value.
// Moves `at` past it; nullopt when the text there is not a key.
std::optional<TRuleKey> NextKey(const std::string& line, std::size_t& at) {
    TRuleKey key;
    const std::size_t start = at;
    while (at < line.size() &&
           (std::isalnum(static_cast<unsigned char>(line[at])) || line[at] == '_'))
        ++at;
    if (at < line.size() && line[at] == '{') {
        const std::size_t close = line.find('}', at);
        if (close == std::string::npos)
            return std::nullopt;
        at = close + 1;
    }
    key.Key = line.substr(start, at - start);
    while (at < line.size() && IsSpace(line[at]))
        ++at;
    for (const char* op : {"==", "!=", "+=", "-=", ":=", "="})
        if (line.compare(at, std::char_traits<char>::length(op), op) == 0) {
            key.Op = op;
            break;
        }
    at += key.Op.size();
    while (at < line.size() && IsSpace(line[at]))
        ++at;
    if (key.Key.empty() || key.Op.empty() || at >= line.size() || line[at] != '"')
        return std::nullopt;
    const std::size_t valueStart = ++at;
    while (at < line.size() && line[at] != '"')
        at += line[at] == '\\' ? 2 : 1;
    if (at >= line.size())
        return std::nullopt;
    key.Value = line.substr(valueStart, at - valueStart);
    ++at;
    return key;
}

// The keys of one rule line; nullopt when the line is not well formed.
std::optional<std::vector<TRuleKey>> RuleKeys(const std::string& line) {
    std::vector<TRuleKey> keys;
    for (std::size_t at = 0;;) {
        while (at < line.size() && (line[at] == ',' || IsSpace(line[at])))
            ++at;
        if (at >= line.size())
            return keys;
        std::optional<TRuleKey> key = NextKey(line, at);
        if (!key)
            return std::nullopt;
        keys.push_back(std::move(*key));
    }
}

// udev's pattern match: shell globs, alternatives separated by "|".
bool PatternMatches(const std::string& pattern, const std::string& value) {
    std::istringstream alternatives(pattern);
    for (std::string one; std::getline(alternatives, one, '|');)
        if (::fnmatch(one.c_str(), value.c_str(), FNM_CASEFOLD) == 0)
            return true;
    return false;
}

bool IsAttribute(const std::string& key, const char* name) {
    for (const char* kind : {"ATTRS", "ATTR", "SYSFS"})
        if (key == std::string(kind) + "{" + name + "}")
            return true;
    return false;
}

// A rule line claims the device when it names the vendor with == (ATTRS{idVendor} or
// ENV{PRODUCT}) and every test of the vendor and product holds: == matches, != does not.
bool LineClaims(const std::vector<TRuleKey>& keys, const TAfUsbId& id) {
    char vendor[8];
    char product[8];
    char env[24];
    std::snprintf(vendor, sizeof vendor, "%04x", id.Vendor);
    std::snprintf(product, sizeof product, "%04x", id.Product);
    std::snprintf(env, sizeof env, "%x/%x/%x", id.Vendor, id.Product, id.Release);
    bool named = false;
    for (const TRuleKey& key : keys) {
        const bool isVendor = IsAttribute(key.Key, "idVendor") || key.Key == "ENV{PRODUCT}";
        const char* value = IsAttribute(key.Key, "idVendor")    ? vendor
                            : IsAttribute(key.Key, "idProduct") ? product
                            : key.Key == "ENV{PRODUCT}"         ? env
                                                                : nullptr;
        if (value == nullptr || (key.Op != "==" && key.Op != "!="))
            continue;
        if (PatternMatches(key.Value, value) != (key.Op == "=="))
            return false;
        named = named || (isVendor && key.Op == "==");
    }
    return named;
}

// The driver of a tty's device. Newer kernels put serial-core's own "port" and "ctrl"
// devices (bus serial-base) between the tty and the UART: their parents name the driver.
std::string DriverOf(const std::string& sysDevice) {
    std::string dir = AfResolved(sysDevice);
    std::string driver;
    for (int level = 0; level < 4 && dir.size() > 1; ++level) {
        const std::string target = AfLinkTarget(dir + "/driver");
        if (driver.empty())
            driver = BaseName(target);
        if (!target.empty() && target.find("/serial-base/") == std::string::npos)
            return BaseName(target);
        dir = dir.substr(0, dir.rfind('/'));
    }
    return driver;
}

bool Masked(const std::string& file) {
    struct stat st {};
    if (::lstat(file.c_str(), &st) != 0)
        return true;
    if (S_ISLNK(st.st_mode))
        return AfLinkTarget(file) == "/dev/null";
    return st.st_size == 0;
}

std::string WorkingFolder() {
    char buffer[PATH_MAX];
    return ::getcwd(buffer, sizeof buffer) != nullptr ? std::string(buffer) : std::string();
}

std::string StripRoot(const std::string& path, const std::string& root) {
    if (root.empty() || root == "/")
        return path;
    const std::string base = AfResolved(root);
    if (path.rfind(base + "/", 0) == 0)
        return path.substr(base.size());
    return path;
}

// One line of /proc/tty/drivers: "serial  /dev/ttyS  4 64-111 serial" (the minors a single
// number when the driver has one device). True when it covers major:minor; `type` is its
// last field.
bool DriverCovers(const std::string& line, unsigned major, unsigned minor, std::string& type) {
    std::istringstream fields(line);
    std::string name, node, minors;
    unsigned driverMajor = 0;
    if (!(fields >> name >> node >> driverMajor >> minors >> type) || driverMajor != major)
        return false;
    const std::size_t dash = minors.find('-');
    const unsigned long first = std::strtoul(minors.c_str(), nullptr, 10);
    const unsigned long last =
        dash == std::string::npos ? first : std::strtoul(minors.c_str() + dash + 1, nullptr, 10);
    return minor >= first && minor <= last;
}

} // namespace

std::optional<std::string> AfTtyDriverType(dev_t device, const std::string& root) {
    std::ifstream in(AfUnder(root, "/proc/tty/drivers"));
    if (!in)
        return std::nullopt;
    std::string type;
    for (std::string line; std::getline(in, line);)
        if (DriverCovers(line, ::major(device), ::minor(device), type))
            return type;
    return std::string();
}

bool AfIsSerialLine(const struct stat& node, const std::string& root) {
    if (!S_ISCHR(node.st_mode))
        return false;
    const std::optional<std::string> type = AfTtyDriverType(node.st_rdev, root);
    return !type || *type == "serial" || type->rfind("pty:slave", 0) == 0;
}

std::string AfUnder(const std::string& root, const std::string& path) {
    if (root.empty() || root == "/")
        return path;
    return (root.back() == '/' ? root.substr(0, root.size() - 1) : root) + path;
}

std::string AfResolved(const std::string& path) {
    char buffer[PATH_MAX];
    return ::realpath(path.c_str(), buffer) != nullptr ? std::string(buffer) : path;
}

std::string AfLinkTarget(const std::string& link) {
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink(link.c_str(), buffer, sizeof buffer - 1);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

std::string AfFirstLine(const std::string& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

std::string TAfUsbId::Text() const {
    char text[16];
    std::snprintf(text, sizeof text, "%04x:%04x", Vendor, Product);
    return text;
}

std::optional<TAfUsbId> AfUsbIdAt(const std::string& sysDevice) {
    char buffer[PATH_MAX];
    if (::realpath(sysDevice.c_str(), buffer) == nullptr)
        return std::nullopt;
    std::string dir = buffer;
    for (int level = 0; level < 6 && dir.size() > 1; ++level) {
        const auto vendor = HexWord(AfFirstLine(dir + "/idVendor"));
        const auto product = HexWord(AfFirstLine(dir + "/idProduct"));
        if (vendor && product) {
            const auto release = HexWord(AfFirstLine(dir + "/bcdDevice"));
            return TAfUsbId{*vendor, *product, release.value_or(0)};
        }
        dir = dir.substr(0, dir.rfind('/'));
    }
    return std::nullopt;
}

bool AfUdevRulesClaim(const std::string& text, const TAfUsbId& id) {
    std::istringstream in(text);
    std::string line;
    for (std::string part; std::getline(in, part);) {
        // A backslash at the end continues the rule on the next line.
        if (!part.empty() && part.back() == '\\') {
            line += part.substr(0, part.size() - 1);
            continue;
        }
        line += part;
        const std::size_t start = line.find_first_not_of(" \t");
        const bool comment = start == std::string::npos || line[start] == '#';
        const auto keys = comment ? std::nullopt : RuleKeys(line);
        line.clear();
        if (keys && LineClaims(*keys, id))
            return true;
    }
    return false;
}

std::string AfUdevProperty(const std::string& entry, const std::string& key) {
    std::istringstream in(entry);
    const std::string prefix = "E:" + key + "=";
    for (std::string line; std::getline(in, line);)
        if (line.rfind(prefix, 0) == 0)
            return line.substr(prefix.size());
    return {};
}

std::map<std::string, std::string> AfUdevRuleFiles(const std::string& root,
                                                   const std::string& part) {
    static constexpr std::array<const char*, 5> folders = {
        "/etc/udev/rules.d", "/run/udev/rules.d", "/usr/local/lib/udev/rules.d",
        "/usr/lib/udev/rules.d", "/lib/udev/rules.d"};
    std::map<std::string, std::string> files;
    std::set<std::string> seen;
    for (const char* folder : folders) {
        const std::string dir = AfUnder(root, folder);
        DIR* d = ::opendir(dir.c_str());
        if (d == nullptr)
            continue;
        while (const dirent* entry = ::readdir(d)) {
            const std::string name = entry->d_name;
            const bool rules = name.size() > 6 && name.compare(name.size() - 6, 6, ".rules") == 0;
            if (!rules || name.find(part) == std::string::npos || !seen.insert(name).second)
                continue;
            if (!Masked(dir + "/" + name))
                files[name] = dir + "/" + name;
        }
        ::closedir(d);
    }
    return files;
}

std::string AfReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string text;
    char buffer[16384];
    while (text.size() < kMaxFileBytes && in.read(buffer, sizeof buffer).gcount() > 0)
        text.append(buffer, static_cast<std::size_t>(in.gcount()));
    return text;
}

TAfDeviceFacts AfDeviceFactsOf(const std::string& path, const std::string& root) {
    TAfDeviceFacts f;
    f.Path = path;
    if (path.empty())
        return f;
    // A relative path names what opening it names: a path from the working folder.
    f.Node = AfUnder(root, path[0] == '/' ? path : WorkingFolder() + "/" + path);
    if (::stat(f.Node.c_str(), &f.Stat) != 0)
        return f;
    f.Exists = true;
    f.CharDevice = S_ISCHR(f.Stat.st_mode);
    f.SerialLine = AfIsSerialLine(f.Stat, root);
    f.Device = StripRoot(AfResolved(f.Node), root);
    f.Name = BaseName(f.Device);
    // Unix 98 pseudo-terminal slaves have the majors 136 to 143.
    const unsigned major = f.CharDevice ? ::major(f.Stat.st_rdev) : 0;
    f.Pty = major >= 136 && major <= 143;
    f.SysDir = AfUnder(root, "/sys/class/tty/" + f.Name);
    f.Hardware = !f.Pty && ::access((f.SysDir + "/device").c_str(), F_OK) == 0;
    if (f.Hardware) {
        // serial-core ports name their UART type; 0 is none.
        f.NoUart = AfFirstLine(f.SysDir + "/type") == "0";
        f.Driver = DriverOf(f.SysDir + "/device");
        f.Usb = AfUsbIdAt(f.SysDir + "/device");
    }
    return f;
}

std::string AfUdevEntryOf(const TAfDeviceFacts& facts, const std::string& root) {
    std::string number = AfFirstLine(facts.SysDir + "/dev");
    if (number.empty())
        number = std::to_string(::major(facts.Stat.st_rdev)) + ":" +
                 std::to_string(::minor(facts.Stat.st_rdev));
    return AfReadFile(AfUnder(root, "/run/udev/data/c" + number));
}

bool AfProcessRuns(const std::string& root, const std::string& name) {
    const std::string procRoot = AfUnder(root, "/proc");
    DIR* proc = ::opendir(procRoot.c_str());
    if (proc == nullptr)
        return false;
    bool found = false;
    while (const dirent* process = ::readdir(proc)) {
        if (!std::isdigit(static_cast<unsigned char>(process->d_name[0])))
            continue;
        if (AfFirstLine(procRoot + "/" + process->d_name + "/comm") == name) {
            found = true;
            break;
        }
    }
    ::closedir(proc);
    return found;
}

} // namespace halvex
