#include "page_ahead.h"

#include "platform/failure.h"
#include "engine/headless_browser.h"
#include "platform/process_launcher.h"

#include <QDir>
#include <QFile>
#include <utility>

namespace quendrel {

namespace {
const QString kPictureName = QStringLiteral("capture.jpg");
}

AheadDownload::AheadDownload(engine::HeadlessBrowser& browser, platform::PrintSystem& printers,
                             const QString& address, bool keepConsentDialogs)
    : engine_(browser),
      events_(browser.events()),
      printers_(printers),
      fetch_(address),
      keepConsentDialogs_(keepConsentDialogs) {
    fetch_.whenEnded([this] { startCopy(); });
}

void AheadDownload::startCopy() {
    try {
        const DownloadedPage source = fetch_.Finish(events_);
        if (fetch_.BodySize() == 0) return;  // no page file: nothing to load ahead
        browser_ = std::make_unique<BrowserPrint>(engine_, printers_);
        browser_->KeepConsentDialogs(keepConsentDialogs_);
        browser_->StartCopyLoad(fetch_.ReadBody(), source);
    } catch (const Failure&) {
        // Said at the entry's own download step.
    }
}

std::optional<int> AheadDownload::PrintCopy(const QString& path, const QString& address) {
    if (!browser_ || !fetch_.IsBodyOf(path)) return std::nullopt;
    return browser_->FinishLoad() ? browser_->PrintLoadedPage(address) : 0;
}

AheadCapture::AheadCapture(SnapshotPlatform platform, const QString& address, int limitMs)
    : platform_(platform), folder_(QDir::tempPath() + QStringLiteral("/quendrel-ahead-XXXXXX")), limitMs_(limitMs) {
    if (!folder_.isValid()) return;
    started_ = StartCapture(platform_, address, folder_.filePath(kPictureName));
    limit_.setSingleShot(true);
    QObject::connect(&limit_, &QTimer::timeout, [this] {
        end();
        started_.failure = QStringLiteral("the capture program did not end within %1 s").arg(limitMs_ / 1000.0);
    });
    if (started_.processId > 0) limit_.start(limitMs);
}

AheadCapture::~AheadCapture() { end(); }

void AheadCapture::end() {
    if (started_.processId > 0) platform_.processes.stop(std::exchange(started_.processId, 0));
    started_.relay.reset();  // what the program made in the run's engine goes with it
}

QString AheadCapture::FinishInto(ProgressDisplay* progressBar, int entryCount, const QString& capturePath,
                                 engine::ConsentOutcome* consent) {
    limit_.stop();
    const QString reason = AwaitCapture(platform_, progressBar, entryCount, std::exchange(started_, {}), consent);
    const QString picture = folder_.filePath(kPictureName);
    if (!QFile::exists(picture)) return reason;
    QFile::remove(capturePath);
    // A rename within one file system; across file systems a copy.
    if (!QFile::rename(picture, capturePath)) QFile::copy(picture, capturePath);
    return {};
}

}  // namespace quendrel
