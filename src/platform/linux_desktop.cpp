#include "linux_desktop.h"

#include "failure.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QStandardPaths>
#include <QTime>
#include <QUrl>

namespace quendrel::platform {

QString LinuxDesktop::programFolder() { return QCoreApplication::applicationDirPath(); }

QString LinuxDesktop::desktopFolder() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/'))) folder.chop(1);
    return folder;
}

void LinuxDesktop::openInBrowser(const QString& address) {
    if (!QDesktopServices::openUrl(QUrl(address)))
        throw Failure(QStringLiteral("Cannot open %1 in the web browser").arg(address));
}

double LinuxDesktop::secondsSinceMidnight() {
    return QTime::currentTime().msecsSinceStartOfDay() / 1000.0;
}

}  // namespace quendrel::platform
