// Document properties as another PDF reader (poppler) sees them: title,
// address and save time survive the rewrite in any script and time zone, the
// page itself is untouched, and bytes that are no PDF are refused.
#include "saverun/pdf_properties.h"

#include "platform/failure.h"
#include "support/poppler_tools.h"
#include "support/qstring_printer.h"
#include "support/sample_pdf.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>
#include <gtest/gtest.h>

namespace quendrel {
namespace {

class PdfPropertiesTest : public ::testing::Test {
protected:
    // pdfinfo's view of the bytes, custom keys and dates in ISO form included.
    QMap<QString, QString> infoOf(const QByteArray& pdf) {
        const QString path = dir.filePath(QStringLiteral("printed-%1.pdf").arg(++written));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(pdf);
        file.close();
        lastPath = path;
        QMap<QString, QString> info = testing::PdfInfoFields(path);
        info.insert(testing::PdfInfoFields(path, {QStringLiteral("-custom"), QStringLiteral("-isodates")}));
        return info;
    }

    // The same instant, shown in the same time zone.
    static void ExpectShownAs(const QString& shown, const QDateTime& expected) {
        const QDateTime parsed = QDateTime::fromString(shown, Qt::ISODate);
        EXPECT_EQ(parsed, expected) << shown.toStdString();
        EXPECT_EQ(parsed.offsetFromUtc(), expected.offsetFromUtc()) << shown.toStdString();
    }

    QTemporaryDir dir;
    QString lastPath;
    int written = 0;
};

TEST_F(PdfPropertiesTest, TitleAddressAndSaveTimeReachTheReader) {
    const QDate day(2026, 12, 8);
    struct Case {
        const char* what;
        QString title;
        QString address;
        QDateTime saved;
    } cases[] = {
        {"plain", QStringLiteral("Harbour notice"), QStringLiteral("http://127.0.0.1:8080/notice.html"),
         QDateTime(day, QTime(11, 5, 9), QTimeZone::utc())},
        {"beyond Latin-1, east of UTC", QStringLiteral("Ärger über Straßen — 港の潮見表"),
         QStringLiteral("https://例え.jp/潮?q=ü"), QDateTime(day, QTime(23, 59, 58), QTimeZone(5 * 3600 + 1800))},
        {"PDF delimiters in the text, west of UTC", QStringLiteral("a\\b (c) ) %d"),
         QStringLiteral("http://127.0.0.1/find?q=tide&when=(dusk)#pier"),
         QDateTime(day, QTime(0, 0, 1), QTimeZone(-8 * 3600))},
    };
    const QByteArray page = testing::makePdf(QStringLiteral("Tide table for the north pier"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QMap<QString, QString> info = infoOf(WithPdfProperties(page, {c.title, c.address, c.saved}));
        EXPECT_EQ(info.value(QStringLiteral("Title")), c.title);
        EXPECT_EQ(info.value(QStringLiteral("Subject")), c.address);
        EXPECT_EQ(info.value(QStringLiteral("Source")), c.address);
        ExpectShownAs(info.value(QStringLiteral("CreationDate")), c.saved);
        ExpectShownAs(info.value(QStringLiteral("ModDate")), c.saved);
        EXPECT_EQ(info.value(QStringLiteral("Pages")), QStringLiteral("1"));
        EXPECT_TRUE(testing::PdfText(lastPath).contains(QStringLiteral("Tide table for the north pier")));
    }
}

TEST_F(PdfPropertiesTest, EmptyTextsRemoveWhatAnEarlierRewriteSet) {
    const QDateTime saved(QDate(2026, 1, 2), QTime(3, 4, 5), QTimeZone::utc());
    const QByteArray once = WithPdfProperties(testing::makePdf(QStringLiteral("x")),
                                              {QStringLiteral("Stale title"), QStringLiteral("http://old/"), saved});
    const QMap<QString, QString> info = infoOf(WithPdfProperties(once, {QString(), QString(), saved.addSecs(60)}));
    EXPECT_FALSE(info.contains(QStringLiteral("Title"))) << info.value(QStringLiteral("Title")).toStdString();
    EXPECT_FALSE(info.contains(QStringLiteral("Subject")));
    EXPECT_FALSE(info.contains(QStringLiteral("Source")));
    ExpectShownAs(info.value(QStringLiteral("CreationDate")), saved.addSecs(60));
}

TEST_F(PdfPropertiesTest, WithoutASaveTimeTheTimeOfTheRewriteIsUsed) {
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    const QMap<QString, QString> info = infoOf(WithPdfProperties(testing::makePdf(QStringLiteral("x")), {}));
    const QDateTime shown = QDateTime::fromString(info.value(QStringLiteral("CreationDate")), Qt::ISODate);
    ASSERT_TRUE(shown.isValid()) << info.value(QStringLiteral("CreationDate")).toStdString();
    EXPECT_GE(shown, before);
    EXPECT_LE(shown, QDateTime::currentDateTime().addSecs(1));
}

TEST_F(PdfPropertiesTest, BytesThatAreNoPdfAreAFailure) {
    const QByteArray notPdfs[] = {QByteArray(), QByteArray("<html><body>Not found</body></html>"),
                                  QByteArray("%PDF-1.4\n%garbage with no objects\n")};
    for (const QByteArray& bytes : notPdfs) {
        SCOPED_TRACE(bytes.left(40).toStdString());
        EXPECT_THROW(WithPdfProperties(bytes, {QStringLiteral("t"), QStringLiteral("a"), {}}), Failure);
    }
}

}  // namespace
}  // namespace quendrel
