#include "page_download.h"

#include "page_address.h"
#include "engine/load_failure.h"
#include "platform/event_pump.h"
#include "platform/failure.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QTemporaryFile>
#include <memory>

namespace quendrel {

namespace {

// How much of a body is read, written or compared at a time, and how much the
// network may hold for a fetch while nobody reads it (while the run waits
// without handling events, the transfer pauses instead of piling up).
constexpr qint64 kChunkBytes = 1024 * 1024;

QString tooLarge() { return QStringLiteral("the page is larger than %1 MB").arg(kPageDownloadLimitBytes / (1024 * 1024)); }

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

namespace {

// The body kept on its way, copied to the page file a chunk at a time, so a
// page costs no more memory than a chunk however large it is. The page file
// is written beside its name and renamed into place, as WriteTextFile does.
void copyFile(const QString& from, const QString& path) {
    QFile source(from);
    QSaveFile file(path);
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly))
        throw Failure(QStringLiteral("Cannot create the file %1: %2").arg(path, file.errorString()));
    if (!source.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("Cannot write the file %1: the page downloaded for it cannot be read: %2")
                          .arg(path, source.errorString()));
    while (!source.atEnd()) {
        const QByteArray chunk = source.read(kChunkBytes);
        if (chunk.isEmpty() || file.write(chunk) != chunk.size())
            throw Failure(QStringLiteral("Cannot write the file %1: %2").arg(path, file.errorString()));
    }
    if (!file.commit()) throw Failure(QStringLiteral("Cannot write the file %1: %2").arg(path, file.errorString()));
}

}  // namespace

struct PageFetch::Transfer {
    // One manager per fetch: nothing (cookies, connections) carries over to
    // the next entry.
    QNetworkAccessManager manager;
    QUrl asked;
    std::unique_ptr<QNetworkReply> reply;
    QElapsedTimer age;
    // The body as it arrives, in the system's temporary folder, so nothing
    // reaches the output folder before the entry's turn.
    QTemporaryFile body{QDir::tempPath() + QStringLiteral("/quendrel-download-XXXXXX.htm")};
    qint64 received = 0;
    // Once ended: the answer, or why there is none (the failure's detail and
    // its reason for the closing report).
    std::optional<DownloadedPage> source;
    QString detail;
    QString reason;

    // Moves what has arrived into the body file.
    void take() {
        while (detail.isEmpty() && reply->bytesAvailable() > 0) {
            const QByteArray chunk = reply->read(kChunkBytes);
            if (received + chunk.size() > kPageDownloadLimitBytes) return fail(tooLarge(), tooLarge());
            if (body.write(chunk) != chunk.size())
                return fail(QStringLiteral("it cannot be kept while it arrives: %1").arg(body.errorString()),
                            QStringLiteral("the page could not be kept while it downloaded"));
            received += chunk.size();
        }
    }
    void checkAnnouncedLength() {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > kPageDownloadLimitBytes) fail(tooLarge(), tooLarge());
    }
    // Ends the fetch without a page: what was kept goes at once.
    void fail(const QString& why, const QString& shortReason) {
        if (!detail.isEmpty()) return;
        detail = why;
        reason = shortReason;
        body.remove();
        if (!reply->isFinished()) reply->abort();
    }
};

PageFetch::PageFetch(const QString& address) : address_(address), transfer_(std::make_unique<Transfer>()) {
    Transfer* t = transfer_.get();
    t->asked = PageUrlFromTarget(address);
    QNetworkRequest request(t->asked);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setTransferTimeout(kPageTransferTimeoutMs);
    t->age.start();
    t->reply.reset(t->manager.get(request));
    QNetworkReply* reply = t->reply.get();
    reply->setReadBufferSize(kChunkBytes);
    // Connected before anyone waits for the end, so the last bytes are in the
    // file when they are told.
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [t] { t->checkAnnouncedLength(); });
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [t] { t->take(); });
    QObject::connect(reply, &QNetworkReply::finished, reply, [t] { t->take(); });
    if (!t->body.open())
        t->fail(QStringLiteral("it cannot be kept while it arrives: %1").arg(t->body.errorString()),
                QStringLiteral("the page could not be kept while it downloaded"));
}

PageFetch::~PageFetch() {
    if (transfer_->reply && !transfer_->reply->isFinished()) transfer_->reply->abort();
}

void PageFetch::whenEnded(std::function<void()> ended) {
    QObject::connect(transfer_->reply.get(), &QNetworkReply::finished, std::move(ended));
}

DownloadedPage PageFetch::Finish(platform::EventPump& events) {
    Transfer& t = *transfer_;
    QNetworkReply& reply = *t.reply;
    // A silent server is cut off by the transfer limit; one that trickles
    // bytes for ever by the overall limit.
    const long long deadline = events.steadyMilliseconds() + kPageFetchLimitMs - t.age.elapsed();
    if (!platform::WaitUntil(events, [&reply] { return reply.isFinished(); }, deadline))
        t.fail(QStringLiteral("it took longer than %1 seconds").arg(kPageFetchLimitMs / 1000),
               QStringLiteral("the download took longer than %1 s").arg(kPageFetchLimitMs / 1000));
    if (!t.source && t.detail.isEmpty()) {
        t.take();
        if (!t.detail.isEmpty()) {
            // Said below.
        } else if (!serverAnswered(reply)) {
            t.fail(reply.errorString(), QStringLiteral("the page could not be downloaded: %1").arg(reply.errorString()));
        } else if (const int status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(); status >= 400) {
            // The server's own page for an error is no page of the site.
            const QString why = engine::HttpFailureText(
                status, reply.attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString());
            t.fail(why, why);
        } else if (!t.body.flush()) {
            t.fail(QStringLiteral("it cannot be kept while it arrives: %1").arg(t.body.errorString()),
                   QStringLiteral("the page could not be kept while it downloaded"));
        } else {
            // The fragment never travels to the server; a redirect without one
            // of its own keeps the one asked for, as a browser does.
            t.source = DownloadedPage{reply.url(), reply.rawHeader("Content-Type")};
            if (!t.source->address.hasFragment() && t.asked.hasFragment())
                t.source->address.setFragment(t.asked.fragment());
        }
    }
    if (!t.detail.isEmpty()) throw DownloadFailure(address_, t.detail, t.reason);
    return *t.source;
}

qint64 PageFetch::BodySize() const { return transfer_->source ? transfer_->received : 0; }

QByteArray PageFetch::ReadBody() const {
    QFile file(transfer_->body.fileName());
    if (!BodySize() || !file.open(QIODevice::ReadOnly)) return {};
    return file.read(kPageDownloadLimitBytes);
}

bool PageFetch::IsBodyOf(const QString& path) const {
    QFile body(transfer_->body.fileName());
    QFile file(path);
    if (!BodySize() || !body.open(QIODevice::ReadOnly) || !file.open(QIODevice::ReadOnly) ||
        file.size() != body.size())
        return false;
    while (!body.atEnd())
        if (body.read(kChunkBytes) != file.read(kChunkBytes)) return false;
    return file.atEnd();
}

DownloadedPage PageFetch::WriteTo(platform::EventPump& events, const QString& path) {
    const DownloadedPage source = Finish(events);
    if (BodySize() > 0) copyFile(transfer_->body.fileName(), path);
    return source;
}

DownloadedPage DownloadPageToFile(platform::EventPump& events, const QString& address, const QString& path) {
    return PageFetch(address).WriteTo(events, path);
}

}  // namespace quendrel
