#pragma once
// The engine's end of a DevTools channel, played in memory: each call is
// answered by the test's script (or with an empty result), and the test can
// send events and close the channel. Everything arrives through the event
// loop, in order, as it would over the pipe.
#include "engine/devtools_channel.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QObject>
#include <QTimer>
#include <functional>

namespace quendrel::testing {

class ScriptedChannel : public engine::DevToolsChannel {
public:
    // Answers a call by itself (through reply, fail, event) and gives true,
    // or gives false for an empty result.
    std::function<bool(int id, const QString& method, const QJsonObject& params)> script;
    QStringList methods;  // every call, in order

    void send(const QByteArray& message) override {
        const QJsonObject call = QJsonDocument::fromJson(message).object();
        const int id = call.value("id").toInt();
        const QString method = call.value("method").toString();
        methods << method;
        if (!script || !script(id, method, call.value("params").toObject())) reply(id, {});
    }
    bool isOpen() const override { return open_; }

    void reply(int id, const QJsonObject& result) { post({{"id", id}, {"result", result}}); }
    void fail(int id, const QString& message) { post({{"id", id}, {"error", QJsonObject{{"message", message}}}}); }
    void event(const QString& method, const QJsonObject& params, const QString& session = QStringLiteral("S")) {
        QJsonObject message{{"method", method}, {"params", params}};
        if (!session.isEmpty()) message.insert("sessionId", session);
        post(message);
    }
    void close() {
        QTimer::singleShot(0, &context_, [this] {
            open_ = false;
            if (onClosed) onClosed();
        });
    }

private:
    void post(const QJsonObject& message) {
        const QByteArray bytes = QJsonDocument(message).toJson(QJsonDocument::Compact);
        QTimer::singleShot(0, &context_, [this, bytes] {
            if (open_ && onMessage) onMessage(bytes);
        });
    }
    bool open_ = true;
    QObject context_;
};

}  // namespace quendrel::testing
