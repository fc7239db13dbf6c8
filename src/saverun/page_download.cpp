#include "page_download.h"

#include "file_helpers.h"
#include "page_address.h"
#include "platform/event_pump.h"
#include "platform/failure.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <memory>

namespace quendrel {

namespace {

// Errors below 200 are the connection's (refused, timed out, TLS, proxy);
// 300 to 399 are protocol errors (bad address, unknown scheme). The others
// come with an answer from the server, whose body is the page.
bool serverAnswered(const QNetworkReply& reply) {
    const int error = reply.error();
    if (error == QNetworkReply::NoError) return true;
    if (error < 200) return false;
    if (error >= 300 && error < 400) return false;
    return reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
}

}  // namespace

void DownloadPageToFile(platform::EventPump& events, const QString& address, const QString& path) {
    // One manager per fetch: nothing (cookies, connections) carries over to
    // the next entry.
    QNetworkAccessManager manager;
    QNetworkRequest request(PageUrlFromTarget(address));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setTransferTimeout(kPageTransferTimeoutMs);
    std::unique_ptr<QNetworkReply> reply(manager.get(request));

    // A silent server is cut off by the transfer limit; one that trickles
    // bytes for ever by the overall limit.
    const long long deadline = events.steadyMilliseconds() + kPageFetchLimitMs;
    while (!reply->isFinished()) {
        if (events.steadyMilliseconds() >= deadline) {
            reply->abort();
            throw Failure(QStringLiteral("The page %1 could not be fetched: it took longer than %2 seconds")
                              .arg(address)
                              .arg(kPageFetchLimitMs / 1000));
        }
        events.waitForEvents(100);
    }

    if (!serverAnswered(*reply))
        throw Failure(QStringLiteral("The page %1 could not be fetched: %2").arg(address, reply->errorString()));
    const QByteArray body = reply->readAll();
    if (body.isEmpty()) return;
    WriteTextFile(body, path);
}

}  // namespace quendrel
