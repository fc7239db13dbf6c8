#pragma once
// One conversation with a browser over its DevTools protocol: whole messages
// out, whole messages in, and word when the browser's end has gone.
#include <QByteArray>
#include <functional>

namespace quendrel::engine {

class DevToolsChannel {
public:
    virtual ~DevToolsChannel() = default;
    // Sends one message (a JSON text). A closed channel drops it.
    virtual void send(const QByteArray& message) = 0;
    virtual bool isOpen() const = 0;

    // Called from the event loop for each whole message that arrives, in
    // order, and once when the browser's end has closed. Either may destroy
    // the channel.
    std::function<void(const QByteArray&)> onMessage;
    std::function<void()> onClosed;
};

}  // namespace quendrel::engine
