#pragma once
// Calls and events of the DevTools protocol over one channel: each call gets
// its own number and its reply is matched to it; events go to whoever listens
// to their session. Malformed messages are counted and passed over.
#include "devtools_channel.h"

#include <QJsonObject>
#include <QString>
#include <functional>
#include <map>
#include <memory>
#include "platform/event_pump.h"

namespace quendrel::engine {

using platform::EventPump;

// How long a call may wait for its reply unless told otherwise.
inline constexpr int kDevToolsCallLimitMs = 30'000;

struct DevToolsReply {
    bool ok = false;
    QJsonObject result;
    // Why there is no result: the browser's error message, that the browser
    // has gone, or that no reply came in time.
    QString error;
};

class DevToolsClient {
public:
    using ReplyHandler = std::function<void(const DevToolsReply&)>;
    using EventHandler = std::function<void(const QString& method, const QJsonObject& params)>;

    explicit DevToolsClient(DevToolsChannel& channel);
    ~DevToolsClient();
    DevToolsClient(const DevToolsClient&) = delete;
    DevToolsClient& operator=(const DevToolsClient&) = delete;

    // Sends a call, in a session ("" for the browser itself). The handler is
    // called once, from the event loop: with the reply, or with a failure when
    // the browser goes first. On a closed channel it fails at once.
    // Gives the call's number.
    int send(const QString& method, const QJsonObject& params = {}, const QString& sessionId = {},
             ReplyHandler handler = {});
    // Sends a call and waits for its reply with events handled, at most the
    // limit.
    DevToolsReply call(EventPump& events, const QString& method, const QJsonObject& params = {},
                       const QString& sessionId = {}, int limitMs = kDevToolsCallLimitMs);
    // The reply to this call, when it comes, goes nowhere.
    void forget(int callNumber);

    // Events of one session ("" for the browser's own) go to the handler until
    // the token is given back.
    int listen(const QString& sessionId, EventHandler handler);
    void unlisten(int token);
    // Called once when the channel closes (the browser has gone).
    int whenClosed(std::function<void()> handler);

    bool isOpen() const { return channel_.isOpen() && !closed_; }
    int malformedCount() const { return malformed_; }

private:
    void receive(const QByteArray& message);
    void closed();

    struct Listener {
        QString sessionId;
        EventHandler handler;
    };
    DevToolsChannel& channel_;
    int nextCall_ = 1;
    int nextToken_ = 1;
    int malformed_ = 0;
    bool closed_ = false;
    std::map<int, ReplyHandler> pending_;
    std::map<int, Listener> listeners_;
    std::map<int, std::function<void()>> closeHandlers_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace quendrel::engine
