#pragma once
// The real ways a page reaches the printer: the capture program and the
// picture print for snapshots, the web engine for pages, Qt Network for
// downloads.
#include "browser_print.h"
#include "look_ahead_queue.h"
#include "page_download.h"
#include "page_rendering.h"
#include "snapshot_print.h"

#include <functional>
#include <optional>

class QLabel;
class QWidget;

namespace quendrel {

namespace platform { struct Platform; }
class ProgressDisplay;

class EngineRendering : public PageRendering {
public:
    // The browser's view is made inside browserHost on first use; the picture
    // is held by pictureHolder. entryCount gives the length of the list.
    EngineRendering(platform::Platform& platform, QWidget* browserHost, QLabel* pictureHolder,
                    ProgressDisplay& progress, std::function<int()> entryCount);

    void CaptureSnapshot(const QString& address, const QString& capturePath) override;
    void LoadPicture(const QString& capturePath) override;
    void SetDeviceUnits() override { picture_.SetDeviceUnits(); }
    void DrawPicture() override { picture_.Draw(); }
    int EndDocument(const QString& title) override { return picture_.EndDocument(title); }
    int LoadAndPrintPage(const QString& target) override;
    void DownloadPageToFile(const QString& address, const QString& path) override;
    void DeleteFileQuietly(const QString& path) override;
    // Starts, for each coming entry, the load, download or capture of its
    // method; the entry's own call then finishes what was started.
    void LookAhead(const QList<AheadEntry>& coming) override;

private:
    SnapshotPlatform snapshots() const;

    // The last download, so its page file is loaded as the page it came from.
    struct DownloadedCopy {
        QString path;
        QString address;  // as the entry names it
        DownloadedPage source;
    };

    platform::Platform& platform_;
    ProgressDisplay& progress_;
    std::function<int()> entryCount_;
    BrowserPrint browser_;
    PicturePrint picture_;
    // The last capture, so its picture is printed with the address it shows.
    QString capturePath_;
    QString captureAddress_;
    std::optional<DownloadedCopy> copy_;
    LookAheadQueue ahead_;
    // The entry in hand's download, with its copy loaded ahead, until printed.
    std::unique_ptr<AheadWork> copyAhead_;
};

}  // namespace quendrel
