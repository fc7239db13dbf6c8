#pragma once
// The run's engine lent to a program of its own (the capture program) over a
// private socket pair, so that program needs no engine start of its own. The
// program speaks the DevTools protocol on its end as it would to an engine it
// started; the relay passes its calls on over the run's own connection (with
// call numbers of the run's), and brings back their replies and the events of
// the targets and sessions the program made. Only those are its to use: a
// call about any other target or session is refused. When its end closes, or
// the relay goes, the targets it made are closed.
#include <QJsonObject>
#include <QString>
#include <memory>
#include <set>
#include <vector>

namespace quendrel::engine {

class HeadlessBrowser;
class PipeChannel;

// What the engine-handing program reads to find its end of the pair.
inline constexpr char kHandedEngineVariable[] = "QUENDREL_ENGINE_FD";
// The descriptor the program is given its end as.
inline constexpr int kHandedEngineDescriptor = 3;

class DevToolsRelay {
public:
    // Starts the engine unless it runs (throws EngineUnavailable as
    // HeadlessBrowser::start does) and makes the pair; the other end is for
    // the program, and the caller closes its copy once the program has it.
    static std::unique_ptr<DevToolsRelay> Open(HeadlessBrowser& browser, int& programEnd);
    ~DevToolsRelay();
    DevToolsRelay(const DevToolsRelay&) = delete;
    DevToolsRelay& operator=(const DevToolsRelay&) = delete;

    // Whether the program's end is still open.
    bool isOpen() const;

private:
    DevToolsRelay(HeadlessBrowser& browser, int socket);
    bool engineUsable() const;
    void receive(const QByteArray& message);
    void forward(int id, const QString& method, const QJsonObject& params, const QString& sessionId);
    void answer(int id, const QString& sessionId, const QJsonObject& result);
    void refuse(int id, const QString& sessionId, const QString& why);
    void adoptSession(const QString& sessionId);
    void passBrowserEvent(const QString& method, const QJsonObject& params);
    bool concernsOwnTarget(const QJsonObject& params) const;
    void release();

    HeadlessBrowser& browser_;
    int generation_;
    std::unique_ptr<PipeChannel> channel_;
    std::set<QString> targets_;
    std::set<QString> sessions_;
    std::vector<int> listening_;
    std::set<int> pending_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace quendrel::engine
