#pragma once
// How an address becomes the names of its files in the output folder. Written
// once for either separator: the program uses '/', and the rules read the same
// with '\'.
#include <QChar>
#include <QSet>
#include <QString>

namespace quendrel {

inline constexpr QChar kSeparator = QLatin1Char('/');

// The address cleaned into a file name, with the extension (".jpg" or ".htm").
QString CaptureName(const QString& address, const QString& extension);
// The folder text and a file name joined with one separator, then folded.
QString JoinPath(const QString& folder, const QString& name, QChar separator = kSeparator);
// Doubled separators folded to one; a path that begins with two or more keeps
// exactly two (a network path).
QString CollapseBackslashes(const QString& path, QChar separator = kSeparator);
// The file name of a capture or page-file path, its last extension replaced by ".pdf".
QString PdfNameFromPath(const QString& path, QChar separator = kSeparator);
// The text after the last backslash, or the whole text when it has none.
QString DisplayNameOf(const QString& text);

// The PDF files one run has written. A later entry of the run whose address
// cleans to the name of one of them gets a numbered name instead, as the PDF
// printer numbers names in ~/PDF ("name (2).pdf"), so that no PDF of the run
// replaces another. Files of earlier runs do not count: they are replaced.
class WrittenPdfs {
public:
    // The path unchanged when the PDF it leads to (PdfNameFromPath in the same
    // folder) is not written yet; otherwise the path with " (n)" after the
    // name, n the first number from 2 whose PDF is free. So an entry's
    // picture, page copy and PDF get the same number.
    QString Unused(const QString& path) const;
    void Add(const QString& pdfPath);
    void Clear() { written_.clear(); }

private:
    // One text for one file, however the folder was written.
    static QString Key(const QString& pdfPath);
    QSet<QString> written_;
};

}  // namespace quendrel
