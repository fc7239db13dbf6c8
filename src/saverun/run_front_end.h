#pragma once
// What a save run needs from the front end that started it (the window, or
// the command line): the list, the folder and the method as they are at each
// entry, the pointer, the picture holder, its messages, and what became of
// each entry. Plain values and calls: the run knows no widget.
#include "engine/consent_dialogs.h"

#include <QImage>
#include <QString>

namespace quendrel {

struct EntryOutcome {
    enum class Status { Written, Failed, Skipped };
    QString address;
    QString pdfPath;  // the PDF written, or the one the entry would have written
    Status status = Status::Failed;
    QString reason;   // why no PDF was written; empty when written or skipped
    double seconds = 0;
    // What was done with the page's consent dialogs before it was printed.
    engine::ConsentOutcome consent = engine::ConsentOutcome::None;
};

class RunFrontEnd {
public:
    virtual ~RunFrontEnd() = default;
    // A run is in progress: a second start is refused.
    virtual bool IsBusy() const = 0;
    // The list as it is now: how many entries it holds, and the text of the
    // entry at a row counted from 0, exactly as listed.
    virtual int EntryCount() const = 0;
    virtual QString EntryTextAt(int row) const = 0;
    // The output folder as the user has set it now.
    virtual QString FolderText() const = 0;
    // The save method selected now: 1, 2 or 3; 0 when none is.
    virtual int SelectedMethod() const = 0;
    virtual void ShowHourglass() = 0;
    virtual void ShowDefaultPointer() = 0;
    // The picture holder: the picture just loaded for printing, or an empty
    // one when a load failed. A front end without a holder shows nothing.
    virtual void ShowPicture(const QImage& picture) { Q_UNUSED(picture) }
    // One of the run's messages: "No files added.", the closing report, ...
    virtual void Message(const QString& text) = 0;
    // Whether the run makes the PDF printer the user's default printer for
    // its time (and puts the old one back). A front end that does not submits
    // its jobs to the PDF printer by name.
    virtual bool SwitchesDefaultPrinter() const { return true; }
    // Whether the entry whose PDF would be this file is left out (and
    // reported as skipped) instead of printed.
    virtual bool SkipsEntry(const QString& pdfPath) { Q_UNUSED(pdfPath) return false; }
    // Whether the walk goes on with the next entry.
    virtual bool GoesOn() { return true; }
    // Called as each entry ends, written, failed or skipped.
    virtual void EntryEnded(const EntryOutcome& outcome) { Q_UNUSED(outcome) }
};

}  // namespace quendrel
