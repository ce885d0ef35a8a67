// HalvexCfg: configurator of the Halvex MAX7456 OSD board.
#include "app/Installed.h"
#include "ui/AppWindows.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace {

constexpr const char* kHelp =
    "Usage: halvexcfg [--demo [OSDSIM OPTIONS...]]\n"
    "The configurator of the Halvex MAX7456 OSD board: a desktop program (X11 or Wayland).\n"
    "\n"
    "  --demo [OPTIONS...]  run with the simulated board on a pseudo-terminal; OPTIONS go\n"
    "                       to the simulated board\n"
    "  --help               show this help and exit\n"
    "  --version            show the version and exit\n"
    "\n"
    "The board jobs without a window: halvexctl --help.\n";

// What to do without a display, as ./run says it.
constexpr const char* kDesktopAdvice =
    "     The configurator is a desktop program: start it from a desktop session,\n"
    "     or under a virtual display, e.g.  Xvfb :99 & DISPLAY=:99 halvexcfg\n";

bool Empty(const char* variable) {
    const char* value = std::getenv(variable);
    return value == nullptr || *value == '\0';
}

// Qt's platform plugin could not start (a display named but not reachable): said in the
// program's words instead of Qt's abort.
QtMessageHandler previousHandler = nullptr;
void PlatformFailure(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtFatalMsg && text.contains(QStringLiteral("platform plugin"))) {
        std::fputs("halvexcfg: the graphical display cannot be opened.\n", stderr);
        std::fputs(kDesktopAdvice, stderr);
        std::_Exit(1);
    }
    previousHandler(type, context, text);
}

} // namespace

int main(int argc, char** argv) {
    const std::string_view first = argc > 1 ? argv[1] : "";
    if (first == "--help" || first == "-h") {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (first == "--version") {
        std::fputs("halvexcfg (HalvexCfg) " HALVEX_VERSION "\n", stdout);
        return 0;
    }
    // Another platform chosen on purpose (offscreen, vnc, eglfs) needs no desktop display.
    if (Empty("QT_QPA_PLATFORM") && Empty("DISPLAY") && Empty("WAYLAND_DISPLAY")) {
        std::fputs("halvexcfg: no graphical display (DISPLAY and WAYLAND_DISPLAY are empty).\n",
                   stderr);
        std::fputs(kDesktopAdvice, stderr);
        return 1;
    }
    if (first == "--demo")
        return halvex::RunInstalledDemo(argc, argv);
    previousHandler = qInstallMessageHandler(PlatformFailure);
    QApplication app(argc, argv);
    qInstallMessageHandler(previousHandler);
    halvex::SetUpApplication(app);
    halvex::SetDesktopIdentity();
    halvex::TApplicationWindows windows;
    windows.Form1.show();
    return QApplication::exec();
}
