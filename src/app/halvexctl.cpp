// halvexctl: the board jobs of the configurator from a shell (see `halvexctl --help`).
#include "cli/CliArgs.h"
#include "cli/Commands.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <memory>
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
    std::unique_ptr<QCoreApplication> app;
    if (parsed.Command == TCommand::Glyphs) {
        // A picture may draw text (SVG), which needs Qt Gui's fonts and so a gui
        // application; the offscreen platform needs no display.
        qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::setApplicationName(QStringLiteral("halvexctl"));
    return RunCli(parsed, streams);
}
