// The QApplication of a GUI test program (made by its main: halvex_add_gtest(... QT_MAIN
// WIDGETS)), with the program's interface font (Liberation Sans or the default sans, 11
// pixels) set on first use, before any widget.
#pragma once

#include "ui/Controls.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

namespace halvex::test {

inline QApplication& GuiTestApp() {
    static QApplication& app = []() -> QApplication& {
        auto* a = qobject_cast<QApplication*>(QCoreApplication::instance());
        if (!a) {
            std::fputs("no QApplication: build the test with QT_MAIN WIDGETS\n", stderr);
            std::abort();
        }
        QApplication::setFont(InterfaceFont());
        return *a;
    }();
    return app;
}

} // namespace halvex::test
