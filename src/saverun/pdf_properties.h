#pragma once
// The document properties every PDF of a run carries, so that a folder of
// saved pages can be searched by title and by source.
#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace quendrel {

struct PdfProperties {
    QString title;    // the page's title
    QString address;  // the address the page was saved from
    QDateTime saved;  // when it was saved; invalid: now
    QString producer = {};  // what made the PDF; empty leaves the producer's own
};

// The producer a PDF of a run names: this program with its version, and the
// engine that rendered the page as it names itself ("Chrome/156.0.1.2"):
// "Quendrel 1.0.0 (Chromium 156.0.1.2)".
QString ProducerName(const QString& engineVersion);

// The same PDF with its document properties set: Title, the address as Subject
// and under Source, CreationDate and ModDate with their time zone, and the
// Producer when one is given. An empty
// title or address removes the entry. Throws Failure when the bytes are not a
// PDF that can be rewritten.
QByteArray WithPdfProperties(const QByteArray& pdf, const PdfProperties& properties);

}  // namespace quendrel
