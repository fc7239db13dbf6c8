// Whole runs through the main window over a distant site: every page answers
// after 1.5 s, so later pages load, download or are captured while earlier
// ones print. Each entry still gets its own PDF under its own name, with its
// own page in it, and nothing prepared ahead is left in the output folder.
#include "support/local_http_server.h"
#include "support/pdf_sheets.h"
#include "support/poppler_tools.h"
#include "support/whole_run_platform.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace quendrel {
namespace {

using testing::HttpResponse;
using testing::LocalHttpServer;

constexpr int kPages = 10;
constexpr int kLatencyMs = 1500;

// One strong colour per page, far enough apart to tell them apart in a JPEG.
QColor colourOf(int page) { return QColor::fromHsv(page * 36, 255, 230); }

bool near(QRgb pixel, const QColor& colour) {
    return std::abs(qRed(pixel) - colour.red()) < 40 && std::abs(qGreen(pixel) - colour.green()) < 40 &&
           std::abs(qBlue(pixel) - colour.blue()) < 40;
}

class SaveRunAheadTest : public ::testing::Test, protected testing::WholeRunPlatform {
protected:
    void SetUp() override {
        ASSERT_TRUE(out.isValid());
        for (int page = 0; page < kPages; ++page) {
            HttpResponse answer = HttpResponse::html(
                "<body style='margin:0;background:" + colourOf(page).name().toLatin1() +
                "'><h1>Distant page number " + QByteArray::number(page) + "</h1><div style='height:400px'></div></body>");
            answer.delayMs = kLatencyMs;
            server.serve(QStringLiteral("/page%1.html").arg(page), answer);
        }
        window = openWindow(out.path());
    }

    void run(int method) {
        QDir(out.path()).removeRecursively();
        QDir().mkpath(out.path());
        QStringList entries;
        for (int page = 0; page < kPages; ++page) entries << server.url(QStringLiteral("/page%1.html").arg(page));
        EXPECT_EQ(runEntries(*window, entries, method), QStringLiteral("Done."));
    }
    QString pdfOf(int page) const {
        return out.filePath(QStringLiteral("127.0.0.1 %1_page%2.html.pdf").arg(server.port()).arg(page));
    }

    QTemporaryDir out;
    LocalHttpServer server;
    std::unique_ptr<MainWindow> window;
};

TEST_F(SaveRunAheadTest, EveryMethodGivesEachEntryItsOwnPageUnderItsOwnName) {
    for (int method = 1; method <= 3; ++method) {
        SCOPED_TRACE(method);
        const long long start = events.steadyMilliseconds();
        run(method);
        std::printf("method %d: %.2f s per page\n", method, (events.steadyMilliseconds() - start) / 1000.0 / kPages);
        QStringList expected;
        for (int page = 0; page < kPages; ++page) expected << QFileInfo(pdfOf(page)).fileName();
        expected.sort();
        EXPECT_EQ(QDir(out.path()).entryList(QDir::Files, QDir::Name), expected)
            << "one PDF per entry, nothing prepared ahead left behind";
        for (int page = 0; page < kPages; ++page) {
            SCOPED_TRACE(page);
            if (method == 1) {
                const QTemporaryDir sheetsFolder;
                const testing::PdfSheets sheets(pdfOf(page), sheetsFolder.path());
                const QColor own = colourOf(page);
                EXPECT_EQ(sheets.sheetsWith([&](QRgb p) { return near(p, own); }), QList<int>{1});
                const QColor next = colourOf((page + 1) % kPages);
                EXPECT_TRUE(sheets.sheetsWith([&](QRgb p) { return near(p, next); }).isEmpty());
            } else {
                const QString text = testing::PdfText(pdfOf(page));
                EXPECT_TRUE(text.contains(QStringLiteral("Distant page number %1").arg(page))) << text.toStdString();
                EXPECT_EQ(text.count(QStringLiteral("Distant page number")), 1) << text.toStdString();
            }
        }
    }
}

}  // namespace
}  // namespace quendrel
