#include <gtest/gtest.h>

#include <QApplication>

#include "wizard_fixture.h"

// One QApplication for all tests; offscreen unless a platform was asked for, so the test
// list can also be read where no display exists.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    if (qEnvironmentVariableIsSet("TALLIVO_WINDOW_REPORT")) return tallivo::testing::ReportWindowOnScreen();
    return RUN_ALL_TESTS();
}
