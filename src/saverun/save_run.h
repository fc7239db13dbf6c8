#pragma once
// "Start Saving As PDF": the walk over the site list that turns every entry
// into one PDF file in the output folder, through the PDF printer.
#include "file_naming.h"
#include "page_rendering.h"
#include "platform/print_system.h"
#include "run_report.h"

#include <QElapsedTimer>
#include <QString>

namespace quendrel {

namespace platform {
class EventPump;
class PrintSystem;
}  // namespace platform
class ErrorReport;
class ErrorTrap;
class RunFrontEnd;
class PrinterControl;
class ProgressDisplay;

// What a run reaches.
struct SaveRunParts {
    RunFrontEnd& front;  // also the list of entries
    ProgressDisplay& progress;
    PrinterControl& printer;
    PageRendering& rendering;
    platform::PrintSystem& printers;
    platform::EventPump& events;
    ErrorReport& report;
};

// How long the run waits for the printer to finish one job before it gives
// the job up. A held queue can take long; a job that takes longer fails.
inline constexpr int kJobWaitLimitSeconds = 120;

class SaveRun {
public:
    explicit SaveRun(SaveRunParts parts) : p_(parts) {}

    void PushButton2_Click();
    // Puts back the default printer that a run in progress replaced (also
    // when the window closes during a run): the user's own again, or none of
    // their own when they had the server's or none. Throws Failure when that
    // cannot be done.
    void RestoreDefaultPrinter();
    // Removes the temporary file (picture or page copy) that the entry in
    // hand has in the output folder, when the window closes during a run;
    // the run would have removed it after the entry's print. Never fails.
    void DeleteTemporaryFile();
    // Abandons the run in progress, as its process is about to end (the
    // window closes, the command line is stopped by a signal): the entry in
    // hand's temporary file goes, then the work started ahead of it and the
    // web engine, then the default printer the run replaced is put back.
    // Throws Failure, after all of that, only when the printer cannot be.
    void Abandon();
    // How many entries after the one in hand the rendering prepares while it
    // prints; 0 prepares none.
    void SetLookAheadEntries(int entries) { lookAhead_ = entries; }

private:
    struct Entry;
    enum class Fallback { BlockingPause, PauseWithEvents };

    void ProcessEntry(ErrorTrap& trap, int position, int count);
    // Names the entry in hand and the next ones, up to the count read when
    // the walk began, with the method selected now.
    void LookAhead(int position, int count);
    int SelectedMethod() const;
    // An entry that wrote its PDF keeps that name for the rest of the run; a
    // numbered one is said in the closing message.
    void KeepWrittenName(const Entry& entry);
    // The PDF an entry's address leads to in the folder, before any number
    // this run adds.
    QString PdfPathOf(const QString& address) const;
    // An entry the front end leaves out is reported as skipped, and ends.
    bool Skipped(const Entry& entry, const QElapsedTimer& took);
    void Method1(ErrorTrap& trap, Entry& entry);
    void Method2(ErrorTrap& trap, Entry& entry);
    void Method3(ErrorTrap& trap, Entry& entry);
    // Waits, with window events handled, until the printer says the job is
    // done; where it cannot say, the method's fixed pause stands in. Gives
    // false when the job's state was not known.
    bool AwaitJob(Entry& entry, Fallback fallback);
    void PauseWithEvents(int seconds);
    // Handles window events as they come until the time has passed.
    void WaitWithEvents(int milliseconds);
    QString FolderText() const;
    QStringList AllAddresses() const;

    SaveRunParts p_;
    RunReport report_;
    WrittenPdfs written_;
    // The entry's picture or page copy while it lies in the output folder.
    QString temporaryFile_;
    bool defaultSwitched_ = false;
    int lookAhead_ = kLookAheadEntries;
    platform::DefaultPrinter previousDefault_;
};

// True only for an existing directory; never fails.
bool FolderExists(const QString& path);

}  // namespace quendrel
