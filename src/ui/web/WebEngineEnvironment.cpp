#include "ui/web/WebEngineEnvironment.h"

#include <unistd.h>

#include <QCoreApplication>
#include <cstdlib>
#include <cstring>

namespace klik {

void prepareWebEngineEnvironment() {
    if (geteuid() == 0 && !std::getenv("QTWEBENGINE_DISABLE_SANDBOX"))
        setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    const bool offscreen = platform && std::strncmp(platform, "offscreen", 9) == 0;
    if (offscreen && !std::getenv("QTWEBENGINE_CHROMIUM_FLAGS"))
        setenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu", 1);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

bool isWebEngineSandboxOff() {
    const char* v = std::getenv("QTWEBENGINE_DISABLE_SANDBOX");
    return v && *v && std::strcmp(v, "0") != 0;
}

}  // namespace klik
