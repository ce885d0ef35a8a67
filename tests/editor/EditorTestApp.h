// One QApplication per GUI test program: offscreen, with the program's interface font
// (Liberation Sans or the default sans, 11 pixels).
#pragma once

#include "app/Controls.h"

#include <QApplication>

#include <cstdlib>

namespace halvex::test {

inline QApplication& EditorTestApp() {
    static QApplication* app = [] {
        if (!std::getenv("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "editor_tests";
        static char* argv[] = {name, nullptr};
        auto* a = new QApplication(argc, argv);
        QApplication::setFont(InterfaceFont());
        return a;
    }();
    return *app;
}

} // namespace halvex::test
