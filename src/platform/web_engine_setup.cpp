#include "web_engine_setup.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QtGlobal>
#include <cstdio>
#include <unistd.h>

namespace quendrel::platform {

void prepareWebEngineEnvironment() {
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX")) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
        std::fputs("Running as root: the web engine's renderer sandbox is turned off.\n", stderr);
    }
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    if (!flags.contains("--disable-background-networking")) {
        flags += " --disable-background-networking --disable-component-update --disable-sync";
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags.trimmed());
    }
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

}  // namespace quendrel::platform
