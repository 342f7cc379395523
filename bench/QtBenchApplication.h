#pragma once
// The one QApplication of a benchmark run that needs Qt (offscreen unless
// QT_QPA_PLATFORM says otherwise), made on first use.

#include <QApplication>

namespace klik::bench {

inline QApplication& qtBenchApplication() {
    static int argc = 1;
    static char name[] = "klik_bench";
    static char* argv[] = {name, nullptr};
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(argc, argv);
    return app;
}

}  // namespace klik::bench
