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
