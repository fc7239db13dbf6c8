#include "support/local_http_server.h"

#include <QHostAddress>
#include <QMetaObject>
#include <QMutex>
#include <QMutexLocker>
#include <QObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <map>
#include <memory>
#include <stdexcept>

namespace quendrel::testing {

namespace {

QByteArray reasonPhrase(int status) {
    switch (status) {
    case 200: return "OK";
    case 204: return "No Content";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 303: return "See Other";
    case 307: return "Temporary Redirect";
    case 308: return "Permanent Redirect";
    case 400: return "Bad Request";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    case 503: return "Service Unavailable";
    default: return "Status";
    }
}

QByteArray responseBytes(const HttpResponse& response, bool withBody) {
    QByteArray bytes = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' +
                       reasonPhrase(response.status) + "\r\n";
    bytes += "Content-Type: " + response.contentType + "\r\n";
    if (response.streamedBytes <= 0)
        bytes += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
    else if (response.lengthAnnounced)
        bytes += "Content-Length: " + QByteArray::number(response.streamedBytes) + "\r\n";
    for (const auto& [name, value] : response.headers) bytes += name + ": " + value + "\r\n";
    bytes += "Connection: close\r\n\r\n";
    if (withBody && response.streamedBytes <= 0) bytes += response.body;
    return bytes;
}

// How much of a streamed body waits in the socket at most.
constexpr qint64 kStreamChunkBytes = 64 * 1024;

// Writes a streamed body a chunk at a time, each when the one before has left
// for the client, and closes the connection after the last.
void streamBody(QTcpSocket* socket, const HttpResponse& response) {
    const QByteArray unit = response.body.isEmpty() ? QByteArray("<p>More of a very long page.</p>\n") : response.body;
    QByteArray chunk;
    while (chunk.size() < kStreamChunkBytes) chunk += unit;
    auto left = std::make_shared<qint64>(response.streamedBytes);
    auto pump = [socket, chunk, left] {
        while (*left > 0 && socket->bytesToWrite() < kStreamChunkBytes) {
            const qint64 size = std::min<qint64>(*left, chunk.size());
            socket->write(chunk.constData(), size);
            *left -= size;
        }
        if (*left == 0) {
            *left = -1;  // closed once
            socket->disconnectFromHost();
        }
    };
    QObject::connect(socket, &QTcpSocket::bytesWritten, socket, pump);
    pump();
}

}  // namespace

HttpResponse HttpResponse::html(const QByteArray& body, int status) {
    HttpResponse response;
    response.status = status;
    response.body = body;
    return response;
}

HttpResponse HttpResponse::text(const QByteArray& body, int status) {
    HttpResponse response = html(body, status);
    response.contentType = "text/plain; charset=utf-8";
    return response;
}

HttpResponse HttpResponse::redirect(const QByteArray& location, int status) {
    HttpResponse response = text("Moved to " + location, status);
    response.headers.append({"Location", location});
    return response;
}

HttpResponse HttpResponse::streamed(qint64 bytes, bool lengthAnnounced) {
    HttpResponse response;
    response.streamedBytes = bytes;
    response.lengthAnnounced = lengthAnnounced;
    return response;
}

HttpResponse HttpResponse::neverAnswered() {
    HttpResponse response;
    response.neverAnswer = true;
    return response;
}

namespace {

struct PendingRequest {
    QByteArray head;
    bool taken = false;
};

}  // namespace

struct LocalHttpServer::Impl {
    QThread thread;
    QObject* context = nullptr;  // lives in `thread`, owns the listening socket
    quint16 port = 0;
    mutable QMutex mutex;
    std::map<QString, HttpResponse> routes;
    QStringList requests;

    HttpResponse answerFor(const QByteArray& target) {
        const QString path = QString::fromUtf8(target.left(target.indexOf('?') < 0 ? target.size()
                                                                                  : target.indexOf('?')));
        QMutexLocker lock(&mutex);
        requests.append(QString::fromUtf8(target));
        const auto route = routes.find(path);
        if (route != routes.end()) return route->second;
        return HttpResponse::text("Not found: " + target, 404);
    }

    // Closes every connection and ends the thread.
    void stop() {
        QObject* owner = context;
        QMetaObject::invokeMethod(owner, [owner] { delete owner; }, Qt::BlockingQueuedConnection);
        thread.quit();
        thread.wait();
    }

    void accept(QTcpServer* server) {
        while (QTcpSocket* socket = server->nextPendingConnection()) {
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            // One request per connection: the answer closes it.
            auto request = std::make_shared<PendingRequest>();
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, request] {
                const QByteArray received = socket->readAll();
                if (request->taken) return;
                request->head += received;
                if (!request->head.contains("\r\n\r\n")) return;
                request->taken = true;
                const QList<QByteArray> requestLine =
                    request->head.left(request->head.indexOf("\r\n")).split(' ');
                const QByteArray method = requestLine.value(0);
                const HttpResponse response = answerFor(requestLine.value(1));
                if (response.neverAnswer) return;
                const bool withBody = method != "HEAD";
                const QByteArray answer = responseBytes(response, withBody);
                QTimer::singleShot(response.delayMs, socket, [socket, answer, response, withBody] {
                    socket->write(answer);
                    if (withBody && response.streamedBytes > 0)
                        streamBody(socket, response);
                    else
                        socket->disconnectFromHost();
                });
            });
        }
    }
};

LocalHttpServer::LocalHttpServer() : impl_(std::make_unique<Impl>()) {
    impl_->thread.setObjectName(QStringLiteral("LocalHttpServer"));
    impl_->thread.start();
    impl_->context = new QObject;
    impl_->context->moveToThread(&impl_->thread);
    Impl* impl = impl_.get();
    QMetaObject::invokeMethod(
        impl->context,
        [impl] {
            auto* server = new QTcpServer(impl->context);
            if (!server->listen(QHostAddress::LocalHost, 0)) return;
            impl->port = server->serverPort();
            QObject::connect(server, &QTcpServer::newConnection, server,
                             [impl, server] { impl->accept(server); });
        },
        Qt::BlockingQueuedConnection);
    if (impl_->port == 0) {
        impl_->stop();
        throw std::runtime_error("the test HTTP server cannot listen on 127.0.0.1");
    }
}

LocalHttpServer::~LocalHttpServer() { impl_->stop(); }

void LocalHttpServer::serve(const QString& path, const HttpResponse& response) {
    QMutexLocker lock(&impl_->mutex);
    impl_->routes[path] = response;
}

quint16 LocalHttpServer::port() const { return impl_->port; }

QString LocalHttpServer::url(const QString& path) const {
    return QStringLiteral("http://127.0.0.1:%1%2").arg(impl_->port).arg(path);
}

QStringList LocalHttpServer::requests() const {
    QMutexLocker lock(&impl_->mutex);
    return impl_->requests;
}

quint16 LocalHttpServer::closedPort() {
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0)) return 0;
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

}  // namespace quendrel::testing
