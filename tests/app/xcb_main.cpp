// Entry of the tests that need a real window system: an Xvfb of their own, and Qt on it
// through xcb, as the program runs on a desktop.
#include "app/Application.h"
#include "support/PrivateXServer.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests)) {
        return RUN_ALL_TESTS(); // listing needs no display
    }
    kr90x::test::PrivateXServer x;
    const QString display = x.start();
    if (display.isEmpty()) {
        std::fprintf(stderr, "Xvfb did not start\n");
        return 1;
    }
    setenv("DISPLAY", display.toLocal8Bit().constData(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    QApplication app(argc, argv);
    kr90x::setUpApplication();
    return RUN_ALL_TESTS();
}
