// Fetching a page into its file: the bytes as sent, whatever their encoding;
// nothing for an empty answer; a failure when no server answered or the page
// is beyond the limit, with memory flat however much arrives.
#include "saverun/page_download.h"

#include "platform/failure.h"
#include "platform/qt_event_pump.h"
#include "support/local_http_server.h"
#include "support/peak_memory.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace quendrel {
namespace {

using testing::HttpResponse;
using testing::LocalHttpServer;

// A page that streams far beyond the limit, as fast as the machine moves it.
// The server ends it at last only so that a client that keeps all of it
// cannot take the machine's memory; for one that stops at the limit it has
// no end.
constexpr qint64 kWithoutEnd = 256LL << 20;
// How far the peak memory of a fetch may rise: what is in flight, never the
// page itself.
constexpr long long kFlatKb = 24 * 1024;
#ifdef __SANITIZE_ADDRESS__
// The address sanitizer holds freed memory back for a while, so the peak
// tells of the sanitizer, not of the fetch.
constexpr bool kPeakTellsOfTheFetch = false;
#else
constexpr bool kPeakTellsOfTheFetch = true;
#endif

class PageDownloadTest : public ::testing::Test {
protected:
    PageDownloadTest() {
        // Where the fetches keep what is on its way, to see that it goes.
        qputenv("TMPDIR", privateTemp.path().toLocal8Bit());
    }
    ~PageDownloadTest() override {
        if (hadTemp_)
            qputenv("TMPDIR", previousTemp_);
        else
            qunsetenv("TMPDIR");
    }

    const bool hadTemp_ = qEnvironmentVariableIsSet("TMPDIR");
    const QByteArray previousTemp_ = qgetenv("TMPDIR");
    QTemporaryDir privateTemp;
    LocalHttpServer server;
    platform::QtEventPump events;
    QTemporaryDir dir;
    QString pageFile = dir.filePath(QStringLiteral("page.htm"));

    QByteArray pageFileBytes() {
        QFile file(pageFile);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<no file>");
    }
};

TEST_F(PageDownloadTest, KeepsTheBytesExactlyAsSentInAnyEncoding) {
    const QByteArray pages[] = {
        QByteArray("<html><head><meta charset=\"iso-8859-1\"></head><body>Caf\xe9 na\xefve \xa3 5</body></html>"),
        QByteArray("<html><meta charset=\"utf-8\"><body>\xef\xbb\xbf\xe6\x97\xa5\xe6\x9c\xac \xe2\x82\xac</body></html>"),
        QByteArray("\xff\xfe<\0h\0t\0m\0l\0>\0\r\0\n\0", 16),
    };
    for (const QByteArray& page : pages) {
        HttpResponse response = HttpResponse::html(page);
        response.contentType = "text/html";
        server.serve(QStringLiteral("/page.html"), response);
        DownloadPageToFile(events, server.url(QStringLiteral("/page.html")), pageFile);
        EXPECT_EQ(pageFileBytes(), page);
    }
}

TEST_F(PageDownloadTest, TellsTheAddressAfterRedirectsWithQueryAndFragmentAndTheContentType) {
    server.serve(QStringLiteral("/start"), HttpResponse::redirect("/site/dir/page.html?id=42"));
    server.serve(QStringLiteral("/elsewhere"), HttpResponse::redirect("/site/dir/page.html#own"));
    HttpResponse page = HttpResponse::html("<p>here</p>");
    page.contentType = "text/html; charset=koi8-r";
    server.serve(QStringLiteral("/site/dir/page.html"), page);
    struct Case {
        const char* asked;
        const char* landed;
    };
    const Case cases[] = {
        {"/site/dir/page.html?q=a%20b#part-7", "/site/dir/page.html?q=a%20b#part-7"},
        {"/start?ignored=1#part-7", "/site/dir/page.html?id=42#part-7"},
        {"/elsewhere#asked", "/site/dir/page.html#own"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.asked);
        const DownloadedPage source = DownloadPageToFile(events, server.url(QString::fromLatin1(c.asked)), pageFile);
        EXPECT_EQ(source.address, QUrl(server.url(QString::fromLatin1(c.landed))));
        EXPECT_EQ(source.contentType, QByteArray("text/html; charset=koi8-r"));
    }
}

TEST(ContentTypeOfCopy, KeepsTheTypeAndAPlainCharsetOnly) {
    const std::pair<const char*, const char*> cases[] = {
        {"text/html; charset=koi8-r", "text/html;charset=koi8-r"},
        {"Text/HTML;Charset=\"Windows-1251\"", "text/html;charset=Windows-1251"},
        {"text/html; boundary=x; charset=utf-8", "text/html;charset=utf-8"},
        {"text/plain", "text/plain"},
        {"image/svg+xml", "image/svg+xml"},
        {"", "text/html"},
        {"html", "text/html"},
        {"text/html,evil", "text/html"},
        {"text/html; charset=utf-8,<script>", "text/html"},
        {"text/html; charset=", "text/html"},
    };
    for (const auto& [header, type] : cases)
        EXPECT_EQ(ContentTypeOfCopy(header), QString::fromLatin1(type)) << header;
}

TEST_F(PageDownloadTest, AnEmptyBodyWritesNoFile) {
    server.serve(QStringLiteral("/empty"), HttpResponse::html(QByteArray()));
    DownloadPageToFile(events, server.url(QStringLiteral("/empty")), pageFile);
    EXPECT_FALSE(QFileInfo::exists(pageFile));
}

TEST_F(PageDownloadTest, FollowsRedirectsAndRefusesTheServersErrorPages) {
    server.serve(QStringLiteral("/old"), HttpResponse::redirect("/new"));
    server.serve(QStringLiteral("/new"), HttpResponse::html("<p>moved here</p>"));
    DownloadPageToFile(events, server.url(QStringLiteral("/old")), pageFile);
    EXPECT_EQ(pageFileBytes(), QByteArray("<p>moved here</p>"));

    QFile::remove(pageFile);
    server.serve(QStringLiteral("/gone"), HttpResponse::html("<p>no such page</p>", 404));
    try {
        DownloadPageToFile(events, server.url(QStringLiteral("/gone")), pageFile);
        ADD_FAILURE() << "an error page was kept";
    } catch (const DownloadFailure& failure) {
        EXPECT_EQ(failure.reason(), QStringLiteral("the server answered 404 Not Found"));
    }
    EXPECT_FALSE(QFileInfo::exists(pageFile));
}

TEST_F(PageDownloadTest, AnAddressWithoutSchemeIsFetchedOverHttp) {
    server.serve(QStringLiteral("/bare"), HttpResponse::html("bare host"));
    DownloadPageToFile(events, QStringLiteral("127.0.0.1:%1/bare").arg(server.port()), pageFile);
    EXPECT_EQ(pageFileBytes(), QByteArray("bare host"));
}

TEST_F(PageDownloadTest, NoAnswerIsAFailureAndWritesNothing) {
    const QString refused = QStringLiteral("http://127.0.0.1:%1/").arg(LocalHttpServer::closedPort());
    EXPECT_THROW(DownloadPageToFile(events, refused, pageFile), Failure);
    EXPECT_THROW(DownloadPageToFile(events, QStringLiteral("nosuchscheme:x"), pageFile), Failure);
    EXPECT_FALSE(QFileInfo::exists(pageFile));
}

TEST_F(PageDownloadTest, AFolderThatIsMissingIsAFailure) {
    server.serve(QStringLiteral("/page.html"), HttpResponse::html("<p>x</p>"));
    EXPECT_THROW(DownloadPageToFile(events, server.url(QStringLiteral("/page.html")),
                                    dir.filePath(QStringLiteral("missing/page.htm"))),
                 Failure);
}

TEST_F(PageDownloadTest, APageBeyondTheLimitFailsWithItsReasonAndLeavesNoFile) {
    struct Case {
        qint64 bytes;
        bool lengthAnnounced;
        bool kept;
    };
    const Case cases[] = {
        {kPageDownloadLimitBytes, false, true},
        {kPageDownloadLimitBytes, true, true},
        {kPageDownloadLimitBytes + 1, false, false},
        {kPageDownloadLimitBytes + 1, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.bytes << (c.lengthAnnounced ? " bytes, announced" : " bytes, till the close"));
        QFile::remove(pageFile);
        server.serve(QStringLiteral("/large.html"), HttpResponse::streamed(c.bytes, c.lengthAnnounced));
        const QString address = server.url(QStringLiteral("/large.html"));
        if (c.kept) {
            DownloadPageToFile(events, address, pageFile);
            EXPECT_EQ(QFileInfo(pageFile).size(), c.bytes);
            EXPECT_TRUE(pageFileBytes().startsWith("<p>More of a very long page.</p>\n<p>More"));
        } else {
            try {
                DownloadPageToFile(events, address, pageFile);
                ADD_FAILURE() << "a page beyond the limit was kept";
            } catch (const DownloadFailure& failure) {
                EXPECT_EQ(failure.reason(), QStringLiteral("the page is larger than 50 MB"));
                EXPECT_EQ(failure.description(),
                          QStringLiteral("The page %1 could not be fetched: the page is larger than 50 MB").arg(address));
            }
            EXPECT_FALSE(QFileInfo::exists(pageFile));
        }
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(), c.kept ? 1 : 0)
            << "nothing beside the page file";
        EXPECT_TRUE(QDir(privateTemp.path()).isEmpty()) << "nothing kept on the way";
    }
}

// In its turn, and ahead of it while the run blocks without handling events
// (as in its fixed pauses): what is on its way is held back, not the page.
TEST_F(PageDownloadTest, MemoryStaysFlatWhileAPageWithoutEndStreams) {
    server.serve(QStringLiteral("/endless.html"), HttpResponse::streamed(kWithoutEnd, false));
    const QString address = server.url(QStringLiteral("/endless.html"));
    for (const bool ahead : {false, true}) {
        SCOPED_TRACE(ahead ? "ahead of its turn" : "in its turn");
        ASSERT_TRUE(testing::ResetPeakResident());
        const long long before = testing::PeakResidentKb();
        ASSERT_GT(before, 0);
        try {
            if (ahead) {
                PageFetch fetch(address);
                QThread::msleep(2000);
                fetch.WriteTo(events, pageFile);
            } else {
                DownloadPageToFile(events, address, pageFile);
            }
            ADD_FAILURE() << "a page without end was kept";
        } catch (const DownloadFailure& failure) {
            EXPECT_EQ(failure.reason(), QStringLiteral("the page is larger than 50 MB"));
        }
        if (kPeakTellsOfTheFetch) {
            EXPECT_LT(testing::PeakResidentKb() - before, kFlatKb);
        }
        EXPECT_FALSE(QFileInfo::exists(pageFile));
        EXPECT_TRUE(QDir(privateTemp.path()).isEmpty());
    }
}

}  // namespace
}  // namespace quendrel
