// One QApplication per GUI test program: offscreen, with the program's interface font
// (Liberation Sans or the default sans, 11 pixels). Made on first use, before any widget.
#pragma once

#include "ui/Controls.h"

#include <QApplication>

namespace halvex::test {

inline QApplication& GuiTestApp() {
    static QApplication* app = [] {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "halvex_gui_tests";
        static char* argv[] = {name, nullptr};
        auto* a = new QApplication(argc, argv);
        QApplication::setFont(InterfaceFont());
        return a;
    }();
    return *app;
}

} // namespace halvex::test
