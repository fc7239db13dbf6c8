#pragma once
// What the engine prepares for an entry before its turn: the page loading and
// settling in a hidden page of its own (method 2), the page fetched into a
// private temporary file (method 3) or the capture program writing into a
// private folder (method 1). Nothing of it reaches the output folder before
// the entry's own turn; releasing it ends whatever is still under way.
#include "browser_print.h"
#include "look_ahead_queue.h"
#include "page_download.h"
#include "snapshot_print.h"

#include <QTemporaryDir>
#include <QTimer>
#include <memory>
#include <optional>

namespace quendrel {

class ProgressDisplay;

// The capture program gives up at its own limit (60 s) and ends itself soon
// after; one started ahead that is still running this long after its start
// is ended.
inline constexpr int kAheadCaptureLimitMs = 65'000;

class AheadPage : public AheadWork {
public:
    AheadPage(engine::HeadlessBrowser& browser, platform::PrintSystem& printers, const QString& address,
              bool keepConsentDialogs = false)
        : browser_(browser, printers) {
        browser_.KeepConsentDialogs(keepConsentDialogs);
        browser_.StartLoad(address);
    }
    // At the entry's turn: as LoadAndPrintPage, with the load under way.
    int PrintInto(const QString& address) {
        return browser_.FinishLoad() ? browser_.PrintLoadedPage(address) : 0;
    }
    // Why the page did not load, when it did not.
    QString failure() const { return browser_.failure(); }
    engine::ConsentOutcome consent() const { return browser_.consent(); }

private:
    BrowserPrint browser_;
};

// The fetch, and once it has ended the copy loading and settling in a hidden
// page of its own, from the bytes the page file will hold.
class AheadDownload : public AheadWork {
public:
    AheadDownload(engine::HeadlessBrowser& browser, platform::PrintSystem& printers, const QString& address,
                  bool keepConsentDialogs = false);
    // At the entry's turn: as DownloadPageToFile, from the fetch under way.
    DownloadedPage WriteTo(const QString& path) { return fetch_.WriteTo(events_, path); }
    // Then, for LoadAndPrintPage of the page file: the copy loaded ahead is
    // printed (the job's id, 0 when it did not load) when the file still
    // holds the bytes it was loaded from; nothing when it does not.
    std::optional<int> PrintCopy(const QString& path, const QString& address);
    QString failure() const { return browser_ ? browser_->failure() : QString(); }
    engine::ConsentOutcome consent() const { return browser_ ? browser_->consent() : engine::ConsentOutcome::None; }

private:
    void startCopy();

    engine::HeadlessBrowser& engine_;
    platform::EventPump& events_;
    platform::PrintSystem& printers_;
    PageFetch fetch_;
    bool keepConsentDialogs_;
    std::unique_ptr<BrowserPrint> browser_;
};

class AheadCapture : public AheadWork {
public:
    AheadCapture(SnapshotPlatform platform, const QString& address, int limitMs = kAheadCaptureLimitMs);
    ~AheadCapture() override;
    // False when no private folder could be made: then nothing was started
    // and the entry is captured in its own turn.
    bool prepared() const { return folder_.isValid(); }

    // At the entry's turn: waits for the program with the waiting display of
    // the process runner, then moves the picture, if one was written, to the
    // capture path (replacing a file there, as the program would).
    // Gives the program's reason when it wrote no picture.
    QString FinishInto(ProgressDisplay* progressBar, int entryCount, const QString& capturePath,
                       engine::ConsentOutcome* consent = nullptr);

private:
    void end();

    SnapshotPlatform platform_;
    QTemporaryDir folder_;
    StartedCapture started_;
    int limitMs_;
    QTimer limit_;
};

}  // namespace quendrel
