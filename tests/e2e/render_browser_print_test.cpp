// The browser print with the real engine: pages served on 127.0.0.1 are
// loaded, printed by the engine to PDF and handed to a print system double
// that keeps each submitted PDF, whose text is then read back.
#include "saverun/browser_print.h"

#include "platform/failure.h"
#include "engine/headless_browser.h"
#include "platform/qt_event_pump.h"
#include "saverun/file_helpers.h"
#include "saverun/page_download.h"
#include "support/local_http_server.h"
#include "support/pdf_keeping_print_system.h"
#include "support/pdf_sheets.h"
#include "support/poppler_tools.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
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
    engine::HeadlessBrowser engine{events};

    QString keptText(std::size_t job) { return testing::PdfText(printers.kept.at(job)); }
};

TEST_F(BrowserPrintTest, PrintsAServedPageAsTextAndStartsTheEngineOnlyOnFirstUse) {
    server.serve(QStringLiteral("/article.html"),
                 HttpResponse::html("<html><head><title>An Article</title></head><body>"
                                    "<h1>Marrowby quarterly</h1><p>Seventeen lighthouses were counted.</p>"
                                    "</body></html>"));
    BrowserPrint browser(engine, printers);
    EXPECT_FALSE(engine.isRunning());

    const int job = browser.LoadAndPrintPage(server.url(QStringLiteral("/article.html")));

    EXPECT_TRUE(engine.isRunning());
    ASSERT_EQ(printers.jobs.size(), 1u);
    EXPECT_EQ(printers.jobs[0].id, job);
    EXPECT_EQ(printers.jobs[0].title, QStringLiteral("An Article"));
    EXPECT_FALSE(QFileInfo::exists(printers.jobs[0].path)) << "the temporary PDF stays behind";
    const QString text = keptText(0);
    EXPECT_TRUE(text.contains(QStringLiteral("Marrowby quarterly"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Seventeen lighthouses were counted."))) << text.toStdString();
}

TEST_F(BrowserPrintTest, ThePageLaysItselfOutForADesktopWindow) {
    server.serve(QStringLiteral("/a.html"),
                 HttpResponse::html("<p id='o'></p><script>document.getElementById('o').textContent="
                                    "'Window '+innerWidth+' by '+innerHeight;</script>"));
    BrowserPrint browser(engine, printers);
    browser.LoadAndPrintPage(server.url(QStringLiteral("/a.html")));
    EXPECT_TRUE(keptText(0).contains(QStringLiteral("Window 1024 by 768"))) << keptText(0).toStdString();
}

TEST_F(BrowserPrintTest, EachPageOfARunIsItsOwnJob) {
    BrowserPrint browser(engine, printers);
    for (int i = 1; i <= 3; ++i) {
        const QString path = QStringLiteral("/page%1.html").arg(i);
        server.serve(path, HttpResponse::html(QStringLiteral("<p>Page number %1 of three</p>").arg(i).toUtf8()));
        browser.LoadAndPrintPage(server.url(path));
    }
    ASSERT_EQ(printers.kept.size(), 3u);
    for (int i = 1; i <= 3; ++i)
        EXPECT_TRUE(keptText(i - 1).contains(QStringLiteral("Page number %1 of three").arg(i)));
}

// Each page that does not load says why, in words a user understands, and
// prints nothing; the next page loads as usual.
TEST_F(BrowserPrintTest, LoadPageTellsWhetherThePageLoadedAndWhyNot) {
    server.serve(QStringLiteral("/fine.html"), HttpResponse::html("<p>fine</p>"));
    server.serve(QStringLiteral("/gone"), HttpResponse::html("<h1>This page is gone</h1>", 404));
    server.serve(QStringLiteral("/broken"), HttpResponse::html("<h1>Oops</h1>", 500));
    const struct {
        QString address;
        const char* reason;
    } failing[] = {
        {QStringLiteral("http://127.0.0.1:%1/").arg(LocalHttpServer::closedPort()), "the connection was refused"},
        {QStringLiteral("http://no-such-host.invalid/"), "the name was not found"},
        {server.url(QStringLiteral("/gone")), "the server answered 404 Not Found"},
        {server.url(QStringLiteral("/broken")), "the server answered 500 Internal Server Error"},
    };
    BrowserPrint browser(engine, printers);
    for (const auto& page : failing) {
        SCOPED_TRACE(page.address.toStdString());
        EXPECT_FALSE(browser.LoadPage(page.address));
        EXPECT_EQ(browser.failure(), QString::fromLatin1(page.reason));
        EXPECT_EQ(browser.LoadAndPrintPage(page.address), 0);
        EXPECT_TRUE(browser.LoadPage(server.url(QStringLiteral("/fine.html"))));
        EXPECT_TRUE(browser.failure().isEmpty());
    }
    EXPECT_TRUE(printers.jobs.empty());
}

TEST_F(BrowserPrintTest, APageThatNeverAnswersFailsAtTheLoadLimit) {
    server.serve(QStringLiteral("/hang"), HttpResponse::neverAnswered());
    BrowserPrint browser(engine, printers, 2);
    const long long start = events.steadyMilliseconds();
    EXPECT_EQ(browser.LoadAndPrintPage(server.url(QStringLiteral("/hang"))), 0);
    const long long took = events.steadyMilliseconds() - start;
    EXPECT_GE(took, 2000);
    EXPECT_LT(took, 20000);
    EXPECT_EQ(browser.failure(), QStringLiteral("the page did not answer within 2 s"));
    EXPECT_TRUE(printers.jobs.empty());
}

// An engine that is not installed, or does not start, is said in one clear
// message that names its package; nothing hangs.
TEST_F(BrowserPrintTest, AMissingOrBrokenEngineIsSaidClearly) {
    const QByteArray chosen = qgetenv("QUENDREL_CHROMIUM");
    const struct {
        const char* program;
        const char* says;
    } engines[] = {
        {"/nonexistent/chromium", "is not installed. Install the package \"chromium-headless-shell\""},
        {"/bin/false", "(package \"chromium-headless-shell\") did not start"},
    };
    for (const auto& broken : engines) {
        SCOPED_TRACE(broken.program);
        qputenv("QUENDREL_CHROMIUM", broken.program);
        engine::HeadlessBrowser missing(events);
        BrowserPrint browser(missing, printers);
        try {
            browser.LoadAndPrintPage(server.url(QStringLiteral("/a.html")));
            ADD_FAILURE() << "no failure";
        } catch (const engine::EngineUnavailable& failure) {
            EXPECT_TRUE(failure.description().contains(QString::fromLatin1(broken.says))) << failure.what();
        }
    }
    qputenv("QUENDREL_CHROMIUM", chosen);
    EXPECT_TRUE(printers.jobs.empty());
}

TEST_F(BrowserPrintTest, ARefusedJobIsAFailure) {
    server.serve(QStringLiteral("/a.html"), HttpResponse::html("<p>a</p>"));
    BrowserPrint browser(engine, printers);
    printers.failSubmit = true;
    EXPECT_THROW(browser.LoadAndPrintPage(server.url(QStringLiteral("/a.html"))), Failure);
}

// Pages whose content arrives after the load: each must be in the PDF with
// what a person would see once the page has settled.
struct LatePage {
    const char* name;
    QByteArray body;
    const char* expected;
};

QByteArray latePage(const QByteArray& script, const QByteArray& extra = {}) {
    return "<html><head><title>Late</title></head><body><p>Placeholder</p><div id='out'></div>" + extra +
           "<script>function add(t){var p=document.createElement('p');p.textContent=t;"
           "document.getElementById('out').appendChild(p);}" +
           script + "</script></body></html>";
}

TEST_F(BrowserPrintTest, ContentThatArrivesAfterTheLoadIsInThePdf) {
    HttpResponse data = HttpResponse::text("Fetched harbour figures");
    data.delayMs = 800;
    server.serve(QStringLiteral("/data.txt"), data);
    HttpResponse lazy = HttpResponse::text("GIF89a");
    lazy.contentType = "image/gif";
    server.serve(QStringLiteral("/lazy.gif"), lazy);
    const QByteArray farDown = "<div style='height:6000px'></div><div id='foot'>foot</div>"
                               "<img loading='lazy' src='/lazy.gif' width='10' height='10'>";
    const LatePage pages[] = {
        {"timer", latePage("setTimeout(function(){add('Inserted two seconds later');}, 2000);"),
         "Inserted two seconds later"},
        {"fetch", latePage("fetch('/data.txt').then(function(r){return r.text();}).then(add);"),
         "Fetched harbour figures"},
        {"xhr", latePage("var x=new XMLHttpRequest();x.open('GET','/data.txt');"
                         "x.onload=function(){add('XHR: '+x.responseText);};x.send();"),
         "XHR: Fetched harbour figures"},
        {"seen at the bottom",
         latePage("new IntersectionObserver(function(es){es.forEach(function(e){"
                  "if(e.isIntersecting)add('Seen at the bottom, '+document.visibilityState);});})"
                  ".observe(document.getElementById('foot'));",
                  farDown),
         "Seen at the bottom, visible"},
        {"seen at the bottom once it arrived",
         latePage("setTimeout(function(){document.getElementById('out').insertAdjacentHTML('afterend',"
                  "\"<div style='height:6000px'></div><div id='late'>late</div>\");"
                  "new IntersectionObserver(function(es){if(es[0].isIntersecting)add('Seen after it arrived');})"
                  ".observe(document.getElementById('late'));}, 1000);"),
         "Seen after it arrived"},
        {"animation frames",
         latePage("var n=0;function f(){if(++n<5)requestAnimationFrame(f);else add('Five frames drawn');}"
                  "requestAnimationFrame(f);"),
         "Five frames drawn"},
    };
    {
        BrowserPrint browser(engine, printers);
        for (const LatePage& page : pages) {
            SCOPED_TRACE(page.name);
            const QString path = QStringLiteral("/late-%1.html").arg(QString::fromLatin1(page.name).replace(' ', '-'));
            server.serve(path, HttpResponse::html(page.body));
            const std::size_t before = printers.kept.size();
            browser.LoadAndPrintPage(server.url(path));
            ASSERT_EQ(printers.kept.size(), before + 1);
            const QString text = keptText(before);
            EXPECT_TRUE(text.contains(QString::fromLatin1(page.expected))) << text.toStdString();
        }
    }
    EXPECT_TRUE(server.requests().contains(QStringLiteral("/lazy.gif"))) << "the lazy image far down never loaded";
}

// Pages that never settle: each still gives its PDF within the load and
// settle limits, and the next page prints as usual.
struct UnsettledPage {
    const char* name;
    QByteArray body;
};

TEST_F(BrowserPrintTest, APageThatNeverSettlesIsPrintedWithinTheLimits) {
    constexpr int kLoadLimitSeconds = 3;
    constexpr int kSettleLimitMs = 3000;
    server.serve(QStringLiteral("/hang.gif"), HttpResponse::neverAnswered());
    const UnsettledPage pages[] = {
        {"keeps changing", "<p>Static words</p><p id='t'></p><script>setInterval(function(){"
                           "document.getElementById('t').textContent=Date.now();},50);</script>"},
        {"keeps loading", "<p>Static words</p><img src='/hang.gif' width='20' height='20'>"},
        {"loops after the load", "<p>Static words</p><script>setTimeout(function(){for(;;){}},100);</script>"},
        {"loops while loading", "<p>Static words</p><script>for(;;){}</script><p>Never parsed</p>"},
    };
    BrowserPrint browser(engine, printers, kLoadLimitSeconds, kSettleLimitMs);
    server.serve(QStringLiteral("/next.html"),
                 HttpResponse::html("<script>document.write('<p>Next page with its script</p>');</script>"));
    for (const UnsettledPage& page : pages) {
        SCOPED_TRACE(page.name);
        const QString path = QStringLiteral("/%1.html").arg(QString::fromLatin1(page.name).replace(' ', '-'));
        server.serve(path, HttpResponse::html(page.body));
        const std::size_t before = printers.kept.size();
        const long long start = events.steadyMilliseconds();
        EXPECT_TRUE(browser.LoadPage(server.url(path)));
        browser.PrintLoadedPage(server.url(path));
        const long long took = events.steadyMilliseconds() - start;
        // Load and settle limits, and twice the wait for a page that does not answer.
        EXPECT_LT(took, kLoadLimitSeconds * 1000 + kSettleLimitMs + 2 * 2000 + 3000);
        ASSERT_EQ(printers.kept.size(), before + 1);
        EXPECT_TRUE(keptText(before).contains(QStringLiteral("Static words"))) << keptText(before).toStdString();

        browser.LoadAndPrintPage(server.url(QStringLiteral("/next.html")));
        EXPECT_TRUE(keptText(before + 1).contains(QStringLiteral("Next page with its script")));
    }
}

// A long page under a header fixed to the top of the screen (red) and a bar
// fixed to its bottom (blue): each prints once, and no word of the page lies
// under either on any sheet.
TEST_F(BrowserPrintTest, ElementsFixedToTheScreenPrintOnceAndHideNoLine) {
    QByteArray lines;
    for (int i = 1; i <= 300; ++i) lines += "<p style='margin:0;line-height:24px'>Line " + QByteArray::number(i) + "</p>";
    server.serve(QStringLiteral("/fixed.html"),
                 HttpResponse::html("<html><body style='margin:0;padding:90px 8px 8px'>"
                                    "<header style='position:fixed;top:0;left:0;right:0;height:80px;"
                                    "background:#ff0000'></header>" +
                                    lines +
                                    "<div style='position:fixed;bottom:0;left:0;right:0;height:50px;"
                                    "background:#0000ff'></div></body></html>"));
    BrowserPrint browser(engine, printers);
    browser.LoadAndPrintPage(server.url(QStringLiteral("/fixed.html")));
    ASSERT_EQ(printers.kept.size(), 1u);
    const testing::PdfSheets sheets(printers.kept[0], dir.path());
    ASSERT_GE(sheets.count(), 5);
    auto red = [](QRgb p) { return qRed(p) > 200 && qGreen(p) < 80 && qBlue(p) < 80; };
    auto blue = [](QRgb p) { return qBlue(p) > 200 && qRed(p) < 80 && qGreen(p) < 80; };
    EXPECT_EQ(sheets.sheetsWith(red), QList<int>{1});
    EXPECT_EQ(sheets.sheetsWith(blue).size(), 1);
    const QStringList hidden = sheets.wordsCoveredBy([&](QRgb p) { return red(p) || blue(p); });
    EXPECT_TRUE(hidden.isEmpty()) << hidden.join(u' ').toStdString();
    EXPECT_EQ(sheets.wordCount(QStringLiteral("Line")), 300);
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
        source = DownloadPageToFile(events, server.url(QStringLiteral("/reader.html")), pageFile);
        ASSERT_TRUE(QFileInfo::exists(pageFile));
    }
    DownloadedPage source;
};

TEST_F(DownloadedCopyTest, CannotReadLocalFilesButLoadsRemoteResources) {
    BrowserPrint browser(engine, printers);
    // As a copy of the live page, and as a plain file of the output folder.
    browser.LoadCopy(pageFile, source);
    browser.PrintLoadedPage(source.address.toString());
    browser.LoadAndPrintPage(pageFile);
    for (std::size_t job = 0; job < 2; ++job) {
        const QString text = keptText(job);
        EXPECT_TRUE(text.contains(QStringLiteral("Visible page text"))) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("Remote script ran"))) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("XHR blocked"))) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("fetch blocked"))) << text.toStdString();
        EXPECT_FALSE(text.contains(QStringLiteral("Private-Marker-4711"))) << text.toStdString();
        EXPECT_FALSE(text.contains(QStringLiteral("HOSTNAME["))) << text.toStdString();
    }
}

// A copy renders as the live page: behind a redirect, its relative style
// sheet, web font and image load from the page's own address, the query and
// fragment reach its script, and the charset named only in the server's
// header applies.
TEST_F(BrowserPrintTest, ADownloadedCopyRendersAsTheLivePage) {
    server.serve(QStringLiteral("/start"), HttpResponse::redirect("/site/dir/page.html?id=42"));
    server.serve(QStringLiteral("/site/dir/page.html"),
                 HttpResponse::html(
                     "<html><head><title>Copy</title><link rel='stylesheet' href='style.css'>"
                     "<style>@font-face{font-family:Harbour;src:url(fonts/harbour.ttf)}</style></head><body>"
                     "<p class='styled' style='font-family:Harbour'>Harbour font words</p>"
                     "<img src='pic.png' width='60' height='60'><div id='out'></div><script>"
                     "function add(t){var p=document.createElement('p');p.textContent=t;"
                     "document.getElementById('out').appendChild(p);}"
                     "add('Query '+location.search+' fragment '+location.hash);"
                     "add('Colour '+getComputedStyle(document.querySelector('.styled')).color);"
                     "document.fonts.load('16px Harbour').then(function(){"
                     "add(document.fonts.check('16px Harbour')?'Font ready':'Font missing');});"
                     "</script></body></html>"));
    HttpResponse style = HttpResponse::text(".styled{color:rgb(0,128,0)}");
    style.contentType = "text/css";
    server.serve(QStringLiteral("/site/dir/style.css"), style);
    QFile fontFile(QStringLiteral("/usr/share/fonts/truetype/liberation/LiberationSansNarrow-Italic.ttf"));
    ASSERT_TRUE(fontFile.open(QIODevice::ReadOnly));
    HttpResponse font = HttpResponse::text(fontFile.readAll());
    font.contentType = "font/ttf";
    server.serve(QStringLiteral("/site/dir/fonts/harbour.ttf"), font);
    QImage blue(60, 60, QImage::Format_RGB32);
    blue.fill(QColor(0, 0, 255));
    QBuffer png;
    png.open(QIODevice::WriteOnly);
    blue.save(&png, "PNG");
    HttpResponse picture = HttpResponse::text(png.data());
    picture.contentType = "image/png";
    server.serve(QStringLiteral("/site/dir/pic.png"), picture);
    HttpResponse koi = HttpResponse::html("<html><body><p>\xf0\xd2\xc9\xd7\xc5\xd4, harbour</p></body></html>");
    koi.contentType = "text/html; charset=koi8-r";
    server.serve(QStringLiteral("/koi.html"), koi);

    const QString pageFile = dir.filePath(QStringLiteral("copy.htm"));
    BrowserPrint browser(engine, printers);
    const QString address = server.url(QStringLiteral("/start?id=1#part-7"));
    const DownloadedPage source = DownloadPageToFile(events, address, pageFile);
    ASSERT_TRUE(browser.LoadCopy(pageFile, source));
    browser.PrintLoadedPage(address);
    const DownloadedPage koiSource = DownloadPageToFile(events, server.url(QStringLiteral("/koi.html")), pageFile);
    ASSERT_TRUE(browser.LoadCopy(pageFile, koiSource));
    browser.PrintLoadedPage(server.url(QStringLiteral("/koi.html")));

    // A large copy is the copy too, not the live page again; a page file
    // that is not there is a page that did not load.
    server.serve(QStringLiteral("/big.html"),
                 HttpResponse::html("<!--" + QByteArray(3 * 1024 * 1024, 'x') + "--><p>Big page words</p>"));
    const DownloadedPage bigSource = DownloadPageToFile(events, server.url(QStringLiteral("/big.html")), pageFile);
    ASSERT_TRUE(browser.LoadCopy(pageFile, bigSource));
    browser.PrintLoadedPage(server.url(QStringLiteral("/big.html")));
    EXPECT_EQ(server.requests().count(QStringLiteral("/big.html")), 1);
    EXPECT_FALSE(browser.LoadCopy(dir.filePath(QStringLiteral("none.htm")), bigSource));

    ASSERT_EQ(printers.kept.size(), 3u);
    EXPECT_TRUE(keptText(2).contains(QStringLiteral("Big page words")));
    const QString text = keptText(0);
    for (const char* expected : {"Harbour font words", "Query ?id=42 fragment #part-7", "Colour rgb(0, 128, 0)", "Font ready"})
        EXPECT_TRUE(text.contains(QString::fromLatin1(expected))) << expected << "\n" << text.toStdString();
    EXPECT_TRUE(testing::RunPopplerTool(QStringLiteral("pdffonts"), {printers.kept[0]}).contains(QStringLiteral("LiberationSansNarrow")))
        << "the web font is not in the PDF";
    const testing::PdfSheets sheets(printers.kept[0], dir.path());
    EXPECT_EQ(sheets.sheetsWith([](QRgb p) { return qBlue(p) > 200 && qRed(p) < 60 && qGreen(p) < 60; }), QList<int>{1})
        << "the image is not in the PDF";
    for (const char* path : {"/site/dir/style.css", "/site/dir/fonts/harbour.ttf", "/site/dir/pic.png"})
        EXPECT_TRUE(server.requests().contains(QString::fromLatin1(path))) << path;
    EXPECT_TRUE(keptText(1).contains(QStringLiteral("Привет, harbour"))) << keptText(1).toStdString();
}

TEST_F(DownloadedCopyTest, AReadOnlyPageFileIsStillDeletedAfterPrinting) {
    BrowserPrint browser(engine, printers);
    ASSERT_TRUE(QFile::setPermissions(pageFile, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
    browser.LoadAndPrintPage(pageFile);
    DeleteFileQuietly(events, pageFile);
    EXPECT_FALSE(QFileInfo::exists(pageFile));
    EXPECT_EQ(printers.jobs.size(), 1u);
}

}  // namespace
}  // namespace quendrel
