#pragma once
// Reading PDF files in tests through poppler's command-line tools, run
// directly (no shell) with a time limit.
#include <QProcess>
#include <QString>
#include <QStringList>
#include <stdexcept>
#include <vector>

namespace quendrel::testing {

inline QString RunPopplerTool(const QString& program, const QStringList& arguments) {
    QProcess tool;
    tool.start(program, arguments);
    if (!tool.waitForFinished(30'000) || tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0)
        throw std::runtime_error((program + QStringLiteral(" failed: ") +
                                  QString::fromLocal8Bit(tool.readAllStandardError()))
                                     .toStdString());
    return QString::fromUtf8(tool.readAllStandardOutput());
}

// The text of every page, as pdftotext reads it.
inline QString PdfText(const QString& pdfPath) {
    return RunPopplerTool(QStringLiteral("pdftotext"), {pdfPath, QStringLiteral("-")});
}

// One field of pdfinfo ("Pages", "Page size", ...), trimmed.
inline QString PdfInfoField(const QString& pdfPath, const QString& field) {
    const QString info = RunPopplerTool(QStringLiteral("pdfinfo"), {pdfPath});
    for (const QString& line : info.split(u'\n')) {
        if (line.startsWith(field + u':')) return line.mid(field.size() + 1).trimmed();
    }
    return QString();
}

struct PdfImage {
    int page, width, height;
    double xPpi, yPpi;
};

// The images placed on the pages, with their pixel size and the resolution at
// which they are drawn (pixels per inch of page), as pdfimages lists them.
inline std::vector<PdfImage> PdfImages(const QString& pdfPath) {
    const QString list = RunPopplerTool(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdfPath});
    std::vector<PdfImage> images;
    const QStringList lines = list.split(u'\n', Qt::SkipEmptyParts);
    // Two heading lines, then: page num type width height color comp bpc enc interp object ID x-ppi y-ppi size ratio
    for (qsizetype i = 2; i < lines.size(); ++i) {
        const QStringList f = lines[i].split(u' ', Qt::SkipEmptyParts);
        if (f.size() < 14 || f[2] != QStringLiteral("image")) continue;
        images.push_back({f[0].toInt(), f[3].toInt(), f[4].toInt(), f[12].toDouble(), f[13].toDouble()});
    }
    return images;
}

}  // namespace quendrel::testing
