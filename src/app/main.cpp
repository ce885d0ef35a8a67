// HalvexCfg: configurator of the Halvex MAX7456 OSD board.
#include "ui/AppWindows.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    halvex::SetUpApplication(app);
    halvex::TApplicationWindows windows;
    windows.Form1.show();
    return QApplication::exec();
}
