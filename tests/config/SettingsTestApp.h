// One QApplication for the settings GUI tests, offscreen, with the program's font
// (Liberation Sans at 11 pixels, like MS Sans Serif 8 pt).
#pragma once

#include "app/Controls.h"

#include <QApplication>

inline QApplication& SettingsTestApp() {
    static int argc = 1;
    static char arg0[] = "settings_gui_tests";
    static char* argv[] = {arg0, nullptr};
    static QApplication* app = [] {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        auto* a = new QApplication(argc, argv);
        QApplication::setFont(halvex::InterfaceFont());
        return a;
    }();
    return *app;
}
