#pragma once
// The real ways a page reaches the printer: the capture program and the
// picture print for snapshots, the web engine for pages, Qt Network for
// downloads.
#include "browser_print.h"
#include "page_rendering.h"
#include "snapshot_print.h"

#include <functional>

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
    void LoadPicture(const QString& capturePath) override { picture_.Load(capturePath); }
    void SetDeviceUnits() override { picture_.SetDeviceUnits(); }
    void DrawPicture() override { picture_.Draw(); }
    int EndDocument(const QString& title) override { return picture_.EndDocument(title); }
    int LoadAndPrintPage(const QString& target) override;
    void DownloadPageToFile(const QString& address, const QString& path) override;
    void DeleteFileQuietly(const QString& path) override;

private:
    platform::Platform& platform_;
    ProgressDisplay& progress_;
    std::function<int()> entryCount_;
    BrowserPrint browser_;
    PicturePrint picture_;
};

}  // namespace quendrel
