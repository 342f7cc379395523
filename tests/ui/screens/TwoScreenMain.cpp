// Test main for the two-screen kiosk tests: one QApplication on the
// offscreen platform with a touch screen and a live screen side by side.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" KLIK_TWO_SCREENS_CONFIG);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
