#pragma once
// A small HTTP/1.1 server on 127.0.0.1 for tests: it serves fixed answers per
// path from a thread of its own, so the test may block (wait for a child
// process, run a nested event loop, or none at all) while pages are fetched.
//
//   LocalHttpServer server;
//   server.serve("/long.html", HttpResponse::html(body));
//   server.serve("/gone", {.status = 404, .body = "no such page"});
//   server.serve("/hang", HttpResponse::neverAnswered());
//   server.serve("/huge", HttpResponse::streamed(2LL << 30, /*lengthAnnounced=*/true));
//   QString address = server.url("/long.html");   // http://127.0.0.1:PORT/long.html
//
// Paths not served answer 404 with a short text. Every answer closes its
// connection. The port is chosen by the system.
#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <memory>

namespace quendrel::testing {

struct HttpResponse {
    int status = 200;
    QByteArray contentType = "text/html; charset=utf-8";
    QByteArray body;
    // Further header lines, e.g. {"Location", "/elsewhere"} for a redirect.
    QList<QPair<QByteArray, QByteArray>> headers;
    // Wait this long before answering.
    int delayMs = 0;
    // Accept the request and never answer, keeping the connection open.
    bool neverAnswer = false;
    // When above 0: the body is `body` (a line of HTML when empty) repeated
    // to this many bytes, made and written only as fast as the client takes
    // it, so the server holds a little of it at a time however large it is.
    // Without a Content-Length when lengthAnnounced is false: the client sees
    // the end only when the connection closes.
    qint64 streamedBytes = 0;
    bool lengthAnnounced = true;

    static HttpResponse html(const QByteArray& body, int status = 200);
    static HttpResponse text(const QByteArray& body, int status = 200);
    static HttpResponse redirect(const QByteArray& location, int status = 302);
    static HttpResponse neverAnswered();
    // A large page streamed as above, of repeated HTML.
    static HttpResponse streamed(qint64 bytes, bool lengthAnnounced);
};

class LocalHttpServer {
public:
    // Listens at once; throws std::runtime_error when no port can be had.
    LocalHttpServer();
    ~LocalHttpServer();
    LocalHttpServer(const LocalHttpServer&) = delete;
    LocalHttpServer& operator=(const LocalHttpServer&) = delete;

    // Answers requests for `path` (the part before any '?', e.g. "/a/b.html").
    // May be called at any time, also while requests are being served.
    void serve(const QString& path, const HttpResponse& response);

    quint16 port() const;
    // "http://127.0.0.1:PORT" followed by the path.
    QString url(const QString& path = QStringLiteral("/")) const;
    // The request targets asked for so far, in order (with their query).
    QStringList requests() const;

    // A port on 127.0.0.1 with nobody listening: connections are refused.
    static quint16 closedPort();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace quendrel::testing
