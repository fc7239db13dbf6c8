#pragma once
// The test user's default printer, arranged the way a user or an
// administrator makes it: their own with lpoptions (a queue or a saved
// instance), the server's with lpadmin, or none at all. Queues made here are
// deleted again, which also takes their server default away.
#include "printer_e2e_support.h"

#include <QStringList>

namespace default_printer_e2e {

using printer_e2e::readFile;
using printer_e2e::runTool;

// The file where libcups keeps this user's own printer choices.
inline QString userOptionsPath() { return quendrel::platform::CupsPrintSystem::userOptionsPath(); }

// The user's own Default line, or empty text when there is none.
inline QString defaultLine() {
    for (const QByteArray& line : readFile(userOptionsPath()).value_or(QByteArray()).split('\n'))
        if (line.startsWith("Default ")) return QString::fromUtf8(line);
    return QString();
}

// Takes the user's own Default line away, keeping their other choices.
inline bool removeOwnDefault() {
    QByteArray kept;
    for (const QByteArray& line : readFile(userOptionsPath()).value_or(QByteArray()).split('\n'))
        if (!line.isEmpty() && !line.startsWith("Default ")) kept += line + '\n';
    return kept.isEmpty() ? (QFile::remove(userOptionsPath()) || !QFile::exists(userOptionsPath()))
                          : printer_e2e::writeFile(userOptionsPath(), kept);
}

// What every CUPS program of this user prints to when it names no printer:
// "Marrowby_PDF_Writer", or empty text when there is no default.
inline QString lpstatDefault() {
    const QString answer = runTool(QStringLiteral("lpstat"), {QStringLiteral("-d")}).value_or(QStringLiteral("?"));
    const qsizetype colon = answer.indexOf(QLatin1Char(':'));
    return colon < 0 ? QString() : answer.mid(colon + 1).trimmed();
}

// A queue that prints nowhere (its device answers nothing), made by the test
// user, who is a print administrator; deleted when the test ends.
class TemporaryQueue {
public:
    TemporaryQueue(const QString& name, const QString& description, bool serverDefault = false) : name_(name) {
        made_ = runTool(QStringLiteral("lpadmin"), {QStringLiteral("-p"), name, QStringLiteral("-v"),
                                                    QStringLiteral("socket://127.0.0.1:9"), QStringLiteral("-D"),
                                                    description, QStringLiteral("-E")})
                    .has_value();
        if (made_ && serverDefault)
            made_ = runTool(QStringLiteral("lpadmin"), {QStringLiteral("-d"), name}).has_value();
    }
    ~TemporaryQueue() { runTool(QStringLiteral("lpadmin"), {QStringLiteral("-x"), name_}); }
    TemporaryQueue(const TemporaryQueue&) = delete;
    TemporaryQueue& operator=(const TemporaryQueue&) = delete;
    bool made() const { return made_; }

private:
    QString name_;
    bool made_ = false;
};

// The defaults a user can have, each with what must hold after a run.
struct DefaultCase {
    const char* what;
    const char* ownDestination;  // made with lpoptions -d; empty: none of their own
    const char* serverQueue;     // a queue of the server's made its default; empty: none
    const char* instanceOption;  // saved with lpoptions -p for the own destination
};

inline const DefaultCase kDefaultCases[] = {
    {"no default at all", "", "", ""},
    {"only the server's", "", "Quendrel_Server_Default", ""},
    {"the user's own", "Marrowby_Case_Test", "", ""},
    {"a saved instance", "Marrowby_Case_Test/duplex", "", "sides=two-sided-long-edge"},
    {"the second of two queues that share a description", "Quendrel_Twin_B", "", ""},
};

// Makes the case's default; the queues it needs live as long as the result.
inline std::vector<std::unique_ptr<TemporaryQueue>> arrange(const DefaultCase& c) {
    std::vector<std::unique_ptr<TemporaryQueue>> queues;
    const QString own = QString::fromUtf8(c.ownDestination);
    if (own.startsWith(QStringLiteral("Quendrel_Twin_"))) {
        for (const char* twin : {"Quendrel_Twin_A", "Quendrel_Twin_B"})
            queues.push_back(std::make_unique<TemporaryQueue>(QString::fromUtf8(twin), QStringLiteral("Quendrel Twin")));
    }
    if (*c.serverQueue)
        queues.push_back(std::make_unique<TemporaryQueue>(QString::fromUtf8(c.serverQueue),
                                                          QStringLiteral("Quendrel Server Default"), true));
    removeOwnDefault();
    if (*c.instanceOption)
        runTool(QStringLiteral("lpoptions"), {QStringLiteral("-p"), own, QStringLiteral("-o"),
                                              QString::fromUtf8(c.instanceOption)});
    if (!own.isEmpty()) runTool(QStringLiteral("lpoptions"), {QStringLiteral("-d"), own});
    return queues;
}

}  // namespace default_printer_e2e
