#include <gtest/gtest.h>

#include <QApplication>

// One QApplication for the whole test program. Windows never appear on a desktop: the
// offscreen platform is the default here (and is inherited by the programs started).
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
