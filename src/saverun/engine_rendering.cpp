#include "engine_rendering.h"

#include "file_helpers.h"
#include "page_download.h"
#include "platform/platform.h"

namespace quendrel {

EngineRendering::EngineRendering(platform::Platform& platform, QWidget* browserHost,
                                 QLabel* pictureHolder, ProgressDisplay& progress,
                                 std::function<int()> entryCount)
    : platform_(platform),
      progress_(progress),
      entryCount_(std::move(entryCount)),
      browser_(browserHost, platform.events, platform.printers),
      picture_(pictureHolder, platform.printers) {}

void EngineRendering::CaptureSnapshot(const QString& address, const QString& capturePath) {
    quendrel::CaptureSnapshot({platform_.desktop, platform_.processes, platform_.events}, &progress_,
                              entryCount_(), address, capturePath);
}

int EngineRendering::LoadAndPrintPage(const QString& target) {
    if (!browser_.LoadPage(target)) return 0;
    return browser_.PrintLoadedPage(target);
}

void EngineRendering::DownloadPageToFile(const QString& address, const QString& path) {
    quendrel::DownloadPageToFile(platform_.events, address, path);
}

void EngineRendering::DeleteFileQuietly(const QString& path) {
    quendrel::DeleteFileQuietly(platform_.events, path);
}

}  // namespace quendrel
