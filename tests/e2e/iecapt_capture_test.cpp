// The capture program against pages served on 127.0.0.1.
#include "support/iecapt_run.h"
#include "support/local_http_server.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace quendrel {
namespace {

using testing::HttpResponse;
using testing::LocalHttpServer;

using Outcome = testing::IecaptOutcome;
using testing::RunIecapt;

// Bands of colour, 100 px each, and a red foot that only a capture of the
// whole page contains.
QByteArray longPage(int bandCount = 50) {
    QByteArray bands;
    for (int i = 0; i < bandCount; ++i)
        bands += QByteArray("<div style=\"height:100px;background:hsl(") + QByteArray::number(i * 7) +
                 ",60%,80%)\">Band " + QByteArray::number(i) + "</div>";
    return "<!doctype html><html><head><title>Long</title></head><body style=\"margin:0\">" + bands +
           "<div id=\"foot\" style=\"height:200px;background:#ff0000\"></div></body></html>";
}

bool isRed(QRgb pixel) { return qRed(pixel) > 200 && qGreen(pixel) < 60 && qBlue(pixel) < 60; }

class IecaptCaptureTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(folder.isValid()); }
    QString out(const QString& name = QStringLiteral("capture.jpg")) const { return folder.filePath(name); }
    QStringList folderEntries() const {
        return QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    QTemporaryDir folder;
    LocalHttpServer server;
};

bool isGreen(QRgb pixel) { return qGreen(pixel) > 120 && qRed(pixel) < 60 && qBlue(pixel) < 60; }

QByteArray sourcePage(const char* name) {
    QFile page(qEnvironmentVariable("QUENDREL_SOURCE_DIR") + QStringLiteral("/tests/e2e/pages/") + name);
    return page.open(QIODevice::ReadOnly) ? page.readAll() : QByteArray();
}

TEST_F(IecaptCaptureTest, PagesAreCapturedWholeInBothDirections) {
    // What is seen where only a whole picture has it: the foot of a long
    // page, the marker against the right edge of a right-to-left page, also
    // one wider than the window.
    QByteArray wide = sourcePage("rtl.html");
    wide.replace("<div id=\"edge\"></div>", "<div id=\"edge\"></div><div style=\"width:1800px;height:40px\"></div>");
    const struct {
        const char* name;
        QByteArray page;
        QSize least;
        bool (*seen)(const QImage&);
    } pages[] = {
        {"long", longPage(), {1024, 5200},
         [](const QImage& i) { return isRed(i.pixel(i.width() / 2, i.height() - 100)); }},
        {"right to left", sourcePage("rtl.html"), {1024, 768},
         [](const QImage& i) { return isGreen(i.pixel(i.width() - 3, 100)) && isGreen(i.pixel(i.width() - 55, 100)); }},
        {"right to left, wider than the window", wide, {1800, 768},
         [](const QImage& i) { return isGreen(i.pixel(i.width() - 3, 100)) && isGreen(i.pixel(i.width() - 55, 100)); }},
    };
    for (const auto& row : pages) {
        SCOPED_TRACE(row.name);
        ASSERT_FALSE(row.page.isEmpty());
        server.serve("/page.html", HttpResponse::html(row.page));
        const Outcome outcome = RunIecapt({"--url=" + server.url("/page.html"), "--out=" + out()});
        ASSERT_EQ(outcome.exitCode, 0) << outcome.errors.toStdString();
        QImageReader reader(out());
        EXPECT_EQ(reader.format(), "jpeg");
        const QImage image = reader.read();
        ASSERT_FALSE(image.isNull());
        EXPECT_GE(image.width(), row.least.width());
        EXPECT_GE(image.height(), row.least.height());
        EXPECT_TRUE(row.seen(image)) << "a part of the page is missing from the capture";
        EXPECT_EQ(folderEntries(), QStringList{"capture.jpg"});
        QFile::remove(out());
    }
}

TEST_F(IecaptCaptureTest, PagesTallerThanOneViewAreCapturedWhole) {
    // Thirty screens and more, beyond what one view holds: grabbed in bands
    // and assembled; a header fixed to the screen and a bar that sticks to it
    // once scrolled are in the picture once.
    struct Tall {
        int bands;
        int minHeight;
    };
    for (const Tall tall : {Tall{260, 26000}, Tall{420, 42000}}) {
        SCOPED_TRACE(tall.bands);
        QByteArray page = longPage(tall.bands);
        page.replace("<body style=\"margin:0\">",
                     "<body style=\"margin:0;padding-top:60px\"><div style=\"position:fixed;top:0;left:0;"
                     "right:0;height:60px;background:#00ff00\"></div><div style=\"position:sticky;top:0;"
                     "height:40px;background:#0000ff\"></div>");
        server.serve("/tall.html", HttpResponse::html(page));
        const Outcome outcome = RunIecapt({"--url=" + server.url("/tall.html"), "--out=" + out()});
        ASSERT_EQ(outcome.exitCode, 0) << outcome.errors.toStdString();
        QImageReader reader(out());
        reader.setAllocationLimit(0);
        const QImage image = reader.read();
        ASSERT_FALSE(image.isNull());
        EXPECT_GE(image.height(), tall.minHeight);
        EXPECT_TRUE(isRed(image.pixel(image.width() / 2, image.height() - 100))) << "the foot is missing";
        int greenRows = 0, blueRows = 0;
        for (int y = 0; y < image.height(); y += 10) {
            const QRgb p = image.pixel(image.width() / 2, y);
            greenRows += qGreen(p) > 200 && qRed(p) < 60 && qBlue(p) < 60 ? 1 : 0;
            blueRows += qBlue(p) > 200 && qRed(p) < 60 && qGreen(p) < 60 ? 1 : 0;
        }
        EXPECT_EQ(greenRows, 6) << "the fixed header is not in the picture exactly once";
        EXPECT_NEAR(blueRows, 4, 1) << "the sticky bar is not in the picture exactly once";
    }
}

TEST_F(IecaptCaptureTest, ContentThatAppearsAfterTheLoadIsCaptured) {
    server.serve("/late.html",
                 HttpResponse::html("<body style=\"margin:0\"><div id=\"late\" style=\"height:300px\"></div>"
                                    "<script>setTimeout(function(){document.getElementById('late').style.background="
                                    "'#ff0000';}, 2000);</script></body>"));
    const Outcome outcome = RunIecapt({"--url=" + server.url("/late.html"), "--out=" + out()});
    ASSERT_EQ(outcome.exitCode, 0) << outcome.errors.toStdString();
    const QImage image(out());
    ASSERT_FALSE(image.isNull());
    EXPECT_TRUE(isRed(image.pixel(100, 150))) << "captured before the page's timer ran";
}

TEST_F(IecaptCaptureTest, APageThatNeverSettlesIsCapturedWithinItsTimeLimit) {
    // With a 30 s limit the load may take 5 s; a page whose script holds the
    // engine is loaded again without scripts.
    server.serve("/hang.gif", HttpResponse::neverAnswered());
    const std::pair<const char*, QByteArray> pages[] = {
        {"keeps changing", "<script>setInterval(function(){document.title=Date.now();},50);</script>"},
        {"keeps loading", "<img src=\"/hang.gif\" width=\"20\" height=\"20\">"},
        {"loops after the load", "<script>setTimeout(function(){for(;;){}},100);</script>"},
        {"loops while loading", "<script>for(;;){}</script>"},
    };
    for (const auto& [name, script] : pages) {
        SCOPED_TRACE(name);
        server.serve("/page.html", HttpResponse::html("<body style=\"margin:0\"><div style=\"height:200px;"
                                                      "background:#ff0000\">Static words</div>" + script +
                                                      "</body>"));
        QElapsedTimer clock;
        clock.start();
        const Outcome outcome = RunIecapt({"--url=" + server.url("/page.html"), "--out=" + out(), "--max-wait=30000"});
        EXPECT_EQ(outcome.exitCode, 0) << outcome.errors.toStdString();
        EXPECT_LT(clock.elapsed(), 30000);
        const QImage image(out());
        ASSERT_FALSE(image.isNull());
        EXPECT_TRUE(isRed(image.pixel(100, 100)));
        QFile::remove(out());
    }
}

TEST_F(IecaptCaptureTest, AnErrorStatusGivesNoImageWithOrWithoutAPage) {
    // The server's own page for an error is no page of the site.
    for (const QByteArray& body : {QByteArray("<h1>This page is gone</h1>"), QByteArray()}) {
        SCOPED_TRACE(body.toStdString());
        server.serve("/gone", HttpResponse::html(body, 404));
        const Outcome outcome = RunIecapt({"--url=" + server.url("/gone"), "--out=" + out()});
        EXPECT_EQ(outcome.exitCode, 1);
        EXPECT_TRUE(outcome.errors.contains("iecapt: cannot load")) << outcome.errors.toStdString();
        EXPECT_TRUE(outcome.errors.contains("the server answered 404 Not Found")) << outcome.errors.toStdString();
        EXPECT_TRUE(folderEntries().isEmpty());
    }
}

TEST_F(IecaptCaptureTest, UnreachableAddressGivesNoImage) {
    const QString address = QStringLiteral("http://127.0.0.1:%1/").arg(LocalHttpServer::closedPort());
    const Outcome outcome = RunIecapt({"--url=" + address, "--out=" + out()});
    EXPECT_NE(outcome.exitCode, 0);
    EXPECT_TRUE(outcome.errors.contains("iecapt: cannot load")) << outcome.errors.toStdString();
    EXPECT_TRUE(folderEntries().isEmpty());
}

TEST_F(IecaptCaptureTest, FailedCaptureLeavesAnEarlierFileAsItWas) {
    {
        QFile earlier(out());
        ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
        earlier.write("earlier capture");
    }
    const QString address = QStringLiteral("http://127.0.0.1:%1/").arg(LocalHttpServer::closedPort());
    EXPECT_NE(RunIecapt({"--url=" + address, "--out=" + out()}).exitCode, 0);
    QFile earlier(out());
    ASSERT_TRUE(earlier.open(QIODevice::ReadOnly));
    EXPECT_EQ(earlier.readAll(), "earlier capture");
    EXPECT_EQ(folderEntries(), QStringList{"capture.jpg"});
}

TEST_F(IecaptCaptureTest, OutputInAMissingFolderFailsWithoutLoading) {
    server.serve("/page.html", HttpResponse::html("<p>hello</p>"));
    const Outcome outcome =
        RunIecapt({"--url=" + server.url("/page.html"), "--out=" + folder.filePath("missing/capture.jpg")});
    EXPECT_NE(outcome.exitCode, 0);
    EXPECT_TRUE(outcome.errors.contains("does not exist")) << outcome.errors.toStdString();
    EXPECT_TRUE(folderEntries().isEmpty());
    EXPECT_TRUE(server.requests().isEmpty());
}

TEST_F(IecaptCaptureTest, TimeLimitEndsAPageThatNeverAnswers) {
    // The engine ends with the program, and its profile goes with it. The
    // limit leaves the engine, which takes a second or two to start on a busy
    // machine, time to ask for the page.
    server.serve("/hang", HttpResponse::neverAnswered());
    QTemporaryDir cache;
    ASSERT_TRUE(cache.isValid());
    QProcessEnvironment environment;
    environment.insert("XDG_CACHE_HOME", cache.path());
    const Outcome outcome =
        RunIecapt({"--url=" + server.url("/hang"), "--out=" + out(), "--max-wait=5000"}, environment);
    EXPECT_EQ(outcome.exitCode, 3) << outcome.errors.toStdString();
    EXPECT_TRUE(outcome.errors.contains("iecapt: time limit of 5000 ms reached, no image written"))
        << outcome.errors.toStdString();
    EXPECT_TRUE(folderEntries().isEmpty());
    EXPECT_EQ(server.requests().value(0), "/hang");
    EXPECT_EQ(QDir(cache.filePath("quendrel")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

TEST_F(IecaptCaptureTest, AnEngineThatIsMissingOrDoesNotStartIsNamedByItsPackage) {
    server.serve("/page.html", HttpResponse::html("<p>hello</p>"));
    for (const QString& engine : {folder.filePath("no-chromium"), QStringLiteral("/bin/false")}) {
        SCOPED_TRACE(engine.toStdString());
        QProcessEnvironment environment;
        environment.insert("QUENDREL_CHROMIUM", engine);
        const Outcome outcome = RunIecapt({"--url=" + server.url("/page.html"), "--out=" + out()}, environment);
        EXPECT_EQ(outcome.exitCode, 1) << outcome.errors.toStdString();
        const QStringList said = outcome.errors.split('\n', Qt::SkipEmptyParts).filter("iecapt: ");
        ASSERT_EQ(said.size(), 1) << outcome.errors.toStdString();
        EXPECT_TRUE(said[0].contains("\"chromium-headless-shell\"")) << said[0].toStdString();
        EXPECT_TRUE(folderEntries().isEmpty());
    }
}

}  // namespace
}  // namespace quendrel
