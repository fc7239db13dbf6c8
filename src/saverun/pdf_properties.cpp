#include "pdf_properties.h"

#include "platform/failure.h"

// qpdf's own smart pointer is not used here; std::shared_ptr throughout.
#define POINTERHOLDER_TRANSITION 4
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFWriter.hh>
#include <qpdf/QUtil.hh>

#include <exception>

namespace quendrel {

namespace {

// A date as PDF writes it, "D:YYYYMMDDHHmmSS" and the time zone of the moment
// ("Z" or "+HH'mm'"), so a reader in another zone shows the same instant.
std::string PdfDate(const QDateTime& moment) {
    const QDateTime local = moment.isValid() ? moment : QDateTime::currentDateTime();
    const QDate date = local.date();
    const QTime time = local.time();
    // qpdf counts the offset in minutes west of UTC, as C's `timezone` does.
    const int minutesWest = -local.offsetFromUtc() / 60;
    return QUtil::qpdf_time_to_pdf_time(QUtil::QPDFTime(date.year(), date.month(), date.day(), time.hour(),
                                                        time.minute(), time.second(), minutesWest));
}

// Sets a text entry, or removes it when the text is empty so a value the
// producer left there (an empty title, another page's address) does not stay.
void SetText(QPDFObjectHandle& info, const char* key, const QString& text) {
    if (text.isEmpty()) {
        info.removeKey(key);
        return;
    }
    // PDFDocEncoding where it can hold the text, UTF-16BE with its byte order
    // mark otherwise.
    info.replaceKey(key, QPDFObjectHandle::newUnicodeString(text.toStdString()));
}

}  // namespace

QString ProducerName(const QString& engineVersion) {
    QString product = QStringLiteral("Quendrel ") + QStringLiteral(QUENDREL_VERSION);
    const QString engine = engineVersion.section(u'/', 1);
    if (!engine.isEmpty()) product += QStringLiteral(" (Chromium %1)").arg(engine);
    return product;
}

QByteArray WithPdfProperties(const QByteArray& pdf, const PdfProperties& properties) {
    try {
        QPDF document;
        document.setSuppressWarnings(true);
        document.processMemoryFile("printed page", pdf.constData(), static_cast<size_t>(pdf.size()));

        QPDFObjectHandle trailer = document.getTrailer();
        QPDFObjectHandle info = trailer.getKey("/Info");
        if (!info.isDictionary()) {
            info = document.makeIndirectObject(QPDFObjectHandle::newDictionary());
            trailer.replaceKey("/Info", info);
        }
        SetText(info, "/Title", properties.title);
        // The address twice: as the subject, which document viewers and desktop
        // search show, and under its own key for tools that look for the source.
        SetText(info, "/Subject", properties.address);
        SetText(info, "/Source", properties.address);
        if (!properties.producer.isEmpty()) SetText(info, "/Producer", properties.producer);
        const QPDFObjectHandle date = QPDFObjectHandle::newString(PdfDate(properties.saved));
        info.replaceKey("/CreationDate", date);
        info.replaceKey("/ModDate", date);

        QPDFWriter writer(document);
        writer.setOutputMemory();
        writer.write();
        const std::shared_ptr<Buffer> written = writer.getBufferSharedPointer();
        return QByteArray(reinterpret_cast<const char*>(written->getBuffer()),
                          static_cast<qsizetype>(written->getSize()));
    } catch (const std::exception& error) {
        throw Failure(QStringLiteral("The document properties could not be set: %1")
                          .arg(QString::fromLocal8Bit(error.what())));
    }
}

}  // namespace quendrel
