#include "jpeg_output.h"

#include "hard_deadline.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace iecapt {

namespace {

constexpr int kJpegQuality = 90;

}  // namespace

QString outputProblem(const QString& path) {
    const QFileInfo target(path);
    if (target.isDir()) return QStringLiteral("%1 is a folder").arg(path);
    const QFileInfo folder(target.absolutePath());
    if (!folder.exists()) return QStringLiteral("the folder %1 does not exist").arg(folder.filePath());
    if (!folder.isDir()) return QStringLiteral("%1 is not a folder").arg(folder.filePath());
    if (::access(QFile::encodeName(folder.filePath()).constData(), W_OK | X_OK) != 0)
        return QStringLiteral("the folder %1 is not writable").arg(folder.filePath());
    return {};
}

QString writeJpegAtomically(const QImage& image, const QString& path) {
    const QFileInfo target(path);
    const QString temporary = target.absoluteDir().filePath(
        QStringLiteral(".%1.iecapt-%2.tmp").arg(target.fileName()).arg(QCoreApplication::applicationPid()));
    const QByteArray temporaryName = QFile::encodeName(temporary);

    QFile file(temporary);
    HardDeadline::setPendingFile(temporaryName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        HardDeadline::setPendingFile({});
        return QStringLiteral("cannot create %1: %2").arg(temporary, file.errorString());
    }
    QImageWriter writer(&file, "jpeg");
    writer.setQuality(kJpegQuality);
    const bool written = writer.write(image);
    const QString writeError = written ? QString() : writer.errorString();
    const bool flushed = written && file.flush() && ::fsync(file.handle()) == 0;
    file.close();
    if (!written || !flushed || file.error() != QFileDevice::NoError) {
        QFile::remove(temporary);
        HardDeadline::setPendingFile({});
        return QStringLiteral("cannot write %1: %2")
            .arg(path, writeError.isEmpty() ? file.errorString() : writeError);
    }
    if (std::rename(temporaryName.constData(), QFile::encodeName(path).constData()) != 0) {
        const QString reason = QString::fromLocal8Bit(std::strerror(errno));
        QFile::remove(temporary);
        HardDeadline::setPendingFile({});
        return QStringLiteral("cannot put the image at %1: %2").arg(path, reason);
    }
    HardDeadline::setPendingFile({});
    return {};
}

}  // namespace iecapt
