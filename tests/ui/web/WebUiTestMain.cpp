// Test main for the web page on the real engine: its environment first
// (sandbox off as root, no GPU offscreen), then one QApplication.
#include <gtest/gtest.h>

#include <QApplication>

#include "log/Log.h"
#include "ui/web/WebEngineEnvironment.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    klik::prepareWebEngineEnvironment();
#if defined(__SANITIZE_ADDRESS__)
    // The kiosk program the tests start loads the engine too: the same one
    // check is off there (see WebEngineAsanOptions.cpp).
    const QByteArray asan = qgetenv("ASAN_OPTIONS");
    qputenv("ASAN_OPTIONS", asan + (asan.isEmpty() ? "" : ":") + "new_delete_type_mismatch=0");
#endif
    QApplication app(argc, argv);
    // The page's log lines (loads, refusals, sittings) beside the test's
    // output, for reading a failure.
    klik::GLIMRA_Log::setShouldLogToStdErr(true);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
