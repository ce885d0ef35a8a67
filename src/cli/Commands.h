// The commands of halvexctl over the board link. A QCoreApplication must exist.
#pragma once

#include "cli/CliArgs.h"

#include <cstdio>

namespace halvex::cli {

// Exit status.
namespace exit_code {
constexpr int Done = 0;
constexpr int Failed = 1; // the board or the port failed, or Ctrl+C
constexpr int Usage = 2;
constexpr int File = 3; // a file cannot be read or written, or is malformed
} // namespace exit_code

struct TCliStreams {
    std::FILE* Out = stdout;
    std::FILE* Err = stderr;
    bool ErrIsTerminal = false; // draw the progress bar
};

// Runs a parsed, valid command line (no help, version or usage error) and returns the
// exit status. SIGINT and SIGTERM stop a running exchange while this runs.
int RunCommand(const TCliArgs& args, const TCliStreams& streams);

// The whole program after QCoreApplication: help, version, usage errors, the command.
int RunCli(const TCliArgs& args, const TCliStreams& streams);

} // namespace halvex::cli
