// HalvexCfg: configurator of the Halvex MAX7456 OSD board.
#include "app/Installed.h"
#include "ui/AppWindows.h"

#include <QApplication>

#include <string_view>

int main(int argc, char** argv) {
    if (argc > 1 && std::string_view(argv[1]) == "--demo")
        return halvex::RunInstalledDemo(argc, argv);
    QApplication app(argc, argv);
    halvex::SetUpApplication(app);
    halvex::SetDesktopIdentity();
    halvex::TApplicationWindows windows;
    windows.Form1.show();
    return QApplication::exec();
}
