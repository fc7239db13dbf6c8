// Whole runs through the main window with pages as people save them: content
// that arrives after the load, a thirty-screen page, a header fixed to the
// screen, a downloaded copy with relative addresses behind a redirect, and a
// page that never stops changing, after which the run goes on.
#include "app/main_window.h"
#include "sitelist/site_list_view.h"
#include "support/local_http_server.h"
#include "support/pdf_sheets.h"
#include "support/poppler_tools.h"
#include "support/whole_run_platform.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace quendrel {
namespace {

using testing::HttpResponse;
using testing::LocalHttpServer;
using testing::ShownBox;

QByteArray lines(int count, int lineHeight) {
    QByteArray html;
    for (int i = 1; i <= count; ++i)
        html += "<p style='margin:0;line-height:" + QByteArray::number(lineHeight) + "px'>Line " +
                QByteArray::number(i) + "</p>";
    return html;
}

class SaveRunSettleTest : public ::testing::Test, protected testing::WholeRunPlatform {
protected:
    void SetUp() override {
        ASSERT_TRUE(out.isValid());
        desktop.program = qEnvironmentVariable("QUENDREL_BUILD_DIR") + QStringLiteral("/bin");
        ASSERT_TRUE(cups.printerDeviceNames().contains(QStringLiteral("Marrowby PDF Writer")))
            << "cupsd must run with the PDF printer installed";
        server.serve("/late.html", HttpResponse::html("<p>Placeholder</p><script>setTimeout(function(){"
                                                      "document.body.insertAdjacentHTML('beforeend',"
                                                      "'<p>Arrived two seconds after the load</p>');},2000);"
                                                      "</script>"));
        // Thirty screens of the browser's 768 px window.
        server.serve("/tall.html", HttpResponse::html("<body style='margin:0'>" + lines(960, 24) +
                                                      "<p>Last line marker of the tall page</p></body>"));
        server.serve("/fixed.html", HttpResponse::html("<body style='margin:0;padding:90px 8px 8px'>"
                                                       "<header style='position:fixed;top:0;left:0;right:0;"
                                                       "height:80px;background:#ff0000'></header>" +
                                                       lines(200, 24) + "</body>"));
        server.serve("/start", HttpResponse::redirect("/site/dir/page.html?id=42"));
        server.serve("/site/dir/page.html",
                     HttpResponse::html("<link rel='stylesheet' href='style.css'><p class='s'>Copy</p><script>"
                                        "document.write('<p>Query '+location.search+' fragment '+location.hash+"
                                        "' colour '+getComputedStyle(document.querySelector('.s')).color+'</p>');"
                                        "</script>"));
        HttpResponse style = HttpResponse::text(".s{color:rgb(0,128,0)}");
        style.contentType = "text/css";
        server.serve("/site/dir/style.css", style);
        server.serve("/changing.html", HttpResponse::html("<p>Ticking page</p><p id='t'></p><script>"
                                                          "setInterval(function(){document.getElementById('t')"
                                                          ".textContent=Date.now();},50);</script>"));
        window = std::make_unique<MainWindow>(platform);
        window->Load();
        window->form().Text1->setText(out.path() + QLatin1Char('/'));
    }

    // Runs the entries with the method; gives the PDF text of each entry, in
    // the order of the entries.
    QStringList run(int method, const QStringList& paths) {
        Form1& form = window->form();
        form.ListView1->entries().clear();
        QDir(out.path()).removeRecursively();
        QDir().mkpath(out.path());
        dialogs.shown.clear();
        for (const QString& path : paths) form.ListView1->entries().append(server.url(path));
        QRadioButton* options[] = {form.Option1, form.Option2, form.Option3};
        QTest::mouseClick(options[method - 1], Qt::LeftButton);
        QTest::mouseClick(form.PushButton2, Qt::LeftButton);
        const auto boxes = dialogs.boxesOf(ShownBox::Message);
        EXPECT_EQ(boxes.empty() ? QString() : boxes.back().text, QStringLiteral("Done."));
        QStringList texts;
        for (const QString& path : paths) texts << testing::PdfText(pdfOf(path));
        return texts;
    }
    QString pdfOf(const QString& path) {
        const QString stem = QStringLiteral("127.0.0.1 %1_%2").arg(server.port()).arg(path.mid(1, 5));
        const QStringList found = QDir(out.path()).entryList({stem + QStringLiteral("*.pdf")}, QDir::Files);
        return found.size() == 1 ? out.filePath(found[0]) : out.filePath(QStringLiteral("missing.pdf"));
    }

    QTemporaryDir out;
    LocalHttpServer server;
    std::unique_ptr<MainWindow> window;
};

TEST_F(SaveRunSettleTest, BrowserMethodsPrintWhatAPersonSees) {
    const QStringList paths = {"/changing.html", "/late.html", "/tall.html", "/fixed.html", "/start?id=1#part-7"};
    for (int method = 2; method <= 3; ++method) {
        SCOPED_TRACE(method);
        const long long start = events.steadyMilliseconds();
        const QStringList texts = run(method, paths);
        // The ticking page took the settle limit, the others a few seconds.
        EXPECT_LT(events.steadyMilliseconds() - start, 40'000);
        EXPECT_TRUE(texts[0].contains(QStringLiteral("Ticking page"))) << texts[0].toStdString();
        EXPECT_TRUE(texts[1].contains(QStringLiteral("Arrived two seconds after the load"))) << texts[1].toStdString();
        EXPECT_TRUE(texts[2].contains(QStringLiteral("Last line marker of the tall page")));
        EXPECT_TRUE(texts[4].contains(QStringLiteral("Query ?id=42 fragment #part-7 colour rgb(0, 128, 0)")))
            << texts[4].toStdString();

        const QTemporaryDir sheetsFolder;
        const testing::PdfSheets sheets(pdfOf(paths[3]), sheetsFolder.path());
        auto red = [](QRgb p) { return qRed(p) > 200 && qGreen(p) < 80 && qBlue(p) < 80; };
        EXPECT_EQ(sheets.sheetsWith(red), QList<int>{1}) << "the fixed header is not printed once";
        EXPECT_TRUE(sheets.wordsCoveredBy(red).isEmpty()) << sheets.wordsCoveredBy(red).join(u' ').toStdString();
        EXPECT_EQ(sheets.wordCount(QStringLiteral("Line")), 200);
    }
}

}  // namespace
}  // namespace quendrel
