#include "file_naming.h"

#include "pdfprinter/job_file_name.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace quendrel {

QString CaptureName(const QString& address, const QString& extension) {
    QString name = address;
    name.remove(QStringLiteral("http://"));
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    name += extension;
    for (QChar refused : QStringLiteral("\\*:?<>|"))
        name.replace(refused, QLatin1Char(' '));
    return name;
}

QString JoinPath(const QString& folder, const QString& name, QChar separator) {
    // A folder that already ends with the separator (every chosen folder, and a
    // root) gets no second one: a root joined as "//name" would read as a
    // network path.
    if (folder.endsWith(separator)) return CollapseBackslashes(folder + name, separator);
    return CollapseBackslashes(folder + separator + name, separator);
}

QString CollapseBackslashes(const QString& path, QChar separator) {
    const QString pair(2, separator);
    const QString single(1, separator);
    qsizetype lead = 0;
    while (lead < path.size() && path[lead] == separator) ++lead;
    if (lead == 0) return QString(path).replace(pair, single);
    // One leading separator is a rooted path and stays one; more make a
    // network path, which keeps exactly two.
    QString rest = path.mid(lead);
    rest.replace(pair, single);
    return (lead == 1 ? single : pair) + rest;
}

QString PdfNameFromPath(const QString& path, QChar separator) {
    const QString fileName = path.section(separator, -1);
    QStringList pieces = fileName.split(QLatin1Char('.'));
    pieces.removeLast();
    return pieces.join(QLatin1Char('.')) + QStringLiteral(".pdf");
}

QString DisplayNameOf(const QString& text) {
    return text.section(QLatin1Char('\\'), -1);
}

QString WrittenPdfs::Unused(const QString& path) const {
    const qsizetype nameStart = path.lastIndexOf(kSeparator) + 1;
    const QString folder = path.left(nameStart);  // with its separator
    const QString name = path.mid(nameStart);
    const QString pdfName = PdfNameFromPath(name);
    if (!written_.contains(Key(folder + pdfName))) return path;
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString extension = dot < 0 ? QString() : name.mid(dot);
    const QString stem = pdfName.chopped(4);  // without ".pdf"
    for (int attempt = 2;; ++attempt) {
        // The printer's own numbering, given a bare ".pdf": " (n).pdf".
        const QString number = QString::fromStdString(marrowby::numberedFileName(".pdf", attempt)).chopped(4);
        if (!written_.contains(Key(folder + stem + number + QStringLiteral(".pdf"))))
            return folder + stem + number + extension;
    }
}

void WrittenPdfs::Add(const QString& pdfPath) { written_.insert(Key(pdfPath)); }

QString WrittenPdfs::Key(const QString& pdfPath) {
    const QFileInfo file(pdfPath);
    // The folder exists while a run writes into it; a link to it, "." or a
    // doubled separator name the same folder.
    QString folder = QFileInfo(file.absolutePath()).canonicalFilePath();
    if (folder.isEmpty()) folder = file.absolutePath();
    return QDir::cleanPath(folder + QLatin1Char('/') + file.fileName());
}

}  // namespace quendrel
