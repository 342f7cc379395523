// Test main for the web page on the real engine: its environment first
// (sandbox off as root, no GPU offscreen), then one QApplication.
#include <gtest/gtest.h>

#include <QApplication>

#include "log/Log.h"
#include "ui/web/WebEngineEnvironment.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    klik::prepareWebEngineEnvironment();
    QApplication app(argc, argv);
    // The page's log lines (loads, refusals, sittings) beside the test's
    // output, for reading a failure.
    klik::GLIMRA_Log::setShouldLogToStdErr(true);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
