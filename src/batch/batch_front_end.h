#pragma once
// The command line as a save run's front end: a fixed list, folder and method,
// messages and progress on standard error, one JSON line per entry on
// standard output, and a stop asked for by a signal.
#include "saverun/progress_display.h"
#include "saverun/run_front_end.h"

#include <QString>
#include <QStringList>
#include <cstdio>

namespace quendrel {

// One JSON object on one line: address, pdf, status, reason, seconds.
QByteArray EntryJsonLine(const EntryOutcome& outcome);

class BatchProgress;

class BatchFrontEnd : public RunFrontEnd {
public:
    BatchFrontEnd(QStringList entries, QString folder, int method, bool skipExisting, std::FILE* out,
                  BatchProgress& progress);

    bool IsBusy() const override { return false; }
    int EntryCount() const override { return static_cast<int>(entries_.size()); }
    QString EntryTextAt(int row) const override { return entries_.value(row); }
    QString FolderText() const override { return folder_; }
    int SelectedMethod() const override { return method_; }
    void ShowHourglass() override {}
    void ShowDefaultPointer() override {}
    // A line on standard error; the closing report is left to the summary.
    void Message(const QString& text) override;
    bool SwitchesDefaultPrinter() const override { return false; }
    bool SkipsEntry(const QString& pdfPath) override;
    bool GoesOn() override { return stopSignal_ == 0; }
    void EntryEnded(const EntryOutcome& outcome) override;

    // The walk ends after the entry in hand.
    void Stop(int signalNumber) { stopSignal_ = signalNumber; }
    int stopSignal() const { return stopSignal_; }
    int endedCount() const { return ended_; }
    int failedCount() const { return failed_; }

private:
    QStringList entries_;
    QString folder_;
    int method_;
    bool skipExisting_;
    std::FILE* out_;
    BatchProgress& progress_;
    int stopSignal_ = 0;
    int ended_ = 0;
    int failed_ = 0;
};

// The run's progress on standard error: a bar redrawn in place, with the
// entry in hand, on a terminal; a plain line per entry otherwise.
class BatchProgress : public ProgressDisplay {
public:
    BatchProgress(std::FILE* err, bool terminal) : err_(err), terminal_(terminal) {}
    QString text() const override { return text_; }
    void setText(const QString& text) override;
    double value() const override { return value_; }
    void setValue(double value) override;
    // A line of its own on standard error, below the bar.
    void Say(const QString& line);
    // Ends the bar's line before other lines are written.
    void EndLine();

private:
    void draw();
    std::FILE* err_;
    bool terminal_;
    QString text_;
    double value_ = 0;
    double printedValue_ = -1;
    bool drawn_ = false;
};

}  // namespace quendrel
