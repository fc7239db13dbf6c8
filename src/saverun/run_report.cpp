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

void RunReport::SavedUnder(const QString& fileName) {
    renamed_.push_back({address_, QStringLiteral("saved as ") + fileName});
}

QString RunReport::EndEntry() {
    if (!inEntry_) return {};
    inEntry_ = false;
    if (succeeded_) return {};
    QString reason = reason_;
    if (reason.isEmpty()) reason = stepFailure_;
    if (reason.isEmpty()) reason = QStringLiteral("no PDF was written");
    failures_.push_back({address_, reason});
    return reason;
}

void RunReport::FailAll(const QStringList& addresses, const QString& reason) {
    for (const QString& address : addresses) failures_.push_back({address, reason});
}

namespace {

// A heading and one "address: what" line per entry, the first kNamedFailures
// of them named and the rest counted.
QString EntryLines(const std::vector<RunReport::EntryLine>& entries, const QString& heading, const QString& more) {
    QStringList lines{heading};
    const int count = static_cast<int>(entries.size());
    const int named = std::min<int>(RunReport::kNamedFailures, count);
    for (int i = 0; i < named; ++i) {
        const RunReport::EntryLine& entry = entries[static_cast<size_t>(i)];
        QString shown = entry.address;
        if (shown.size() > 80) shown = shown.left(77) + QStringLiteral("...");
        lines << shown + QStringLiteral(": ") + entry.what;
    }
    if (count > named) lines << more.arg(count - named);
    return lines.join(QStringLiteral("\r\n"));
}

}  // namespace

QString RunReport::ClosingMessage() const {
    QString message = QStringLiteral("Done.");
    const QString gap = QStringLiteral("\r\n\r\n");
    if (!failures_.empty()) {
        const QString heading = failedCount() == 1 ? QStringLiteral("1 entry gave no PDF:")
                                                   : QStringLiteral("%1 entries gave no PDF:").arg(failedCount());
        message += gap + EntryLines(failures_, heading, QStringLiteral("... and %1 more without a PDF."));
    }
    if (!renamed_.empty()) {
        const QString heading =
            renamed_.size() == 1
                ? QStringLiteral("1 entry was saved under a numbered name, as an earlier entry of this run had its name:")
                : QStringLiteral("%1 entries were saved under numbered names, as earlier entries of this run had "
                                 "their names:").arg(renamed_.size());
        message += gap + EntryLines(renamed_, heading, QStringLiteral("... and %1 more under a numbered name."));
    }
    return message;
}

}  // namespace quendrel
