// Fetching a page into its file: the bytes as sent, whatever their encoding;
// nothing for an empty answer; a failure when no server answered.
#include "saverun/page_download.h"

#include "platform/failure.h"
#include "platform/qt_event_pump.h"
#include "support/local_http_server.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace quendrel {
namespace {

using testing::HttpResponse;
using testing::LocalHttpServer;

class PageDownloadTest : public ::testing::Test {
protected:
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

TEST_F(PageDownloadTest, FollowsRedirectsAndKeepsTheServersErrorPages) {
    server.serve(QStringLiteral("/old"), HttpResponse::redirect("/new"));
    server.serve(QStringLiteral("/new"), HttpResponse::html("<p>moved here</p>"));
    DownloadPageToFile(events, server.url(QStringLiteral("/old")), pageFile);
    EXPECT_EQ(pageFileBytes(), QByteArray("<p>moved here</p>"));

    server.serve(QStringLiteral("/gone"), HttpResponse::html("<p>no such page</p>", 404));
    DownloadPageToFile(events, server.url(QStringLiteral("/gone")), pageFile);
    EXPECT_EQ(pageFileBytes(), QByteArray("<p>no such page</p>"));
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

}  // namespace
}  // namespace quendrel
