#include <gtest/gtest.h>

#include <QApplication>

// One QApplication for all tests; offscreen unless a platform was asked for, so the test
// list can also be read where no display exists.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
