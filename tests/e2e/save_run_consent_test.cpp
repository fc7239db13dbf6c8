// Whole runs through the main window over pages whose consent dialog is built
// like a consent platform's, inserted after the load (tests/e2e/pages/
// consent.html), and over pages whose fixed header, one-line cookie bar or
// newsletter modal print as they show. The sheets are judged as drawn: the
// article on the first sheet, the dialogs' magenta on none; every button
// pressed on a page tells the test server its choice.
#include "support/local_http_server.h"
#include "support/poppler_tools.h"
#include "support/whole_run_platform.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace quendrel {
namespace {

constexpr QRgb kArticle = qRgb(13, 148, 136), kEnd = qRgb(101, 163, 13), kDialog = qRgb(217, 70, 239);

struct Page {
    const char* name;
    bool refusable;  // the platform has a refusing control: the server hears "reject"
    QRgb seen;       // seen on some sheet: the article's end for a page that locked scrolling
    bool articleFirst = true;
};

const Page kPages[] = {
    {"onetrust", true, kArticle},        {"cookiebot", true, kArticle},   {"didomi", true, kEnd},
    {"quantcast", true, kArticle},       {"sourcepoint", false, kArticle}, {"usercentrics", true, kArticle},
    {"trustarc", true, kArticle},        {"fundingchoices", true, kArticle}, {"complianz", true, kArticle},
    {"cookieyes", true, kArticle},       {"osano", true, kArticle},       {"klaro", true, kArticle},
    {"ownwall", false, kEnd},            {"header", false, qRgb(249, 115, 22)}, {"bar", false, qRgb(37, 99, 235)},
    {"modal", false, qRgb(250, 204, 21), /*articleFirst=*/false},  // under the modal's own veil
};

bool patchOf(const QImage& sheet, QRgb colour) {
    int hits = 0;
    for (int y = 0; y < sheet.height(); ++y)
        for (int x = 0; x < sheet.width(); ++x) {
            const QRgb p = sheet.pixel(x, y);
            hits += std::abs(qRed(p) - qRed(colour)) + std::abs(qGreen(p) - qGreen(colour)) +
                            std::abs(qBlue(p) - qBlue(colour)) <= 60;
        }
    return hits >= 3000;
}

class SaveRunConsentTest : public ::testing::TestWithParam<int>, protected testing::WholeRunPlatform {
protected:
    void SetUp() override {
        QFile page(qEnvironmentVariable("QUENDREL_SOURCE_DIR") + QStringLiteral("/tests/e2e/pages/consent.html"));
        ASSERT_TRUE(page.open(QIODevice::ReadOnly)) << "QUENDREL_SOURCE_DIR must name the source folder";
        server.serve(QStringLiteral("/consent.html"), testing::HttpResponse::html(page.readAll()));
        ASSERT_TRUE(out.isValid());
    }
    // Prints the pages with the method; gives each one's sheets.
    std::vector<std::vector<QImage>> print(const std::vector<Page>& pages, int method) {
        const std::unique_ptr<MainWindow> window = openWindow(out.path());
        QStringList entries;
        for (const Page& page : pages) entries << server.url(QStringLiteral("/consent.html?") + page.name);
        EXPECT_EQ(runEntries(*window, entries, method), QStringLiteral("Done."));
        std::vector<std::vector<QImage>> sheets;
        for (const Page& page : pages)
            sheets.push_back(testing::PdfPageImages(
                out.filePath(QStringLiteral("127.0.0.1 %1_consent.html %2.pdf").arg(server.port()).arg(page.name)), 72));
        return sheets;
    }
    bool heard(const QString& choice) const { return server.requests().filter(choice).size() > 0; }

    testing::LocalHttpServer server;
    QTemporaryDir out;
};

TEST_P(SaveRunConsentTest, DialogsAreRefusedOrRemovedNeverAcceptedAndNothingElseIsTouched) {
    const std::vector<Page> pages(std::begin(kPages), std::end(kPages));
    const auto sheets = print(pages, GetParam());
    for (size_t i = 0; i < pages.size(); ++i) {
        const Page& page = pages[i];
        SCOPED_TRACE(page.name);
        ASSERT_FALSE(sheets[i].empty()) << "no PDF";
        EXPECT_TRUE(!page.articleFirst || patchOf(sheets[i].front(), kArticle)) << "the article is not on the first sheet";
        EXPECT_TRUE(std::any_of(sheets[i].begin(), sheets[i].end(), [&](const QImage& s) { return patchOf(s, page.seen); }));
        EXPECT_TRUE(std::none_of(sheets[i].begin(), sheets[i].end(), [](const QImage& s) { return patchOf(s, kDialog); }))
            << "the dialog is printed";
        EXPECT_EQ(heard(QStringLiteral("page=%1&value=reject").arg(page.name)), page.refusable);
    }
    EXPECT_FALSE(heard(QStringLiteral("value=accept"))) << server.requests().join(u'\n').toStdString();
}

INSTANTIATE_TEST_SUITE_P(Methods, SaveRunConsentTest, ::testing::Values(1, 2, 3),
                         [](const ::testing::TestParamInfo<int>& info) { return "Method" + std::to_string(info.param); });

TEST_F(SaveRunConsentTest, TheWindowsSettingKeepsTheDialogAsThePageShowsIt) {
    settings.values[QStringLiteral("KeepConsentDialogs")] = QStringLiteral("True");
    const auto sheets = print({{"ownwall", false, kDialog}}, 2);
    ASSERT_FALSE(sheets.front().empty());
    EXPECT_TRUE(patchOf(sheets.front().front(), kDialog));
}

}  // namespace
}  // namespace quendrel
