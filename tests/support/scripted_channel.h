#pragma once
// The engine's end of a DevTools channel, played in memory: the test's script
// answers each call (or it gets an empty result), and can send events and
// close the channel. All arrives through the event loop, in order.
#include "engine/devtools_channel.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

namespace quendrel::testing {

class ScriptedChannel : public engine::DevToolsChannel {
public:
    // Answers the call itself and gives true, or false for an empty result.
    std::function<bool(int id, const QString& method, const QJsonObject& params)> script;
    QStringList methods;  // every call, in order

    void send(const QByteArray& message) override {
        const QJsonObject call = QJsonDocument::fromJson(message).object();
        methods << call["method"].toString();
        if (!script(call["id"].toInt(), methods.last(), call["params"].toObject())) reply(call["id"].toInt(), {});
    }
    bool isOpen() const override { return open_; }
    void reply(int id, const QJsonObject& result) { post({{"id", id}, {"result", result}}); }
    void fail(int id, const QString& message) { post({{"id", id}, {"error", QJsonObject{{"message", message}}}}); }
    void event(const QString& method, const QJsonObject& params) {
        post({{"method", method}, {"params", params}, {"sessionId", "S"}});
    }
    void close() {
        QTimer::singleShot(0, &context_, [this] { open_ = false, onClosed(); });
    }

private:
    void post(const QJsonObject& message) {
        QTimer::singleShot(0, &context_, [this, bytes = QJsonDocument(message).toJson()] {
            if (open_) onMessage(bytes);
        });
    }
    bool open_ = true;
    QObject context_;
};

}  // namespace quendrel::testing
