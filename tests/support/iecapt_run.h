#pragma once
// Runs the freshly built capture program (its path is compiled into the
// tests that use it) and collects what it said.
#include <QProcess>
#include <QString>
#include <QStringList>

namespace quendrel::testing {

struct IecaptOutcome {
    int exitCode = -1;  // -1: it hung or crashed
    QString output;
    QString errors;
};

// `environment` adds to (or replaces in) the test's own environment.
inline IecaptOutcome RunIecapt(const QStringList& arguments, const QProcessEnvironment& environment = {}) {
    QProcess process;
    QProcessEnvironment all = QProcessEnvironment::systemEnvironment();
    all.insert(environment);
    process.setProcessEnvironment(all);
    process.start(QStringLiteral(QUENDREL_IECAPT), arguments);
    // Far beyond any time limit the tests give it: only a hung program fails this.
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        return {-1, QString(), QStringLiteral("iecapt did not end")};
    }
    if (process.exitStatus() != QProcess::NormalExit) return {-1, QString(), QStringLiteral("iecapt crashed")};
    return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

}  // namespace quendrel::testing
