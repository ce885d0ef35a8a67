// Command line of halvexctl: global options, the command and its arguments, and the help
// texts (the man page is generated from the same text).
//
//   halvexctl [--port PORT] [--json] [--quiet] [--verbose] COMMAND [ARGS]
//
// Global options may stand before or after the command; "--opt=value" and "--opt value"
// are the same.
#pragma once

#include "cli/Glyphs.h"

#include <string>
#include <vector>

namespace halvex::cli {

enum class TCommand {
    None,
    Ports,
    Check,
    Read,
    Export,
    Write,
    Import,
    Font,
    Doctor,
    Glyphs,
    Presets,
    Preset
};

struct TCliArgs {
    std::string Port; // "COM8", "8" or a device path; empty: the stored port
    bool Json = false;
    bool Quiet = false;
    bool Verbose = false; // --verbose: the trace of the link and the serial port on stderr
    bool Help = false;    // --help: of the program, or of Command when one is given
    bool Version = false; // --version
    TCommand Command = TCommand::None;
    std::string File;       // --image FILE of read/write, the file of export/import/font, the
                            // picture of glyphs, the preset's name of preset
    int ImportFlags = 0;    // import_flag:: bits; both when neither option is given
    bool Verify = false;    // --verify of write, import and preset: the read-back (done anyway)
    bool NoVerify = false;  // --no-verify of write, import and preset: no read-back
    bool Force = false;     // --force of write: the image is sent without its check
    int PresetMode = -1;    // --mode of preset: 0 OFF, 1 MIN, 2 ALL; -1 the board's current mode
    bool PresetAll = false; // --all of preset: all three layouts
    TGlyphsArgs Glyphs;     // the options of glyphs
    std::string Error;      // wrong usage (exit 2); empty when the line is good
};

TCliArgs ParseCliArgs(const std::vector<std::string>& args);

// The command's name as typed ("font"); "" for None.
const char* CommandName(TCommand command);

// `halvexctl --help`: every command, option and exit status.
std::string ProgramHelp();
// `halvexctl COMMAND --help`.
std::string CommandHelp(TCommand command);
std::string VersionText();

} // namespace halvex::cli
