#include "save_run.h"

#include "common/error_trap.h"
#include "common/product.h"
#include "file_naming.h"
#include "job_failure.h"
#include "page_rendering.h"
#include "pdfprinter/printer_names.h"
#include "platform/event_pump.h"
#include "platform/print_system.h"
#include "printer_control.h"
#include "progress_display.h"
#include "run_front_end.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <iterator>

namespace quendrel {

namespace {
const QString kPdfPrinter = QString::fromUtf8(marrowby::kPrinterName);
// A job through the PDF printer takes a few tens of milliseconds: the first
// questions come soon, then one every 100 ms.
constexpr int kJobPollMs[] = {20, 20, 40, 100};
}  // namespace

struct SaveRun::Entry {
    QString address;
    QString capturePath;
    QString pageFilePath;
    QString pdfPath;
    int job = -1;  // 0: the page did not load, so nothing was printed
    engine::ConsentOutcome consent = engine::ConsentOutcome::None;
};

bool FolderExists(const QString& path) {
    if (path.isEmpty()) return false;
    return QFileInfo(path).isDir();
}

QString SaveRun::FolderText() const { return p_.front.FolderText(); }

QStringList SaveRun::AllAddresses() const {
    QStringList addresses;
    for (int row = 0; row < p_.front.EntryCount(); ++row) addresses << p_.front.EntryTextAt(row);
    return addresses;
}

void SaveRun::PushButton2_Click() {
    if (p_.front.IsBusy()) return;  // a run is in progress: a second press is refused
    ErrorTrap trap(p_.report, HandlerLocation("PushButton2_Click"));
    report_ = RunReport();
    written_.Clear();
    trap.onFailure = [this](int step, const QString& description) {
        report_.NoteStepFailure(step, description);
    };
    auto message = [&](const QString& text) { p_.front.Message(text); };

    if (trap.test(100, [&] { return p_.front.EntryCount() == 0; })) {
        trap.step(334, [&] { message(QStringLiteral("No files added.")); });
        return;
    }
    if (trap.test(102, [&] { return !FolderExists(FolderText()); })) {
        trap.step(332, [&] { message(QStringLiteral("Folder does not exist. Please select another folder.")); });
        return;
    }
    if (trap.test(104, [&] { return !p_.printer.IsPdfPrinterInstalled(); })) return;
    trap.step(106, [&] { p_.front.ShowHourglass(); });
    // A front end that submits its jobs to the PDF printer by name leaves the
    // user's default printer alone.
    const bool switching = p_.front.SwitchesDefaultPrinter();
    if (switching) trap.step(108, [&] { previousDefault_ = p_.printer.ReadDefaultPrinter(); });
    if (!switching || trap.test(110, [&] { return defaultSwitched_ = p_.printer.MakeDefaultPrinter(kPdfPrinter); })) {
        int count = 0;
        trap.step(114, [&] { count = p_.front.EntryCount(); });
        for (int position = 1; position <= count && p_.front.GoesOn(); ++position) ProcessEntry(trap, position, count);
        p_.rendering.LookAhead({});  // nothing prepared outlives the walk
        trap.step(316, [&] { PauseWithEvents(1); });
    } else {
        report_.FailAll(AllAddresses(), QStringLiteral("the PDF printer could not be made the default printer"));
    }
    trap.step(318, [&] { RestoreDefaultPrinter(); });
    trap.step(320, [&] { p_.front.ShowDefaultPointer(); });
    trap.step(322, [&] { p_.progress.setValue(0); });
    trap.step(324, [&] { p_.progress.setText(QStringLiteral("Progress Bar")); });
    trap.step(330, [&] { message(report_.ClosingMessage()); });
}

int SaveRun::SelectedMethod() const {
    return p_.front.SelectedMethod();
}

void SaveRun::LookAhead(int position, int count) {
    if (lookAhead_ <= 0) return;  // nothing is prepared: each entry is done in its own turn
    QList<AheadEntry> coming;
    const int method = SelectedMethod();
    const int last = std::min(count, p_.front.EntryCount());  // the list may be shorter, never longer
    for (int next = position; next <= last && next <= position + lookAhead_; ++next) {
        const QString address = p_.front.EntryTextAt(next - 1);
        if (p_.front.SkipsEntry(PdfPathOf(address))) continue;  // nothing to prepare for an entry left out
        coming.push_back({address, method});
    }
    p_.rendering.LookAhead(coming);
}

void SaveRun::ProcessEntry(ErrorTrap& trap, int position, int count) {
    Entry entry;
    QElapsedTimer took;
    took.start();
    report_.BeginEntry();
    trap.step(116, [&] { entry.address = p_.front.EntryTextAt(position - 1); });
    report_.NameEntry(entry.address);
    trap.step(118, [&] { p_.progress.setValue(100.0 * position / p_.front.EntryCount()); });
    trap.step(120, [&] { p_.progress.setText(QStringLiteral("Processing: ") + DisplayNameOf(entry.address)); });
    trap.step(122, [&] { p_.events.processEvents(); });
    LookAhead(position, count);
    trap.step(124, [&] { p_.front.ShowHourglass(); });
    if (Skipped(entry, took)) return;
    trap.step(126, [&] { entry.capturePath = written_.Unused(JoinPath(FolderText(), CaptureName(entry.address, QStringLiteral(".jpg")))); });
    trap.step(146, [&] { p_.front.ShowHourglass(); });
    if (trap.test(148, [&] { return SelectedMethod() == 1; }))
        Method1(trap, entry);
    else if (trap.test(210, [&] { return SelectedMethod() == 2; }))
        Method2(trap, entry);
    else if (trap.test(248, [&] { return SelectedMethod() == 3; }))
        Method3(trap, entry);
    else
        report_.Fail(QStringLiteral("no method selected"));
    trap.step(312, [&] { p_.front.ShowHourglass(); });
    KeepWrittenName(entry);
    const bool written = report_.EntrySucceeded();
    const QString reason = report_.EndEntry();
    // An entry that failed before its PDF was named still says which it was.
    const QString pdfPath = entry.pdfPath.isEmpty() ? PdfPathOf(entry.address) : entry.pdfPath;
    p_.front.EntryEnded({entry.address, pdfPath,
                         written ? EntryOutcome::Status::Written : EntryOutcome::Status::Failed, reason,
                         took.nsecsElapsed() / 1e9, entry.consent});
}

QString SaveRun::PdfPathOf(const QString& address) const {
    return JoinPath(FolderText(), PdfNameFromPath(CaptureName(address, QStringLiteral(".jpg"))));
}

bool SaveRun::Skipped(const Entry& entry, const QElapsedTimer& took) {
    const QString pdfPath = PdfPathOf(entry.address);
    if (!p_.front.SkipsEntry(pdfPath)) return false;
    report_.Skip();
    report_.EndEntry();
    p_.front.EntryEnded({entry.address, pdfPath, EntryOutcome::Status::Skipped, {}, took.nsecsElapsed() / 1e9});
    return true;
}

void SaveRun::KeepWrittenName(const Entry& entry) {
    if (!report_.EntrySucceeded()) return;  // a name nothing was written under stays free
    written_.Add(entry.pdfPath);
    const QString savedAs = QFileInfo(entry.pdfPath).fileName();
    if (savedAs != PdfNameFromPath(CaptureName(entry.address, QStringLiteral(".jpg")))) report_.SavedUnder(savedAs);
}

void SaveRun::Method1(ErrorTrap& trap, Entry& entry) {
    trap.step(150, [&] { p_.rendering.CaptureSnapshot(entry.address, entry.capturePath); });
    entry.consent = p_.rendering.LastConsent();
    if (trap.test(152, [&] { return !QFileInfo::exists(entry.capturePath); })) {
        // The capture program's own words say more than that it failed.
        const QString reason = p_.rendering.LastFailure();
        report_.Fail(reason.isEmpty() ? QStringLiteral("capture failed") : reason);
        return;
    }
    temporaryFile_ = entry.capturePath;
    trap.step(154, [&] { entry.pdfPath = written_.Unused(JoinPath(FolderText(), PdfNameFromPath(entry.capturePath))); });
    trap.step(172, [&] { p_.printer.PointPdfPrinterAt(entry.pdfPath); });
    trap.step(184, [&] { p_.rendering.LoadPicture(entry.capturePath); });
    trap.step(186, [&] { p_.rendering.SetDeviceUnits(); });
    trap.step(188, [&] { p_.rendering.DrawPicture(); });
    trap.step(202, [&] { entry.job = p_.rendering.EndDocument(QFileInfo(entry.pdfPath).fileName()); });
    trap.step(206, [&] { AwaitJob(entry, Fallback::BlockingPause); });
    trap.step(208, [&] { p_.rendering.DeleteFileQuietly(entry.capturePath); });
    temporaryFile_.clear();
}

void SaveRun::Method2(ErrorTrap& trap, Entry& entry) {
    trap.step(212, [&] { entry.pdfPath = written_.Unused(JoinPath(FolderText(), PdfNameFromPath(entry.capturePath))); });
    trap.step(230, [&] { p_.printer.PointPdfPrinterAt(entry.pdfPath); });
    trap.step(244, [&] { entry.job = p_.rendering.LoadAndPrintPage(entry.address); });
    entry.consent = p_.rendering.LastConsent();
    trap.step(246, [&] { AwaitJob(entry, Fallback::PauseWithEvents); });
}

void SaveRun::Method3(ErrorTrap& trap, Entry& entry) {
    bool stateKnown = true;
    trap.step(250, [&] { entry.pageFilePath = written_.Unused(JoinPath(FolderText(), CaptureName(entry.address, QStringLiteral(".htm")))); });
    trap.step(270, [&] { p_.rendering.DownloadPageToFile(entry.address, entry.pageFilePath); });
    if (!QFileInfo::exists(entry.pageFilePath)) {
        const QString why = p_.rendering.LastFailure();  // why the download gave no page, when it knows
        report_.Fail(why.isEmpty() ? QStringLiteral("page could not be downloaded") : why);
    } else {
        temporaryFile_ = entry.pageFilePath;
    }
    trap.step(272, [&] { entry.pdfPath = written_.Unused(JoinPath(FolderText(), PdfNameFromPath(entry.pageFilePath))); });
    trap.step(290, [&] { p_.printer.PointPdfPrinterAt(entry.pdfPath); });
    trap.step(304, [&] { entry.job = p_.rendering.LoadAndPrintPage(entry.pageFilePath); });
    entry.consent = p_.rendering.LastConsent();
    trap.step(306, [&] { stateKnown = AwaitJob(entry, Fallback::PauseWithEvents); });
    if (!stateKnown) trap.step(308, [&] { p_.events.sleepBlocking(2000); });
    trap.step(310, [&] { p_.rendering.DeleteFileQuietly(entry.pageFilePath); });
    temporaryFile_.clear();
}

bool SaveRun::AwaitJob(Entry& entry, Fallback fallback) {
    if (entry.job == 0) {
        const QString why = p_.rendering.LastFailure();
        report_.Fail(why.isEmpty() ? QStringLiteral("page failed to load") : why);
    }
    if (entry.job <= 0) return true;  // a failed step has been reported; nothing to wait for
    const QDateTime printed = QDateTime::currentDateTime().addSecs(-2);
    const long long deadline = p_.events.steadyMilliseconds() + kJobWaitLimitSeconds * 1000LL;
    platform::JobState state = p_.printers.jobState(entry.job);
    for (size_t poll = 0; state == platform::JobState::Pending && p_.events.steadyMilliseconds() < deadline; ++poll) {
        WaitWithEvents(kJobPollMs[std::min(poll, std::size(kJobPollMs) - 1)]);  // one question per interval
        state = p_.printers.jobState(entry.job);
    }
    switch (state) {
    case platform::JobState::Pending:
        p_.printers.cancelJob(entry.job);
        report_.Fail(QStringLiteral("printer job timed out"));
        return true;
    case platform::JobState::Failed:
        report_.Fail(ReasonForFailedJob(p_.printers.jobPrinterMessage(entry.job)));
        return true;
    case platform::JobState::Unknown:
        // The print system cannot say when the job is done: give it the
        // method's fixed time before the printer is pointed elsewhere.
        if (fallback == Fallback::BlockingPause)
            p_.events.sleepBlocking(3000);
        else
            PauseWithEvents(10);
        break;
    case platform::JobState::Finished:
        break;
    }
    const QFileInfo pdf(entry.pdfPath);
    if (pdf.exists() && pdf.lastModified() >= printed)
        report_.Succeed();
    else if (state == platform::JobState::Finished)
        report_.Fail(QStringLiteral("no PDF was written"));
    return state != platform::JobState::Unknown;
}

void SaveRun::PauseWithEvents(int seconds) { WaitWithEvents(seconds * 1000); }

void SaveRun::WaitWithEvents(int milliseconds) {
    platform::WaitFor(p_.events, milliseconds);
}

void SaveRun::DeleteTemporaryFile() {
    if (temporaryFile_.isEmpty()) return;
    QFile::remove(temporaryFile_);
    temporaryFile_.clear();
}

void SaveRun::Abandon() {
    DeleteTemporaryFile();
    p_.rendering.LookAhead({});  // no capture or page started ahead outlives the process, nor the engine
    RestoreDefaultPrinter();
}

void SaveRun::RestoreDefaultPrinter() {
    if (!defaultSwitched_) return;
    defaultSwitched_ = false;
    // A default that could not be read cannot be put back; that was said
    // when it was read. Any other failure is said: the user's default printer
    // would otherwise change without notice.
    using Origin = platform::DefaultPrinter::Origin;
    if (previousDefault_.origin == Origin::Unread || p_.printer.MakeDefaultPrinter(previousDefault_)) return;
    if (previousDefault_.origin == Origin::Own)
        throw Failure(QStringLiteral("The default printer could not be set back to \"%1\".")
                          .arg(previousDefault_.deviceName));
    throw Failure(QStringLiteral("\"%1\" could not be removed as your default printer.").arg(kPdfPrinter));
}

}  // namespace quendrel
