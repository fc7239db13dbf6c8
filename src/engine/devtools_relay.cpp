#include "devtools_relay.h"

#include "headless_browser.h"
#include "pipe_channel.h"
#include "platform/failure.h"

#include <QJsonDocument>
#include <QStringList>
#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

namespace quendrel::engine {

namespace {

QString text(const char* latin1) { return QString::fromLatin1(latin1); }

// Calls of the browser as a whole that the engine's owner has made already
// for every tab: answered here, never passed on.
bool settledByTheRun(const QString& method) {
    return method == text("Target.setDiscoverTargets") || method == text("Browser.setDownloadBehavior");
}

// Calls of the browser as a whole that touch nothing but what they name.
bool harmless(const QString& method) {
    return method == text("Browser.getVersion") || method == text("Target.createTarget") ||
           method == text("IO.read") || method == text("IO.close");
}

// Calls of the browser as a whole about one target, which must be the
// program's own.
bool aboutOneTarget(const QString& method) {
    return method == text("Target.attachToTarget") || method == text("Target.closeTarget") ||
           method == text("Target.activateTarget") || method == text("Target.detachFromTarget");
}

}  // namespace

std::unique_ptr<DevToolsRelay> DevToolsRelay::Open(HeadlessBrowser& browser, int& programEnd) {
    browser.start();
    int sockets[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets) != 0)
        throw Failure(QStringLiteral("no channel for the capture program: %1")
                          .arg(QString::fromLocal8Bit(std::strerror(errno))));
    programEnd = sockets[1];
    return std::unique_ptr<DevToolsRelay>(new DevToolsRelay(browser, sockets[0]));
}

DevToolsRelay::DevToolsRelay(HeadlessBrowser& browser, int socket)
    : browser_(browser), generation_(browser.generation()), channel_(std::make_unique<PipeChannel>(socket)) {
    channel_->onMessage = [this](const QByteArray& message) { receive(message); };
    channel_->onClosed = [this] { release(); };
    DevToolsClient& client = browser_.client();
    listening_.push_back(client.listen({}, [this](const QString& method, const QJsonObject& params) {
        passBrowserEvent(method, params);
    }));
    // The run's engine gone is the program's engine gone.
    listening_.push_back(client.whenClosed([this] { release(); }));
}

DevToolsRelay::~DevToolsRelay() {
    *alive_ = false;
    release();
}

bool DevToolsRelay::isOpen() const { return channel_ && channel_->isOpen(); }

bool DevToolsRelay::engineUsable() const { return browser_.isRunning() && browser_.generation() == generation_; }

void DevToolsRelay::receive(const QByteArray& message) {
    const QJsonObject call = QJsonDocument::fromJson(message).object();
    const int id = call.value(QStringLiteral("id")).toInt(-1);
    const QString method = call.value(QStringLiteral("method")).toString();
    const QString sessionId = call.value(QStringLiteral("sessionId")).toString();
    const QJsonObject params = call.value(QStringLiteral("params")).toObject();
    if (id < 0 || method.isEmpty()) return;
    if (!engineUsable()) return refuse(id, sessionId, QStringLiteral("the browser has ended"));
    if (!sessionId.isEmpty()) {
        if (!sessions_.count(sessionId)) return refuse(id, sessionId, QStringLiteral("no such session"));
        return forward(id, method, params, sessionId);
    }
    if (settledByTheRun(method)) return answer(id, {}, {});
    if (aboutOneTarget(method) && !concernsOwnTarget(params))
        return refuse(id, {}, QStringLiteral("no such target"));
    if (!harmless(method) && !aboutOneTarget(method))
        return refuse(id, {}, QStringLiteral("%1 is not for a lent engine").arg(method));
    forward(id, method, params, {});
}

void DevToolsRelay::forward(int id, const QString& method, const QJsonObject& params, const QString& sessionId) {
    const std::shared_ptr<bool> alive = alive_;
    auto number = std::make_shared<int>(0);
    *number = browser_.client().send(method, params, sessionId, [=, this](const DevToolsReply& reply) {
        if (!*alive) return;
        pending_.erase(*number);
        if (!reply.ok) return refuse(id, sessionId, reply.error);
        if (method == text("Target.createTarget"))
            targets_.insert(reply.result.value(QStringLiteral("targetId")).toString());
        if (method == text("Target.attachToTarget"))
            adoptSession(reply.result.value(QStringLiteral("sessionId")).toString());
        if (method == text("Target.closeTarget")) targets_.erase(params.value(QStringLiteral("targetId")).toString());
        answer(id, sessionId, reply.result);
    });
    if (*alive && engineUsable()) pending_.insert(*number);
}

void DevToolsRelay::adoptSession(const QString& sessionId) {
    if (sessionId.isEmpty() || !sessions_.insert(sessionId).second) return;
    listening_.push_back(
        browser_.client().listen(sessionId, [this, sessionId](const QString& method, const QJsonObject& params) {
            // Sessions of frames in processes of their own, attached by the
            // program's own session, are its too.
            if (method == text("Target.attachedToTarget"))
                adoptSession(params.value(QStringLiteral("sessionId")).toString());
            if (!channel_ || !channel_->isOpen()) return;
            QJsonObject event{{QStringLiteral("method"), method}, {QStringLiteral("params"), params},
                              {QStringLiteral("sessionId"), sessionId}};
            channel_->send(QJsonDocument(event).toJson(QJsonDocument::Compact));
        }));
}

bool DevToolsRelay::concernsOwnTarget(const QJsonObject& params) const {
    const QJsonObject info = params.value(QStringLiteral("targetInfo")).toObject();
    for (const QString& target : {params.value(QStringLiteral("targetId")).toString(),
                                  info.value(QStringLiteral("targetId")).toString(),
                                  info.value(QStringLiteral("openerId")).toString()})
        if (!target.isEmpty() && targets_.count(target)) return true;
    const QString session = params.value(QStringLiteral("sessionId")).toString();
    return !session.isEmpty() && sessions_.count(session);
}

void DevToolsRelay::passBrowserEvent(const QString& method, const QJsonObject& params) {
    if (!channel_ || !channel_->isOpen() || !concernsOwnTarget(params)) return;
    QJsonObject event{{QStringLiteral("method"), method}, {QStringLiteral("params"), params}};
    channel_->send(QJsonDocument(event).toJson(QJsonDocument::Compact));
}

void DevToolsRelay::answer(int id, const QString& sessionId, const QJsonObject& result) {
    if (!channel_ || !channel_->isOpen()) return;
    QJsonObject reply{{QStringLiteral("id"), id}, {QStringLiteral("result"), result}};
    if (!sessionId.isEmpty()) reply.insert(QStringLiteral("sessionId"), sessionId);
    channel_->send(QJsonDocument(reply).toJson(QJsonDocument::Compact));
}

void DevToolsRelay::refuse(int id, const QString& sessionId, const QString& why) {
    if (!channel_ || !channel_->isOpen()) return;
    QJsonObject reply{{QStringLiteral("id"), id},
                      {QStringLiteral("error"), QJsonObject{{QStringLiteral("code"), -32000},
                                                            {QStringLiteral("message"), why}}}};
    if (!sessionId.isEmpty()) reply.insert(QStringLiteral("sessionId"), sessionId);
    channel_->send(QJsonDocument(reply).toJson(QJsonDocument::Compact));
}

void DevToolsRelay::release() {
    // The program's end closes first, so nothing it sent later is passed on.
    if (channel_) channel_->close();
    if (engineUsable()) {
        DevToolsClient& client = browser_.client();
        for (const int token : listening_) client.unlisten(token);
        for (const int number : pending_) client.forget(number);
        for (const QString& target : targets_)
            client.send(QStringLiteral("Target.closeTarget"), {{QStringLiteral("targetId"), target}});
    }
    listening_.clear();
    pending_.clear();
    targets_.clear();
    sessions_.clear();
}

}  // namespace quendrel::engine
