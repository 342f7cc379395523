// Test main for the web page on the real engine: its environment first
// (sandbox off as root, no GPU offscreen), then one QApplication.
#include <gtest/gtest.h>

#include <QApplication>

#include "ui/web/WebEngineEnvironment.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    klik::prepareWebEngineEnvironment();
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
