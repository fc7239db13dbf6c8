#include "file_naming.h"

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

}  // namespace quendrel
