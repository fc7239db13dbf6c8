#include "devtools_client.h"

#include "platform/event_pump.h"

#include <QJsonDocument>
#include <QJsonParseError>
#include <algorithm>
#include <optional>
#include <vector>

namespace quendrel::engine {

namespace {
const QString kBrowserGone = QStringLiteral("the browser has ended");
}  // namespace

DevToolsClient::DevToolsClient(DevToolsChannel& channel) : channel_(channel) {
    channel_.onMessage = [this](const QByteArray& message) { receive(message); };
    channel_.onClosed = [this] { closed(); };
}

DevToolsClient::~DevToolsClient() {
    *alive_ = false;
    channel_.onMessage = nullptr;
    channel_.onClosed = nullptr;
}

int DevToolsClient::send(const QString& method, const QJsonObject& params, const QString& sessionId,
                         ReplyHandler handler) {
    const int number = nextCall_++;
    if (!isOpen()) {
        if (handler) handler({false, {}, kBrowserGone});
        return number;
    }
    QJsonObject message{{QStringLiteral("id"), number}, {QStringLiteral("method"), method},
                        {QStringLiteral("params"), params}};
    if (!sessionId.isEmpty()) message.insert(QStringLiteral("sessionId"), sessionId);
    if (handler) pending_.emplace(number, std::move(handler));
    channel_.send(QJsonDocument(message).toJson(QJsonDocument::Compact));
    return number;
}

DevToolsReply DevToolsClient::call(EventPump& events, const QString& method, const QJsonObject& params,
                                   const QString& sessionId, int limitMs) {
    // The reply may come after the wait has given up; it then lands in a
    // state that outlives this call.
    auto reply = std::make_shared<std::optional<DevToolsReply>>();
    const int number = send(method, params, sessionId, [reply](const DevToolsReply& r) { *reply = r; });
    // A handler run during the wait may end this client: the wait then ends
    // without touching it.
    const std::shared_ptr<bool> alive = alive_;
    platform::WaitUntil(events, [&] { return !*alive || reply->has_value(); }, events.steadyMilliseconds() + limitMs);
    if (*reply) return **reply;
    if (!*alive) return {false, {}, QStringLiteral("the DevTools client has ended")};
    forget(number);
    return {false, {}, QStringLiteral("no answer to %1 within %2 s").arg(method).arg(limitMs / 1000.0)};
}

void DevToolsClient::forget(int callNumber) { pending_.erase(callNumber); }

int DevToolsClient::listen(const QString& sessionId, EventHandler handler) {
    const int token = nextToken_++;
    listeners_.emplace(token, Listener{sessionId, std::move(handler)});
    return token;
}

void DevToolsClient::unlisten(int token) {
    listeners_.erase(token);
    closeHandlers_.erase(token);
}

int DevToolsClient::whenClosed(std::function<void()> handler) {
    const int token = nextToken_++;
    closeHandlers_.emplace(token, std::move(handler));
    return token;
}

void DevToolsClient::receive(const QByteArray& message) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(message, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        ++malformed_;
        return;
    }
    const QJsonObject object = document.object();
    const QJsonValue id = object.value(QStringLiteral("id"));
    if (id.isDouble()) {
        const auto found = pending_.find(id.toInt());
        if (found == pending_.end()) {
            // A forgotten call's reply, or one to a call sent without a
            // handler, goes nowhere; one to a number never given is malformed.
            if (id.toInt() < 1 || id.toInt() >= nextCall_) ++malformed_;
            return;
        }
        const ReplyHandler handler = std::move(found->second);
        pending_.erase(found);
        DevToolsReply reply;
        if (object.value(QStringLiteral("result")).isObject()) {
            reply.ok = true;
            reply.result = object.value(QStringLiteral("result")).toObject();
        } else if (object.value(QStringLiteral("error")).isObject()) {
            reply.error = object.value(QStringLiteral("error")).toObject().value(QStringLiteral("message")).toString();
        } else {
            ++malformed_;
            reply.error = QStringLiteral("a malformed reply");
        }
        handler(reply);
        return;
    }
    const QJsonValue method = object.value(QStringLiteral("method"));
    if (!method.isString()) {
        ++malformed_;
        return;
    }
    const QString session = object.value(QStringLiteral("sessionId")).toString();
    const QJsonObject params = object.value(QStringLiteral("params")).toObject();
    // A handler may stop listening, or end this client, while it runs.
    std::vector<int> tokens;
    for (const auto& [token, listener] : listeners_)
        if (listener.sessionId == session) tokens.push_back(token);
    const std::shared_ptr<bool> alive = alive_;
    for (const int token : tokens) {
        if (!*alive) return;
        const auto found = listeners_.find(token);
        if (found == listeners_.end()) continue;
        const EventHandler handler = found->second.handler;
        handler(method.toString(), params);
    }
}

void DevToolsClient::closed() {
    if (closed_) return;
    closed_ = true;
    const std::shared_ptr<bool> alive = alive_;
    std::map<int, ReplyHandler> pending = std::move(pending_);
    pending_.clear();
    for (auto& [number, handler] : pending) {
        handler({false, {}, kBrowserGone});
        if (!*alive) return;
    }
    std::map<int, std::function<void()>> handlers = std::move(closeHandlers_);
    closeHandlers_.clear();
    for (auto& [token, handler] : handlers) {
        handler();
        if (!*alive) return;
    }
}

}  // namespace quendrel::engine
