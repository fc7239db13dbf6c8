#include "pipe_channel.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quendrel::engine {

namespace {
constexpr qsizetype kReadChunk = 256 * 1024;
}

PipeChannel::PipeChannel(int socket) : socket_(socket) {
    ::fcntl(socket_, F_SETFL, ::fcntl(socket_, F_GETFL) | O_NONBLOCK);
    reading_ = std::make_unique<QSocketNotifier>(socket_, QSocketNotifier::Read);
    writing_ = std::make_unique<QSocketNotifier>(socket_, QSocketNotifier::Write);
    writing_->setEnabled(false);
    QObject::connect(reading_.get(), &QSocketNotifier::activated, [this] { readAvailable(); });
    QObject::connect(writing_.get(), &QSocketNotifier::activated, [this] { writePending(); });
}

PipeChannel::~PipeChannel() {
    *alive_ = false;
    close();
}

void PipeChannel::close() {
    if (socket_ < 0) return;
    reading_.reset();
    writing_.reset();
    ::close(socket_);
    socket_ = -1;
}

void PipeChannel::send(const QByteArray& message) {
    if (socket_ < 0) return;
    outgoing_ += message;
    outgoing_ += '\0';
    writePending();
}

void PipeChannel::writePending() {
    while (socket_ >= 0 && !outgoing_.isEmpty()) {
        // MSG_NOSIGNAL: a browser that has gone is a closed channel, not a
        // signal that ends this process.
        const ssize_t written = ::send(socket_, outgoing_.constData(), static_cast<size_t>(outgoing_.size()),
                                       MSG_NOSIGNAL);
        if (written > 0) {
            outgoing_.remove(0, written);
            continue;
        }
        if (written < 0 && errno == EINTR) continue;
        if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            writing_->setEnabled(true);
            return;
        }
        // The browser's end is gone: what it did not take is dropped, and
        // the reading side tells of the close when it sees the end.
        outgoing_.clear();
        break;
    }
    if (writing_) writing_->setEnabled(false);
}

void PipeChannel::readAvailable() {
    bool ended = false;
    for (;;) {
        const qsizetype had = received_.size();
        received_.resize(had + kReadChunk);
        const ssize_t got = ::read(socket_, received_.data() + had, kReadChunk);
        received_.resize(had + std::max<ssize_t>(got, 0));
        if (got > 0) continue;
        if (got < 0 && errno == EINTR) continue;
        ended = got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
        break;
    }
    qsizetype start = 0;
    for (qsizetype end = received_.indexOf('\0'); end >= 0; end = received_.indexOf('\0', start)) {
        complete_.push_back(received_.mid(start, end - start));
        start = end + 1;
    }
    received_.remove(0, start);
    if (ended) closedSeen_ = true;
    deliver();
}

void PipeChannel::deliver() {
    // A handler may wait for further messages (handling events meanwhile),
    // which delivers the next ones from inside it; each is taken off the
    // queue before it is handed on, so each arrives once and in order.
    const std::shared_ptr<bool> alive = alive_;
    while (*alive && !complete_.empty()) {
        const QByteArray message = std::move(complete_.front());
        complete_.pop_front();
        if (onMessage) onMessage(message);
    }
    if (*alive && closedSeen_ && complete_.empty() && socket_ >= 0) closeAndTell();
}

void PipeChannel::closeAndTell() {
    close();
    if (onClosed) onClosed();
}

}  // namespace quendrel::engine
