// The browser print with the real engine: pages served on 127.0.0.1 are
// loaded, printed by the engine to PDF and handed to a print system double
// that keeps each submitted PDF, whose text is then read back.
#include "saverun/browser_print.h"

#include "app/form1.h"
#include "platform/failure.h"
#include "platform/qt_event_pump.h"
#include "saverun/file_helpers.h"
#include "saverun/page_download.h"
#include "support/local_http_server.h"
#include "support/pdf_keeping_print_system.h"
#include "support/poppler_tools.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <QWidget>
#include <gtest/gtest.h>

namespace quendrel {
namespace {

using testing::HttpResponse;
using testing::LocalHttpServer;
using testing::PdfKeepingPrintSystem;

class BrowserPrintTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    LocalHttpServer server;
    platform::QtEventPump events;
    PdfKeepingPrintSystem printers{dir.path()};
    QWidget host;

    QString keptText(std::size_t job) { return testing::PdfText(printers.kept.at(job)); }
};

TEST_F(BrowserPrintTest, PrintsAServedPageAsTextAndMakesTheViewOnlyOnFirstUse) {
    server.serve(QStringLiteral("/article.html"),
                 HttpResponse::html("<html><head><title>An Article</title></head><body>"
                                    "<h1>Marrowby quarterly</h1><p>Seventeen lighthouses were counted.</p>"
                                    "</body></html>"));
    BrowserPrint browser(&host, events, printers);
    EXPECT_EQ(host.findChild<QWebEngineView*>(), nullptr);

    const int job = browser.LoadAndPrintPage(server.url(QStringLiteral("/article.html")));

    EXPECT_NE(host.findChild<QWebEngineView*>(), nullptr);
    ASSERT_EQ(printers.jobs.size(), 1u);
    EXPECT_EQ(printers.jobs[0].id, job);
    EXPECT_EQ(printers.jobs[0].title, QStringLiteral("An Article"));
    EXPECT_FALSE(QFileInfo::exists(printers.jobs[0].path)) << "the temporary PDF stays behind";
    const QString text = keptText(0);
    EXPECT_TRUE(text.contains(QStringLiteral("Marrowby quarterly"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Seventeen lighthouses were counted."))) << text.toStdString();
    EXPECT_EQ(browser.page()->url(), QUrl(server.url(QStringLiteral("/article.html"))))
        << "the view keeps showing the last page";
}

TEST_F(BrowserPrintTest, TheViewLivesInsideTheMainWindowsBrowserHost) {
    server.serve(QStringLiteral("/a.html"), HttpResponse::html("<p>Inside the main window</p>"));
    Form1 form;
    form.show();
    BrowserPrint browser(form.WebBrowser1, events, printers);
    browser.LoadAndPrintPage(server.url(QStringLiteral("/a.html")));
    auto* view = form.WebBrowser1->findChild<QWebEngineView*>();
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(view->isVisible());
    EXPECT_EQ(view->size(), form.WebBrowser1->size());
    EXPECT_TRUE(keptText(0).contains(QStringLiteral("Inside the main window")));
}

TEST_F(BrowserPrintTest, EachPageOfARunIsItsOwnJob) {
    BrowserPrint browser(&host, events, printers);
    for (int i = 1; i <= 3; ++i) {
        const QString path = QStringLiteral("/page%1.html").arg(i);
        server.serve(path, HttpResponse::html(QStringLiteral("<p>Page number %1 of three</p>").arg(i).toUtf8()));
        browser.LoadAndPrintPage(server.url(path));
    }
    ASSERT_EQ(printers.kept.size(), 3u);
    for (int i = 1; i <= 3; ++i)
        EXPECT_TRUE(keptText(i - 1).contains(QStringLiteral("Page number %1 of three").arg(i)));
}

TEST_F(BrowserPrintTest, AnAddressThatCannotBeLoadedPrintsTheEnginesErrorPage) {
    BrowserPrint browser(&host, events, printers);
    browser.LoadAndPrintPage(QStringLiteral("http://127.0.0.1:%1/").arg(LocalHttpServer::closedPort()));
    ASSERT_EQ(printers.kept.size(), 1u);
    EXPECT_TRUE(keptText(0).contains(QStringLiteral("ERR_CONNECTION_REFUSED"))) << keptText(0).toStdString();
}

TEST_F(BrowserPrintTest, LoadPageTellsWhetherThePageLoaded) {
    server.serve(QStringLiteral("/fine.html"), HttpResponse::html("<p>fine</p>"));
    BrowserPrint browser(&host, events, printers);
    EXPECT_TRUE(browser.LoadPage(server.url(QStringLiteral("/fine.html"))));
    EXPECT_FALSE(browser.LoadPage(QStringLiteral("http://127.0.0.1:%1/").arg(LocalHttpServer::closedPort())));
    EXPECT_TRUE(browser.LoadPage(server.url(QStringLiteral("/fine.html"))));
    EXPECT_TRUE(printers.jobs.empty());
}

TEST_F(BrowserPrintTest, APageThatNeverFinishesLoadingIsPrintedAfterTheLoadLimit) {
    server.serve(QStringLiteral("/hang"), HttpResponse::neverAnswered());
    BrowserPrint browser(&host, events, printers, 2);
    const long long start = events.steadyMilliseconds();
    browser.LoadAndPrintPage(server.url(QStringLiteral("/hang")));
    const long long took = events.steadyMilliseconds() - start;
    EXPECT_GE(took, 2000);
    EXPECT_LT(took, 20000);
    EXPECT_EQ(printers.jobs.size(), 1u);
}

TEST_F(BrowserPrintTest, ARefusedJobIsAFailure) {
    server.serve(QStringLiteral("/a.html"), HttpResponse::html("<p>a</p>"));
    BrowserPrint browser(nullptr, events, printers);
    printers.failSubmit = true;
    EXPECT_THROW(browser.LoadAndPrintPage(server.url(QStringLiteral("/a.html"))), Failure);
}

// A downloaded copy printed from the output folder tries to read local files
// through file addresses in three ways, and a script from its server adds a line.
class DownloadedCopyTest : public BrowserPrintTest {
protected:
    QString secretFile = dir.filePath(QStringLiteral("secret.txt"));
    QString pageFile = dir.filePath(QStringLiteral("127.0.0.1.htm"));

    void SetUp() override {
        QFile secret(secretFile);
        ASSERT_TRUE(secret.open(QIODevice::WriteOnly));
        secret.write("Private-Marker-4711");
        secret.close();
        const QString secretUrl = QUrl::fromLocalFile(secretFile).toString();
        const QString page =
            QStringLiteral(
                "<html><head><title>Reader</title></head><body><p>Visible page text</p>"
                "<iframe src='%1' width='600' height='60'></iframe><div id='out'></div>"
                "<script>function add(t){var p=document.createElement('p');p.textContent=t;"
                "document.getElementById('out').appendChild(p);}"
                "try{var x=new XMLHttpRequest();x.open('GET','%1',false);x.send();add('XHR['+x.responseText+']');}"
                "catch(e){add('XHR blocked');}"
                "fetch('file:///etc/hostname').then(function(r){return r.text();})"
                ".then(function(t){add('HOSTNAME['+t.trim()+']');},function(){add('fetch blocked');});"
                "</script><script src='%2'></script><img src='%3' width='1' height='1'></body></html>")
                .arg(secretUrl, server.url(QStringLiteral("/remote.js")), server.url(QStringLiteral("/slow.gif")));
        server.serve(QStringLiteral("/reader.html"), HttpResponse::html(page.toUtf8()));
        HttpResponse script = HttpResponse::text("add('Remote script ran');");
        script.contentType = "text/javascript";
        server.serve(QStringLiteral("/remote.js"), script);
        // Keeps the page loading until the script's fetch has settled.
        HttpResponse slow = HttpResponse::text("GIF89a");
        slow.contentType = "image/gif";
        slow.delayMs = 1500;
        server.serve(QStringLiteral("/slow.gif"), slow);
        DownloadPageToFile(events, server.url(QStringLiteral("/reader.html")), pageFile);
        ASSERT_TRUE(QFileInfo::exists(pageFile));
    }
};

TEST_F(DownloadedCopyTest, CannotReadLocalFilesButLoadsRemoteResources) {
    BrowserPrint browser(&host, events, printers);
    browser.LoadAndPrintPage(pageFile);
    const QString text = keptText(0);
    EXPECT_TRUE(text.contains(QStringLiteral("Visible page text"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Remote script ran"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("XHR blocked"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("fetch blocked"))) << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("Private-Marker-4711"))) << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("HOSTNAME["))) << text.toStdString();
}

TEST_F(DownloadedCopyTest, TheSamePageWithFileAccessAllowedWouldShowTheFiles) {
    // Shows that the test above can see a leak: with file access allowed
    // the marker reaches the PDF.
    BrowserPrint browser(&host, events, printers);
    server.serve(QStringLiteral("/warm.html"), HttpResponse::html("<p>warm</p>"));
    browser.LoadAndPrintPage(server.url(QStringLiteral("/warm.html")));
    browser.page()->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
    browser.LoadAndPrintPage(pageFile);
    const QString text = keptText(1);
    EXPECT_TRUE(text.contains(QStringLiteral("Private-Marker-4711"))) << text.toStdString();
}

TEST_F(DownloadedCopyTest, AReadOnlyPageFileIsStillDeletedAfterPrinting) {
    BrowserPrint browser(&host, events, printers);
    ASSERT_TRUE(QFile::setPermissions(pageFile, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
    browser.LoadAndPrintPage(pageFile);
    DeleteFileQuietly(events, pageFile);
    EXPECT_FALSE(QFileInfo::exists(pageFile));
    EXPECT_EQ(printers.jobs.size(), 1u);
}

}  // namespace
}  // namespace quendrel
