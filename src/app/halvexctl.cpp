// halvexctl: the board jobs of the configurator from a shell (see `halvexctl --help`).
#include "cli/CliArgs.h"
#include "cli/Commands.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QString>

#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

QtMessageHandler previousHandler = nullptr;

// The offscreen platform notes a missing XDG_RUNTIME_DIR (a shell without a desktop
// session) and then uses a folder of its own; that note says nothing about the picture.
void DropRuntimeDirNote(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (!text.startsWith(QStringLiteral("QStandardPaths: XDG_RUNTIME_DIR not set")))
        previousHandler(type, context, text);
}

} // namespace

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
        previousHandler = qInstallMessageHandler(DropRuntimeDirNote);
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::setApplicationName(QStringLiteral("halvexctl"));
    return RunCli(parsed, streams);
}
