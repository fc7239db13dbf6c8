#include "engine_rendering.h"

#include "file_helpers.h"
#include "page_ahead.h"
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
    capturePath_ = capturePath;
    captureAddress_ = address;
    const std::unique_ptr<AheadWork> work = ahead_.Take({address, 1});
    if (auto* ahead = dynamic_cast<AheadCapture*>(work.get())) {
        ahead->FinishInto(&progress_, entryCount_(), capturePath);
        return;
    }
    quendrel::CaptureSnapshot(snapshots(), &progress_, entryCount_(), address, capturePath);
}

SnapshotPlatform EngineRendering::snapshots() const {
    return {platform_.desktop, platform_.processes, platform_.events};
}

void EngineRendering::LoadPicture(const QString& capturePath) {
    picture_.Load(capturePath, capturePath == capturePath_ ? captureAddress_ : QString());
}

int EngineRendering::LoadAndPrintPage(const QString& target) {
    const std::unique_ptr<AheadWork> work = ahead_.Take({target, 2});  // released when the entry is done
    if (auto* ahead = dynamic_cast<AheadPage*>(work.get())) return ahead->PrintInto(target);
    const bool copy = copy_ && copy_->path == target;
    if (const std::unique_ptr<AheadWork> ahead = std::move(copyAhead_); copy && ahead)
        if (const std::optional<int> job = static_cast<AheadDownload&>(*ahead).PrintCopy(target, copy_->address))
            return *job;
    if (!(copy ? browser_.LoadCopy(target, copy_->source) : browser_.LoadPage(target))) return 0;
    return browser_.PrintLoadedPage(copy ? copy_->address : target);
}

void EngineRendering::DownloadPageToFile(const QString& address, const QString& path) {
    copy_.reset();
    copyAhead_ = ahead_.Take({address, 3});
    auto* ahead = dynamic_cast<AheadDownload*>(copyAhead_.get());
    const DownloadedPage source =
        ahead ? ahead->WriteTo(path) : quendrel::DownloadPageToFile(platform_.events, address, path);
    copy_ = DownloadedCopy{path, address, source};
}

void EngineRendering::LookAhead(const QList<AheadEntry>& coming) {
    copyAhead_.reset();  // the last entry's copy is done with
    ahead_.Plan(coming, [this](const AheadEntry& entry) -> std::unique_ptr<AheadWork> {
        switch (entry.method) {
        case 1: {
            auto capture = std::make_unique<AheadCapture>(snapshots(), entry.address);
            if (capture->prepared()) return capture;
            return nullptr;
        }
        case 2:
            return std::make_unique<AheadPage>(platform_.events, platform_.printers, entry.address);
        case 3:
            return std::make_unique<AheadDownload>(platform_.events, platform_.printers, entry.address);
        default:
            return nullptr;
        }
    });
}

void EngineRendering::DeleteFileQuietly(const QString& path) {
    quendrel::DeleteFileQuietly(platform_.events, path);
}

}  // namespace quendrel
