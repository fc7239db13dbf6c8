#include "page_download.h"

#include "file_helpers.h"
#include "page_address.h"
#include "platform/event_pump.h"
#include "platform/failure.h"

#include <QElapsedTimer>
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

// Letters, digits and the marks media types and charset names use; nothing
// that could end the type inside a data address (",", ";", blanks, quotes).
bool isPlainName(const QByteArray& text, bool slashAllowed) {
    if (text.isEmpty()) return false;
    for (const char c : text) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                           QByteArray("!#$&^_.+-:").contains(c) || (slashAllowed && c == '/');
        if (!plain) return false;
    }
    return !slashAllowed || text.count('/') == 1;
}

}  // namespace

QString ContentTypeOfCopy(const QByteArray& contentType) {
    const QList<QByteArray> parts = contentType.split(';');
    const QByteArray type = parts.value(0).trimmed().toLower();
    if (!isPlainName(type, true)) return QStringLiteral("text/html");
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const QByteArray parameter = parts[i].trimmed();
        const qsizetype equals = parameter.indexOf('=');
        if (equals < 0 || parameter.left(equals).trimmed().toLower() != "charset") continue;
        QByteArray charset = parameter.mid(equals + 1).trimmed();
        if (charset.size() >= 2 && charset.startsWith('"') && charset.endsWith('"')) charset = charset.mid(1, charset.size() - 2);
        if (isPlainName(charset, false)) return QString::fromLatin1(type + ";charset=" + charset);
        break;
    }
    return QString::fromLatin1(type);
}

struct PageFetch::Transfer {
    // One manager per fetch: nothing (cookies, connections) carries over to
    // the next entry.
    QNetworkAccessManager manager;
    QUrl asked;
    std::unique_ptr<QNetworkReply> reply;
    QElapsedTimer age;
    // Once ended: the answer, or why there is none.
    std::optional<DownloadedPage> source;
    QByteArray body;
    QString failure;
};

PageFetch::PageFetch(const QString& address) : address_(address), transfer_(std::make_unique<Transfer>()) {
    transfer_->asked = PageUrlFromTarget(address);
    QNetworkRequest request(transfer_->asked);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setTransferTimeout(kPageTransferTimeoutMs);
    transfer_->age.start();
    transfer_->reply.reset(transfer_->manager.get(request));
}

PageFetch::~PageFetch() {
    if (transfer_->reply && !transfer_->reply->isFinished()) transfer_->reply->abort();
}

void PageFetch::whenEnded(std::function<void()> ended) {
    QObject::connect(transfer_->reply.get(), &QNetworkReply::finished, std::move(ended));
}

const QByteArray& PageFetch::Body(platform::EventPump& events, DownloadedPage* source) {
    Transfer& t = *transfer_;
    QNetworkReply& reply = *t.reply;
    // A silent server is cut off by the transfer limit; one that trickles
    // bytes for ever by the overall limit.
    const long long deadline = events.steadyMilliseconds() + kPageFetchLimitMs - t.age.elapsed();
    while (!reply.isFinished()) {
        if (events.steadyMilliseconds() >= deadline) {
            reply.abort();
            t.failure = QStringLiteral("The page %1 could not be fetched: it took longer than %2 seconds")
                            .arg(address_)
                            .arg(kPageFetchLimitMs / 1000);
            break;
        }
        events.waitForEvents(100);
    }
    if (!t.source && t.failure.isEmpty()) {
        if (!serverAnswered(reply)) {
            t.failure = QStringLiteral("The page %1 could not be fetched: %2").arg(address_, reply.errorString());
        } else {
            // The fragment never travels to the server; a redirect without one
            // of its own keeps the one asked for, as a browser does.
            t.source = DownloadedPage{reply.url(), reply.rawHeader("Content-Type")};
            if (!t.source->address.hasFragment() && t.asked.hasFragment())
                t.source->address.setFragment(t.asked.fragment());
            t.body = reply.readAll();
        }
    }
    if (!t.failure.isEmpty()) throw Failure(t.failure);
    if (source) *source = *t.source;
    return t.body;
}

DownloadedPage PageFetch::WriteTo(platform::EventPump& events, const QString& path) {
    DownloadedPage source;
    const QByteArray& body = Body(events, &source);
    if (!body.isEmpty()) WriteTextFile(body, path);
    return source;
}

DownloadedPage DownloadPageToFile(platform::EventPump& events, const QString& address, const QString& path) {
    return PageFetch(address).WriteTo(events, path);
}

}  // namespace quendrel
