#pragma once
// Kills, while a run goes on, the renderer of a heavy page: the first process
// below the given one that runs as Chromium's renderer and holds more than
// 250 MB. Works on a thread of its own from construction on.
#include <QDir>
#include <QFile>
#include <QThread>
#include <atomic>
#include <csignal>
#include <map>
#include <thread>

namespace quendrel::testing {

// Heavier than any other test page, and changing for eight seconds after its load.
inline const QByteArray kHeavyPage = R"(<p id="n">Heavy</p><script>
    const weight = new Uint8Array(320 << 20);
    for (let i = 0; i < weight.length; i += 4096) weight[i] = 1;
    let ticks = 0;
    const tick = setInterval(() => { n.textContent = 'Heavy ' + ++ticks; if (ticks > 80) clearInterval(tick); }, 100);
    </script>)";

class RendererKiller {
public:
    explicit RendererKiller(pid_t root) : thread_([this, root] { while (!stop_ && !(killed_ = sweep(root))) QThread::msleep(50); }) {}
    ~RendererKiller() { stop_ = true, thread_.join(); }
    bool killed() const { return killed_; }

private:
    static QByteArray read(const QString& pid, const char* what) {
        QFile file(QStringLiteral("/proc/%1/%2").arg(pid, QLatin1String(what)));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    static bool sweep(pid_t root) {
        std::map<pid_t, pid_t> parents;  // from "pid (name) state ppid ..."
        for (const QString& pid : QDir(QStringLiteral("/proc")).entryList({"[0-9]*"}, QDir::Dirs)) {
            const QByteArray stat = read(pid, "stat");
            parents[pid.toInt()] = stat.mid(stat.lastIndexOf(')') + 2).split(' ').value(1).toInt();
        }
        for (const auto& [pid, parent] : parents) {
            pid_t up = parent;
            while (up > 1 && up != root) up = parents.count(up) ? parents[up] : 0;
            const QByteArray status = read(QString::number(pid), "status");
            const long kb = status.mid(status.indexOf("VmRSS:") + 6).trimmed().split(' ').value(0).toLong();
            if (up == root && kb > 250 * 1024 && read(QString::number(pid), "cmdline").contains("--type=renderer"))
                return ::kill(pid, SIGKILL) == 0;
        }
        return false;
    }
    std::atomic<bool> stop_{false};
    std::atomic<bool> killed_{false};
    std::thread thread_;
};

}  // namespace quendrel::testing
