#pragma once
// The real ways a page reaches the printer: the capture program and the
// picture print for snapshots, the web engine for pages, Qt Network for
// downloads. The engine of a run starts with its first page and ends with
// the run.
#include "browser_print.h"
#include "look_ahead_queue.h"
#include "page_download.h"
#include "page_rendering.h"
#include "engine/headless_browser.h"
#include "snapshot_print.h"

#include <functional>
#include <optional>

namespace quendrel {

namespace platform { struct Platform; }
class ProgressDisplay;

class EngineRendering : public PageRendering {
public:
    // Each picture loaded for printing is shown by showPicture (which may be
    // empty). entryCount gives the length of the list.
    EngineRendering(platform::Platform& platform, PictureHolder showPicture, ProgressDisplay& progress,
                    std::function<int()> entryCount);

    void CaptureSnapshot(const QString& address, const QString& capturePath) override;
    void LoadPicture(const QString& capturePath) override;
    void SetDeviceUnits() override { picture_.SetDeviceUnits(); }
    void DrawPicture() override { picture_.Draw(); }
    int EndDocument(const QString& title) override { return picture_.EndDocument(title); }
    int LoadAndPrintPage(const QString& target) override;
    void DownloadPageToFile(const QString& address, const QString& path) override;
    void DeleteFileQuietly(const QString& path) override;
    QString LastFailure() const override { return failure_; }
    engine::ConsentOutcome LastConsent() const override { return consent_; }
    // Consent dialogs printed as pages show them, or refused and removed
    // (the default). Unless this is called, the window's setting
    // "KeepConsentDialogs" decides, read afresh for each entry.
    void KeepConsentDialogs(bool keep) { keepConsentDialogs_ = keep; }
    // Starts, for each coming entry, the load, download or capture of its
    // method; the entry's own call then finishes what was started. No entry
    // coming is the end of the run: everything is released and the engine
    // ends.
    void LookAhead(const QList<AheadEntry>& coming) override;

private:
    SnapshotPlatform snapshots();
    bool keepsConsentDialogs() const;
    int printPage(const QString& target);
    std::unique_ptr<AheadWork> startAhead(const AheadEntry& entry);

    // The last download, so its page file is loaded as the page it came from.
    struct DownloadedCopy {
        QString path;
        QString address;  // as the entry names it
        DownloadedPage source;
    };

    platform::Platform& platform_;
    ProgressDisplay& progress_;
    std::function<int()> entryCount_;
    engine::HeadlessBrowser engine_;
    BrowserPrint browser_;
    PicturePrint picture_;
    // The last capture, so its picture is printed with the address it shows.
    QString capturePath_;
    QString captureAddress_;
    std::optional<DownloadedCopy> copy_;
    QString failure_;
    std::optional<bool> keepConsentDialogs_;
    engine::ConsentOutcome consent_ = engine::ConsentOutcome::None;
    LookAheadQueue ahead_;
    // The entry in hand's download, with its copy loaded ahead, until printed.
    std::unique_ptr<AheadWork> copyAhead_;
};

}  // namespace quendrel
