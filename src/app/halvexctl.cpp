// halvexctl: the board jobs of the configurator from a shell (see `halvexctl --help`).
#include "cli/CliArgs.h"
#include "cli/Commands.h"

#include <QCoreApplication>

#include <string>
#include <unistd.h>
#include <vector>

int main(int argc, char** argv) {
    using namespace halvex::cli;
    const std::vector<std::string> args(argv + 1, argv + argc);
    const TCliArgs parsed = ParseCliArgs(args);
    TCliStreams streams;
    streams.ErrIsTerminal = ::isatty(STDERR_FILENO) == 1;
    if (parsed.Help || parsed.Version || !parsed.Error.empty())
        return RunCli(parsed, streams);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("halvexctl"));
    return RunCli(parsed, streams);
}
