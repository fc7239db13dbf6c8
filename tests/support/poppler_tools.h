#pragma once
// Reading PDF files in tests through poppler's command-line tools, run
// directly (no shell) with a time limit.
#include <QDir>
#include <QImage>
#include <QMap>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
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

// The fields pdfinfo shows ("Pages", "Page size", "Title", ...), trimmed; with
// `-custom` also the document properties of their own keys, with `-isodates`
// dates as "YYYY-MM-DDTHH:MM:SS" and their time zone.
inline QMap<QString, QString> PdfInfoFields(const QString& pdfPath, const QStringList& options = {}) {
    const QString info = RunPopplerTool(QStringLiteral("pdfinfo"),
                                        QStringList(options) << QStringLiteral("-enc") << QStringLiteral("UTF-8") << pdfPath);
    QMap<QString, QString> fields;
    for (const QString& line : info.split(u'\n')) {
        const qsizetype colon = line.indexOf(u':');
        if (colon > 0 && !fields.contains(line.left(colon))) fields.insert(line.left(colon), line.mid(colon + 1).trimmed());
    }
    return fields;
}

inline QString PdfInfoField(const QString& pdfPath, const QString& field) {
    return PdfInfoFields(pdfPath).value(field);
}

// Every page rendered at `dotsPerInch`, top to bottom.
inline std::vector<QImage> PdfPageImages(const QString& pdfPath, int dotsPerInch) {
    QTemporaryDir folder;
    if (!folder.isValid()) throw std::runtime_error("no temporary folder for the page images");
    RunPopplerTool(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QString::number(dotsPerInch),
                                                QStringLiteral("-png"), pdfPath, folder.filePath(QStringLiteral("page"))});
    QStringList names = QDir(folder.path()).entryList({QStringLiteral("page-*.png")}, QDir::Files);
    // pdftoppm pads the page numbers to one width, so their names sort in page order.
    names.sort();
    std::vector<QImage> pages;
    for (const QString& name : names) pages.push_back(QImage(folder.filePath(name)));
    return pages;
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
