#include "page_capture.h"

#include "capture_options.h"
#include "deadline_pump.h"
#include "jpeg_output.h"
#include "page_picture.h"
#include "engine/browser_tab.h"
#include "platform/failure.h"
#include "engine/headless_browser.h"
#include "engine/page_load.h"

#include <algorithm>
#include <climits>
#include <memory>

namespace iecapt {

namespace {

using quendrel::engine::BrowserTab;
using quendrel::engine::HeadlessBrowser;
using quendrel::engine::LoadOutcome;

class Capture {
public:
    Capture(DeadlinePump& events, QUrl address, long long loadDeadline, bool dealWithConsent)
        : events_(events),
          address_(std::move(address)),
          loadDeadline_(loadDeadline),
          dealWithConsent_(dealWithConsent),
          browser_(events, CaptureEngineOptions()) {}

    CaptureOutcome run(const QString& outputPath) {
        try {
            browser_.start();
            tab_ = std::make_unique<BrowserTab>(browser_);
            const QUrl address = address_;
            // Before any document shows, only the program's time limit ends
            // the wait.
            const long long now = events_.steadyMilliseconds();
            const LoadOutcome loaded = quendrel::engine::LoadAndSettle(
                tab_, [address](BrowserTab& tab) { tab.navigate(address); },
                static_cast<int>(std::max<long long>(0, loadDeadline_ - now)), quendrel::engine::kPageSettleLimitMs,
                static_cast<int>(std::clamp<long long>(events_.deadline() - now, 0, INT_MAX)));
            if (!loaded.shows())
                return {kExitCaptureFailed,
                        QStringLiteral("cannot load %1: %2").arg(address_.toDisplayString(), loaded.failure)};
            consent_ = quendrel::engine::PrepareForPaper(*tab_, !dealWithConsent_);
            const PagePicture picture = takePicture(*tab_);
            // A renderer that went on the way leaves a blank picture.
            if (tab_->crashed()) return failure(tab_->failure());
            if (!picture.error.isEmpty()) return failure(picture.error);
            tab_.reset();
            browser_.end();  // before the write: the engine's memory is given back
            const QString error = writeJpegAtomically(picture.image, outputPath);
            if (!error.isEmpty()) return {kExitCaptureFailed, error, consent_};
            return {kExitCaptured, {}, consent_};
        } catch (const quendrel::Failure& failure) {
            return {kExitCaptureFailed, failure.description()};
        }
    }

private:
    CaptureOutcome failure(const QString& why) const {
        return {kExitCaptureFailed, QStringLiteral("cannot capture %1: %2").arg(address_.toDisplayString(), why), consent_};
    }

    DeadlinePump& events_;
    QUrl address_;
    long long loadDeadline_;
    bool dealWithConsent_;
    quendrel::engine::ConsentOutcome consent_ = quendrel::engine::ConsentOutcome::None;
    HeadlessBrowser browser_;
    std::unique_ptr<BrowserTab> tab_;
};

}  // namespace

CaptureOutcome capturePage(DeadlinePump& events, const QUrl& address, const QString& outputPath,
                           long long loadDeadline, bool dealWithConsent) {
    Capture capture(events, address, loadDeadline, dealWithConsent);
    return capture.run(outputPath);
}

}  // namespace iecapt
