#include "run_report.h"

#include <QStringList>

namespace quendrel {

void RunReport::BeginEntry() {
    inEntry_ = true;
    succeeded_ = false;
    address_.clear();
    reason_.clear();
    stepFailure_.clear();
}

void RunReport::Fail(const QString& reason) {
    if (reason_.isEmpty()) reason_ = reason;
}

void RunReport::NoteStepFailure(int step, const QString& description) {
    if (!inEntry_ || !stepFailure_.isEmpty()) return;
    stepFailure_ = QStringLiteral("error at line %1").arg(step);
    if (!description.isEmpty()) stepFailure_ += QStringLiteral(": ") + description;
}

void RunReport::Succeed() {
    if (reason_.isEmpty()) succeeded_ = true;
}

void RunReport::EndEntry() {
    if (!inEntry_) return;
    inEntry_ = false;
    if (succeeded_) return;
    QString reason = reason_;
    if (reason.isEmpty()) reason = stepFailure_;
    if (reason.isEmpty()) reason = QStringLiteral("no PDF was written");
    failures_.push_back({address_, reason});
}

void RunReport::FailAll(const QStringList& addresses, const QString& reason) {
    for (const QString& address : addresses) failures_.push_back({address, reason});
}

QString RunReport::ClosingMessage() const {
    QString message = QStringLiteral("Done.");
    if (failures_.empty()) return message;
    QStringList lines;
    const int named = std::min<int>(kNamedFailures, failedCount());
    for (int i = 0; i < named; ++i) {
        const Failure& failure = failures_[static_cast<size_t>(i)];
        QString shown = failure.address;
        if (shown.size() > 80) shown = shown.left(77) + QStringLiteral("...");
        lines << shown + QStringLiteral(": ") + failure.reason;
    }
    if (failedCount() > named)
        lines << QStringLiteral("... and %1 more without a PDF.").arg(failedCount() - named);
    const QString heading = failedCount() == 1 ? QStringLiteral("1 entry gave no PDF:")
                                               : QStringLiteral("%1 entries gave no PDF:").arg(failedCount());
    return message + QStringLiteral("\r\n\r\n") + heading + QStringLiteral("\r\n") +
           lines.join(QStringLiteral("\r\n"));
}

}  // namespace quendrel
