// The main of the test programs built with halvex_add_gtest(... QT_MAIN [WIDGETS]): the one
// Qt application of the process, made before any test, so that timers, the main-thread call
// gate and (with WIDGETS, a QApplication) widgets work.
#include <gtest/gtest.h>

#include <cstdlib>

#ifdef HALVEX_TEST_WIDGETS
#include <QApplication>
using TTestApplication = QApplication;
#else
#include <QCoreApplication>
using TTestApplication = QCoreApplication;
#endif

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // No display is needed (also when ctest lists the tests without the test environment).
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    TTestApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
