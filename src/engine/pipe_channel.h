#pragma once
// The DevTools channel of a browser started with --remote-debugging-pipe:
// messages are JSON texts, each ended by a NUL byte, over a socket pair whose
// other end the browser holds as its descriptors 3 and 4. No port is opened,
// so no other account can reach the browser.
#include "devtools_channel.h"

#include <QSocketNotifier>
#include <deque>
#include <memory>

namespace quendrel::engine {

class PipeChannel : public DevToolsChannel {
public:
    // Takes ownership of the descriptor, which it makes non-blocking.
    explicit PipeChannel(int socket);
    ~PipeChannel() override;
    PipeChannel(const PipeChannel&) = delete;
    PipeChannel& operator=(const PipeChannel&) = delete;

    void send(const QByteArray& message) override;
    bool isOpen() const override { return socket_ >= 0; }
    // Closes this end; the browser sees its pipe close.
    void close();

private:
    void readAvailable();
    void writePending();
    void deliver();
    void closeAndTell();

    int socket_;
    std::unique_ptr<QSocketNotifier> reading_;
    std::unique_ptr<QSocketNotifier> writing_;
    QByteArray received_;              // the start of a message still arriving
    std::deque<QByteArray> complete_;  // whole messages not yet delivered
    QByteArray outgoing_;              // what the socket did not take yet
    bool closedSeen_ = false;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace quendrel::engine
