// Test entry: a QApplication on the offscreen platform unless the caller chose one, so
// that no test needs a display, and a settings folder of its own, so that no test reads
// or writes the settings of the user who runs it.
#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QTemporaryDir config;
    if (config.isValid()) {
        setenv("XDG_CONFIG_HOME", config.path().toLocal8Bit().constData(), 1);
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
