#pragma once
// How an address becomes the names of its files in the output folder. Written
// once for either separator: the program uses '/', and the rules read the same
// with '\'.
#include <QChar>
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

}  // namespace quendrel
