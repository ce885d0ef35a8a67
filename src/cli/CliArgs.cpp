#include "cli/CliArgs.h"

#include "config/ConfigImage.h"
#include "config/SettingsFile.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <optional>
#include <string_view>

namespace halvex::cli {

namespace {

struct TCommandInfo {
    TCommand Command;
    const char* Name;
    const char* Synopsis; // after "halvexctl [OPTIONS] "
    const char* Summary;  // one line for the program help
    const char* Details;  // the command's own help, after the synopsis
};

constexpr std::array<TCommandInfo, 11> kCommands{{
    {TCommand::Ports, "ports", "ports", "list port numbers, device paths and state",
     "Lists the port numbers COM1 to COM32 and every number the preferences map to a\n"
     "device (COM<n> values), each with its device path and its state: available (it\n"
     "could be opened), busy (it exists but is in use), no permission (this user may\n"
     "not open it: see the open error for the group to join) or absent.\n"},
    {TCommand::Check, "check", "check", "connection check; exit 0 when the board answers \"R\"",
     "Sends the connection check (up to 60 tries, 100 ms apart) and prints \"ready\" when\n"
     "the board answers with the letter R. Another letter means the board is not ready\n"
     "(exit 1); no answer at all ends after 6 s with \"Communication ERROR !\" (exit 1).\n"},
    {TCommand::Read, "read", "read --image FILE", "read the configuration image into FILE",
     "Checks the connection, reads the board's configuration (a 513-byte dump whose last\n"
     "byte is a check byte) and writes the 512 image bytes, raw, to FILE. FILE is replaced\n"
     "only when the whole image was read and verified.\n"},
    {TCommand::Export, "export", "export FILE.set", "read, then write the settings file",
     "Checks the connection, reads the board's configuration and writes the settings file\n"
     "FILE.set exactly as the configurator's Export does (sections [MAIN], [MODE_OFF],\n"
     "[MODE_MIN], [MODE_ALL]).\n"},
    {TCommand::Write, "write", "write --image FILE [--no-verify] [--force]",
     "write a 512-byte image (of 513 bytes, the last is ignored)",
     "Writes the configuration image in FILE to the board in 16 acknowledged blocks, then\n"
     "reads the board back and compares the blocks (but the firmware version at offsets\n"
     "0-1 and the odometer at 12-15, which the board keeps): \"verified\" when they are\n"
     "equal; blocks that differ are written once more, and if they still differ, exit 1\n"
     "with \"Verify failed: the OSD holds different data in block N (offsets ...)\".\n"
     "FILE holds 512 bytes, or 513 (a dump with its check byte, which is ignored); any\n"
     "other size is refused before anything is sent (exit 3). The board is read first: an\n"
     "image for another firmware version, or with a field out of its range where it\n"
     "differs from the board (layout mode above 2, an item's column above 29 or row above\n"
     "15), is refused with \"Bad file format !\" (exit 3) and nothing is written.\n"
     "\n"
     "  --no-verify  no read-back after the write (for benches)\n"
     "  --verify     the read-back, as without options (kept for scripts)\n"
     "  --force      write the image even when it fails the check\n"},
    {TCommand::Import, "import", "import FILE.set [--layouts] [--settings] [--no-verify]",
     "read, import the chosen sections, then write",
     "Reads the board's configuration, imports FILE.set into it as the configurator's\n"
     "Import does (including the video standard and layout mode steps that follow it), and\n"
     "writes the result back in 16 blocks, read back as write does. --layouts imports\n"
     "the three screen layouts, --settings the main settings; without either option both\n"
     "are imported. A line the import cannot process is reported as \"Error inside import\n"
     "file !\" and skipped.\n"
     "\n"
     "  --layouts    import the sections [MODE_OFF], [MODE_MIN] and [MODE_ALL]\n"
     "  --settings   import the section [MAIN]\n"
     "  --no-verify  no read-back after the write (for benches)\n"
     "  --verify     the read-back, as without options (kept for scripts)\n"},
    {TCommand::Font, "font", "font FILE.mcm", "upload a character set (whole file checked first)",
     "Checks the whole MAX7456 character set file (header \"MAX7456\", 256 characters of\n"
     "64 rows of eight digits) and uploads its 256 characters, each acknowledged by the\n"
     "board. A file that cannot be read or is malformed ends with exit 3 and nothing sent.\n"
     "Of a set of 512 characters (INAV's) the first 256 go up, and stderr says so.\n"},
    {TCommand::Doctor, "doctor", "doctor", "say why the port does not work, and how to fix it",
     "Runs these checks on the port, in this order, and prints one line for each: ok, warn,\n"
     "fail, or skip (not run, as an earlier check failed), with what it found. A check that\n"
     "is not ok adds a line \"fix:\" saying what to do.\n"
     "\n"
     "  device         the device exists and is a serial port (a USB adapter, a built-in\n"
     "                 port or a pseudo-terminal, not a console); for a USB adapter, its\n"
     "                 driver and vendor:product\n"
     "  permission     this user may open it (the dialout group, or this package's udev rule)\n"
     "  in-use         no other program holds it; names the program and its PID\n"
     "  modem-manager  ModemManager does not probe it with AT commands (ID_MM_DEVICE_IGNORE)\n"
     "  brltty         brltty's udev rules do not claim the adapter (no /dev/ttyUSB0 at all)\n"
     "  board          the board answers the connection check with \"R\", and how fast\n"
     "\n"
     "Without a port (no --port, none stored) it runs the checks that need none and lists\n"
     "the serial ports found:\n"
     "\n"
     "  groups         this login has the serial ports' group (dialout): a user added to it\n"
     "                 has it only after logging in again\n"
     "  modem-manager  ModemManager is not running, or this package's udev rule keeps it off\n"
     "  brltty         brltty has taken no plugged adapter\n"
     "  ports          the ports that exist, with their state (as \"ports\" lists them)\n"
     "\n"
     "Exit 1 when a check failed, else 0 (also with warnings). --json prints one object:\n"
     "{\"ok\", \"command\", \"checks\": [{\"name\", \"status\", \"detail\", \"fix\"}], "
     "\"port\"}; without a port \"port\" is null and \"ports\" lists the ports found as\n"
     "\"ports\" does.\n"},
    {TCommand::Glyphs, "glyphs",
     "glyphs PICTURE --font BASE.mcm --at CODE --out NEW.mcm [--columns C --rows R] "
     "[--threshold PERCENT] [--dither] [--key green|corner|none] [--outline]",
     "put a picture into characters of a set (no board)",
     "Puts PICTURE (PNG, JPEG, BMP, SVG or any format Qt reads) into the block of\n"
     "characters starting at CODE of the character set BASE.mcm and writes the result to\n"
     "NEW.mcm, as the character editor's Import picture does. A pixel whose alpha is below\n"
     "50 %, or of the transparent key colour, becomes transparent; any other is white when\n"
     "its luminance is at or above the threshold, else black. NEW.mcm holds the bytes of\n"
     "BASE.mcm except the rows of the characters that changed, so running the command\n"
     "again on its own output changes nothing. Nothing is written on any error.\n"
     "\n"
     "  --font       the character set to start from (BASE.mcm)\n"
     "  --at         the first character of the block: 0 to 255, or 0x00 to 0xFF\n"
     "  --out        the character set to write (NEW.mcm; may be BASE.mcm)\n"
     "  --columns    the block's width in characters; with --rows the picture is scaled\n"
     "               to fit it, its aspect kept, centred on transparent (a vector picture\n"
     "               is drawn at that size); without them the picture must be 12 x 18\n"
     "               pixels per character (else exit 3)\n"
     "  --rows       the block's height in characters\n"
     "  --threshold  the luminance that becomes white, in percent (default 50)\n"
     "  --dither     Floyd-Steinberg dithering, for photographs\n"
     "  --key        the transparent colour: green (0, 255, 0; the default), corner (the\n"
     "               colour of the top-left pixel, e.g. the grey of INAV's logo sheets)\n"
     "               or none (only the alpha channel)\n"
     "  --outline    a one-pixel black edge around white shapes\n"},
    {TCommand::Presets, "presets", "presets", "list the layout presets: names and files",
     "Lists the layout presets, each with its name, whether it came with the program\n"
     "(shipped) or is the user's own (saved in the configurator's preset chooser), and its\n"
     "file: the shipped ones in share/halvexcfg/presets/ of the installation, the user's in\n"
     "$XDG_DATA_HOME/halvexcfg/presets/ (normally ~/.local/share/halvexcfg/presets/). A\n"
     "preset holds only the three screen layouts; put one on the board with\n"
     "'halvexctl preset NAME'. Exit 3 when the shipped presets are missing.\n"},
    {TCommand::Preset, "preset", "preset NAME [--mode OFF|MIN|ALL] [--all] [--no-verify]",
     "apply a layout preset to the board's layouts",
     "Reads the board's configuration, applies the layout preset NAME (a name that\n"
     "'halvexctl presets' lists, or its file name without .set) as the configurator's\n"
     "preset chooser does, and writes the result back in 16 blocks. The preset brings the\n"
     "items' places and looks (visible, negative, blinking, grey, font); the item options\n"
     "(audible vario, HDOP, temperature sensor) and the horizon's Nick and Roll\n"
     "sensitivities stay as the board has them. Under NTSC, items below row 12 move up 3\n"
     "rows. An unknown NAME ends with exit 2, a preset file that cannot be read or is no\n"
     "preset with exit 3, both before the board is touched. The write is read back as\n"
     "write's is.\n"
     "\n"
     "  --mode       the layout to replace: OFF, MIN or ALL (default: the layout mode the\n"
     "               board is in)\n"
     "  --all        replace all three layouts (not with --mode)\n"
     "  --no-verify  no read-back after the write (for benches)\n"},
}};

const TCommandInfo* Find(TCommand command) {
    for (const TCommandInfo& info : kCommands)
        if (info.Command == command)
            return &info;
    return nullptr;
}

const TCommandInfo* Find(std::string_view name) {
    for (const TCommandInfo& info : kCommands)
        if (name == info.Name)
            return &info;
    return nullptr;
}

struct TOptionInfo;

// What the parser gathers besides the fields of TCliArgs.
struct TLineParts {
    std::vector<std::string> Positional; // the command and its arguments
    bool Layouts = false;
    bool Settings = false;
    bool ImageGiven = false;
    const TOptionInfo* OwnOption = nullptr; // the first option of one command alone given
    std::string GlyphsError;                // the first value an option of glyphs refused
    std::string ModeError;                  // the value --mode refused
};

// One option of the command line: "--name VALUE", "--name=VALUE" or a switch "--name".
// Global options carry their help lines (listed in every help text); a command's own options
// are described in its Details.
struct TOptionInfo {
    const char* Name;  // "--port"
    const char* Value; // the value's name in the help ("PORT"); nullptr: a switch
    // Takes the option (its value, empty for a switch); false when the value is refused.
    bool (*Take)(TCliArgs& args, TLineParts& line, const std::string& value);
    const char* Help; // global options: the help text, lines split by "\n"; else nullptr
    TCommand Only = TCommand::None; // an option of this command alone, refused with any other
};

// Switches: the option sets a flag of the line.
template <bool TCliArgs::*Flag> bool Set(TCliArgs& r, TLineParts&, const std::string&) {
    return r.*Flag = true;
}
template <bool TLineParts::*Flag> bool SetSeen(TCliArgs&, TLineParts& line, const std::string&) {
    return line.*Flag = true;
}

bool TakePort(TCliArgs& r, TLineParts&, const std::string& value) {
    r.Port = value;
    return !value.empty();
}

bool TakeImage(TCliArgs& r, TLineParts& line, const std::string& value) {
    r.File = value;
    return line.ImageGiven = true;
}

// A whole number from `text` within low..high: decimal, or hexadecimal after "0x".
std::optional<int> Number(std::string_view text, int low, int high) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty() || text.size() > 6)
        return std::nullopt;
    int value = 0;
    for (const char c : text) {
        const int digit = c >= '0' && c <= '9'                 ? c - '0'
                          : base == 16 && c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : base == 16 && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                               : -1;
        if (digit < 0)
            return std::nullopt;
        value = value * base + digit;
    }
    if (value < low || value > high)
        return std::nullopt;
    return value;
}

// The options of glyphs. Their values are checked once the command is known: a value glyphs
// refuses is kept as the line's glyphs error, reported after the command's other usage errors.
template <std::string TGlyphsArgs::*Field>
bool TakeGlyphsText(TCliArgs& r, TLineParts&, const std::string& value) {
    r.Glyphs.*Field = value;
    return true;
}

bool TakeDither(TCliArgs& r, TLineParts&, const std::string&) {
    return r.Glyphs.Dither = true;
}

bool TakeOutline(TCliArgs& r, TLineParts&, const std::string&) {
    return r.Glyphs.Outline = true;
}

bool TakeKey(TCliArgs& r, TLineParts& line, const std::string& value) {
    constexpr std::pair<std::string_view, TTransparentKey> kKeys[] = {
        {"green", TTransparentKey::Green},
        {"corner", TTransparentKey::Corner},
        {"none", TTransparentKey::None}};
    for (const auto& [name, key] : kKeys)
        if (value == name) {
            r.Glyphs.Key = key;
            return true;
        }
    if (line.GlyphsError.empty())
        line.GlyphsError = "--key takes green, corner or none, not '" + value + "'";
    return true;
}

struct TNumberRule {
    int TGlyphsArgs::*Field;
    int Low;
    int High;
    bool Percent;      // "50%" is 50
    const char* Takes; // the usage error's start; ", not 'VALUE'" follows
};
constexpr TNumberRule kAt{&TGlyphsArgs::At, 0, 255, false,
                          "--at takes a character code 0 to 255 (decimal or 0x hex)"};
constexpr TNumberRule kColumns{&TGlyphsArgs::Columns, 1, 256, false,
                               "--columns takes a number of characters 1 to 256"};
constexpr TNumberRule kRows{&TGlyphsArgs::Rows, 1, 256, false,
                            "--rows takes a number of characters 1 to 256"};
constexpr TNumberRule kThreshold{&TGlyphsArgs::Threshold, 0, 100, true,
                                 "--threshold takes a percentage 0 to 100"};

template <const TNumberRule& Rule>
bool TakeGlyphsNumber(TCliArgs& r, TLineParts& line, const std::string& value) {
    const bool percent = Rule.Percent && !value.empty() && value.back() == '%';
    const std::optional<int> n = Number(
        std::string_view(value).substr(0, value.size() - (percent ? 1 : 0)), Rule.Low, Rule.High);
    if (n)
        r.Glyphs.*Rule.Field = *n;
    else if (line.GlyphsError.empty())
        line.GlyphsError = std::string(Rule.Takes) + ", not '" + value + "'";
    return true;
}

// --mode of preset: OFF, MIN or ALL, in any case.
bool TakePresetMode(TCliArgs& r, TLineParts& line, const std::string& value) {
    std::string upper = value;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    for (int m = 0; m < kLayoutModes; ++m) {
        if (upper == kLayoutModeNames[m]) {
            r.PresetMode = m;
            return true;
        }
    }
    line.ModeError = "--mode takes OFF, MIN or ALL, not '" + value + "'";
    return true;
}

// The options of glyphs taken together: the usage error, empty when they are good.
std::string GlyphsUsageError(const TGlyphsArgs& glyphs) {
    if (glyphs.Font.empty() || glyphs.Out.empty() || glyphs.At < 0)
        return "glyphs needs --font BASE.mcm, --at CODE and --out NEW.mcm";
    if ((glyphs.Columns == 0) != (glyphs.Rows == 0))
        return "--columns and --rows go together";
    if (glyphs.Columns > 0 && glyphs.At + glyphs.Columns * glyphs.Rows > 256)
        return "a block of " + std::to_string(glyphs.Columns * glyphs.Rows) + " characters from " +
               std::to_string(glyphs.At) + " passes character 255";
    return {};
}

constexpr TCommand kGlyphs = TCommand::Glyphs;
constexpr TCommand kPreset = TCommand::Preset;

constexpr TOptionInfo kOptions[] = {
    {"--port", "PORT", TakePort,
     "the port: COM8, 8, or a device path such as\n/dev/ttyUSB0; default: the port stored "
     "in the\npreferences (the configurator's last port)"},
    {"--json", nullptr, Set<&TCliArgs::Json>, "print the result as one JSON object on stdout"},
    {"--quiet", nullptr, Set<&TCliArgs::Quiet>, "no result line and no progress bar"},
    {"--verbose", nullptr, Set<&TCliArgs::Verbose>,
     "trace the link and the serial port on stderr:\nframes, tries, answers, give-up, device "
     "loss\n(no progress bar then)"},
    {"--help", nullptr, Set<&TCliArgs::Help>, "this help; COMMAND --help: that command's help"},
    {"--version", nullptr, Set<&TCliArgs::Version>, "the program's version"},
    {"--image", "FILE", TakeImage, nullptr},
    {"--layouts", nullptr, SetSeen<&TLineParts::Layouts>, nullptr},
    {"--settings", nullptr, SetSeen<&TLineParts::Settings>, nullptr},
    {"--verify", nullptr, Set<&TCliArgs::Verify>, nullptr},
    {"--no-verify", nullptr, Set<&TCliArgs::NoVerify>, nullptr},
    {"--force", nullptr, Set<&TCliArgs::Force>, nullptr, TCommand::Write},
    {"--font", "BASE.mcm", TakeGlyphsText<&TGlyphsArgs::Font>, nullptr, kGlyphs},
    {"--at", "CODE", TakeGlyphsNumber<kAt>, nullptr, kGlyphs},
    {"--out", "NEW.mcm", TakeGlyphsText<&TGlyphsArgs::Out>, nullptr, kGlyphs},
    {"--columns", "C", TakeGlyphsNumber<kColumns>, nullptr, kGlyphs},
    {"--rows", "R", TakeGlyphsNumber<kRows>, nullptr, kGlyphs},
    {"--threshold", "PERCENT", TakeGlyphsNumber<kThreshold>, nullptr, kGlyphs},
    {"--dither", nullptr, TakeDither, nullptr, kGlyphs},
    {"--key", "green|corner|none", TakeKey, nullptr, kGlyphs},
    {"--outline", nullptr, TakeOutline, nullptr, kGlyphs},
    {"--mode", "OFF|MIN|ALL", TakePresetMode, nullptr, kPreset},
    {"--all", nullptr, Set<&TCliArgs::PresetAll>, nullptr, kPreset},
};

const TOptionInfo* FindOption(std::string_view name) {
    if (name == "-h")
        name = "--help";
    for (const TOptionInfo& option : kOptions)
        if (name == option.Name)
            return &option;
    return nullptr;
}

// "Options:" and the global options, each with its help in a column.
std::string OptionsHelp() {
    constexpr std::size_t column = 16;
    std::string text = "Options:\n";
    for (const TOptionInfo& option : kOptions) {
        if (!option.Help)
            continue;
        std::string line = std::string("  ") + option.Name;
        if (option.Value)
            line += std::string(" ") + option.Value;
        line.append(column - std::min(column - 1, line.size()), ' ');
        for (const char* c = option.Help; *c; ++c)
            line += *c == '\n' ? "\n" + std::string(column, ' ') : std::string(1, *c);
        text += line + "\n";
    }
    return text;
}

constexpr const char* kExitStatus =
    "Exit status:\n"
    "  0   done\n"
    "  1   the board or the port failed (no answer, not ready, give-up, bad dump, port\n"
    "      cannot be opened or vanished), the read-back found different data, a check of\n"
    "      doctor failed, or the job was interrupted (Ctrl+C)\n"
    "  2   wrong usage\n"
    "  3   a file cannot be read or written, or is malformed (nothing is sent then)\n";

} // namespace

const char* CommandName(TCommand command) {
    const TCommandInfo* info = Find(command);
    return info ? info->Name : "";
}

std::string VersionText() {
    return "halvexctl (HalvexCfg) 1.05\n";
}

std::string ProgramHelp() {
    std::string text = "Usage: halvexctl [--port PORT] [--json] [--quiet] [--verbose] COMMAND "
                       "[ARGS]\n"
                       "Runs the jobs of the Halvex OSD configurator on a board without a "
                       "window:\n"
                       "connection check, configuration read and write, settings file export\n"
                       "and import, character set upload, pictures put into character sets,\n"
                       "and the checks that say why a port does not work.\n"
                       "\n"
                       "Commands:\n";
    for (const TCommandInfo& info : kCommands) {
        std::string line = std::string("  ") + info.Synopsis;
        constexpr std::size_t column = 22;
        if (line.size() < column)
            line.append(column - line.size(), ' ');
        else
            line += "\n" + std::string(column, ' ');
        text += line + info.Summary + "\n";
    }
    text += "\n";
    text += OptionsHelp();
    text += "\n"
            "Results go to stdout (\"ready\", \"read 512 bytes\", \"written 16 blocks in "
            "0.38 s,\n"
            "verified\"), failures to stderr as one line with the configurator's message and\n"
            "the cause. write, import and font show a progress bar on stderr when it is a\n"
            "terminal.\n"
            "--verbose prints the trace of the link and the serial port on stderr instead.\n"
            "Ctrl+C stops the exchange at once, closes the port and says what was "
            "interrupted.\n"
            "\n";
    text += kExitStatus;
    text += "\n"
            "Files:\n"
            "  $XDG_CONFIG_HOME/Brenn/HalvexCfg.ini (normally ~/.config/Brenn/HalvexCfg.ini)\n"
            "      the configurator's preferences: the stored port (Port) and the device\n"
            "      paths of port numbers (COM<n>); halvexctl reads them and changes nothing\n"
            "\n"
            "Examples:\n"
            "  halvexctl --port COM1 check\n"
            "  halvexctl export club.set\n"
            "  halvexctl import club.set --layouts\n"
            "  halvexctl write --image bench.bin\n"
            "  halvexctl presets\n"
            "  halvexctl preset Race --mode MIN\n"
            "  halvexctl --port /dev/ttyUSB0 font bf-default.mcm\n"
            "  halvexctl --port /dev/ttyUSB0 doctor\n"
            "  halvexctl glyphs logo.png --font bf-default.mcm --at 160 --out logo.mcm\n"
            "\n"
            "Run 'halvexctl COMMAND --help' for the details of a command.\n";
    return text;
}

std::string CommandHelp(TCommand command) {
    const TCommandInfo* info = Find(command);
    if (!info)
        return ProgramHelp();
    return std::string("Usage: halvexctl [--port PORT] [--json] [--quiet] [--verbose] ") +
           info->Synopsis + "\n" + info->Summary + ".\n\n" + info->Details + "\n" + OptionsHelp() +
           "\n" + kExitStatus;
}

namespace {

// Keeps the first usage error of a line.
void FailOnce(TCliArgs& r, std::string message) {
    if (r.Error.empty())
        r.Error = std::move(message);
}

// The command's arguments and options checked together; the file and import flags taken.
void CheckCommandLine(TCliArgs& r, const TLineParts& line) {
    const std::vector<std::string>& positional = line.Positional;
    const std::size_t extra = positional.empty() ? 0 : positional.size() - 1;
    const std::string name = CommandName(r.Command);
    const bool imageCommand = r.Command == TCommand::Read || r.Command == TCommand::Write;
    const bool fileCommand = r.Command == TCommand::Export || r.Command == TCommand::Import ||
                             r.Command == TCommand::Font || r.Command == TCommand::Glyphs ||
                             r.Command == TCommand::Preset; // its argument: the preset's name
    const char* argument = r.Command == TCommand::Preset ? "a preset name" : "a file";
    if (r.Command == TCommand::None)
        FailOnce(r, "no command given");
    else if (line.ImageGiven && !imageCommand)
        FailOnce(r, "option --image belongs to read and write, not " + name);
    else if ((line.Layouts || line.Settings) && r.Command != TCommand::Import)
        FailOnce(r, "options --layouts and --settings belong to import, not " + name);
    else if ((r.Verify || r.NoVerify) && r.Command != TCommand::Write &&
             r.Command != TCommand::Import && r.Command != TCommand::Preset)
        FailOnce(r, std::string("option ") + (r.Verify ? "--verify" : "--no-verify") +
                        " belongs to write, import and preset, not " + name);
    else if (r.Verify && r.NoVerify)
        FailOnce(r, "options --verify and --no-verify contradict each other");
    else if (line.OwnOption && line.OwnOption->Only != r.Command)
        FailOnce(r, std::string("option ") + line.OwnOption->Name + " belongs to " +
                        CommandName(line.OwnOption->Only) + ", not " + name);
    else if (imageCommand && (!line.ImageGiven || r.File.empty()))
        FailOnce(r, name + " needs --image FILE");
    else if (fileCommand && extra == 0)
        FailOnce(r, name + " needs " + argument);
    else if (extra > (fileCommand ? 1u : 0u))
        FailOnce(r, "unexpected argument '" + positional.back() + "' for " + name);
    if (fileCommand && extra == 1)
        r.File = positional[1];
    if (r.Command == TCommand::Glyphs)
        FailOnce(r, line.GlyphsError.empty() ? GlyphsUsageError(r.Glyphs) : line.GlyphsError);
    if (r.Command == TCommand::Preset && !line.ModeError.empty())
        FailOnce(r, line.ModeError);
    else if (r.Command == TCommand::Preset && r.PresetAll && r.PresetMode >= 0)
        FailOnce(r, "options --mode and --all of preset exclude each other");
    if (r.Command == TCommand::Import) {
        const bool both = !line.Layouts && !line.Settings; // neither option: both
        r.ImportFlags = (both || line.Layouts ? import_flag::Layouts : 0) |
                        (both || line.Settings ? import_flag::Main : 0);
    }
}

// One option of the line at `k` (its value may be the next argument, which `k` then passes).
void TakeOption(TCliArgs& r, TLineParts& line, const std::vector<std::string>& args,
                std::size_t& k) {
    std::string name = args[k];
    std::optional<std::string> value;
    if (const std::size_t eq = name.find('=');
        name.rfind("--", 0) == 0 && eq != std::string::npos) {
        value = name.substr(eq + 1);
        name.resize(eq);
    }
    const TOptionInfo* option = FindOption(name);
    if (!option) {
        FailOnce(r, "unknown option '" + name + "'");
        return;
    }
    if (option->Only != TCommand::None && !line.OwnOption)
        line.OwnOption = option;
    if (!option->Value && value)
        FailOnce(r, "option " + name + " takes no value");
    if (option->Value && !value && k + 1 < args.size())
        value = args[++k];
    if (option->Value && !value)
        FailOnce(r, "option " + name + " needs a value");
    else if (!option->Take(r, line, value.value_or(std::string())))
        FailOnce(r, "option " + name + " needs a value");
}

// The command (the first word that is no option) and its arguments.
void TakeWord(TCliArgs& r, TLineParts& line, const std::string& word) {
    if (r.Command == TCommand::None && line.Positional.empty()) {
        if (const TCommandInfo* info = Find(word))
            r.Command = info->Command;
        else
            FailOnce(r, "unknown command '" + word + "'");
    }
    line.Positional.push_back(word);
}

} // namespace

TCliArgs ParseCliArgs(const std::vector<std::string>& args) {
    TCliArgs r;
    TLineParts line;
    for (std::size_t k = 0; k < args.size(); ++k) {
        if (args[k].size() > 1 && args[k][0] == '-')
            TakeOption(r, line, args, k);
        else
            TakeWord(r, line, args[k]);
    }
    if (r.Help || r.Version)
        return r; // help is given even for an otherwise wrong line
    if (r.Error.empty())
        CheckCommandLine(r, line);
    return r;
}

} // namespace halvex::cli
