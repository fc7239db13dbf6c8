#pragma once
// Kills, while a run goes on, the renderer that holds a heavy page: the first
// process below the given one that runs as Chromium's renderer and holds more
// than the given memory. Works on its own thread from construction on.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <atomic>
#include <chrono>
#include <csignal>
#include <map>
#include <thread>
#include <sys/types.h>

namespace quendrel::testing {

class RendererKiller {
public:
    RendererKiller(pid_t root, long minimumKb) : thread_([this, root, minimumKb] { run(root, minimumKb); }) {}
    ~RendererKiller() {
        stop_ = true;
        thread_.join();
    }
    bool killed() const { return killed_; }

private:
    static QByteArray read(pid_t pid, const char* what) {
        QFile file(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(what)));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    static long residentKb(pid_t pid) {
        const QByteArray status = read(pid, "status");
        const qsizetype at = status.indexOf("VmRSS:");
        return at < 0 ? 0 : status.mid(at + 6, status.indexOf('\n', at) - at - 6).trimmed().split(' ').value(0).toLong();
    }
    bool sweep(pid_t root, long minimumKb) {
        std::map<pid_t, pid_t> parents;
        for (const QString& name : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
            bool number = false;
            const pid_t pid = name.toInt(&number);
            if (!number) continue;
            const QByteArray stat = read(pid, "stat");  // "pid (name) state ppid ..."
            const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
            if (fields.size() > 1) parents[pid] = fields[1].toInt();
        }
        for (const auto& [pid, parent] : parents) {
            pid_t up = parent;
            while (up > 1 && up != root) up = parents.count(up) ? parents[up] : 0;
            if (up != root || !read(pid, "cmdline").contains("--type=renderer") || residentKb(pid) < minimumKb) continue;
            ::kill(pid, SIGKILL);
            return true;
        }
        return false;
    }
    void run(pid_t root, long minimumKb) {
        while (!stop_ && !killed_) {
            killed_ = sweep(root, minimumKb);
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    std::atomic<bool> stop_{false};
    std::atomic<bool> killed_{false};
    std::thread thread_;
};

}  // namespace quendrel::testing
