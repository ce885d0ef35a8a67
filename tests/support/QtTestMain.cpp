// Test main with a Qt application object, so that the main-thread call gate has an event loop.
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
