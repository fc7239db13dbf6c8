#pragma once
// What became of each entry of a run, and the closing message built from it.
#include <QString>
#include <vector>

namespace quendrel {

class RunReport {
public:
    // At most this many failed entries are named; the rest are counted.
    static constexpr int kNamedFailures = 15;

    void BeginEntry();
    void NameEntry(const QString& address) { address_ = address; }
    // The entry will give no PDF, for this reason (the first reason given stands).
    void Fail(const QString& reason);
    // A step of the entry failed and was reported in the error box.
    void NoteStepFailure(int step, const QString& description);
    // The entry's PDF is there.
    void Succeed();
    bool EntrySucceeded() const { return succeeded_; }
    // The entry's PDF got another name than its address gives, since an
    // earlier entry of the run had written that one.
    void SavedUnder(const QString& fileName);
    // The entry was left out on purpose: no failure.
    void Skip() { succeeded_ = true; }
    // An entry that neither failed nor succeeded by the end counts as failed.
    // Gives why it gave no PDF; empty when it did or was skipped.
    QString EndEntry();
    // Every entry of the list fails for the same reason (no entry was processed).
    void FailAll(const QStringList& addresses, const QString& reason);

    int failedCount() const { return static_cast<int>(failures_.size()); }
    // "Done." when every entry gave its PDF under its own name; otherwise
    // "Done.", then, each after an empty line, one line per failed entry with
    // its reason and one line per entry saved under a numbered name.
    QString ClosingMessage() const;

    // One line of the closing message: "address: what".
    struct EntryLine {
        QString address;
        QString what;  // why it gave no PDF, or what it was saved as
    };

private:
    std::vector<EntryLine> failures_;
    std::vector<EntryLine> renamed_;
    bool inEntry_ = false;
    bool succeeded_ = false;
    QString address_;
    QString reason_;
    QString stepFailure_;
};

}  // namespace quendrel
