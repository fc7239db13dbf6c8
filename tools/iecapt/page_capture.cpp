#include "page_capture.h"

#include "deadline_pump.h"
#include "jpeg_output.h"
#include "page_picture.h"
#include "engine/browser_tab.h"
#include "platform/failure.h"
#include "engine/headless_browser.h"
#include "engine/page_settle.h"

#include <algorithm>
#include <memory>

namespace iecapt {

namespace {

using quendrel::engine::BrowserTab;
using quendrel::engine::HeadlessBrowser;
using quendrel::engine::PageSettle;
using Load = BrowserTab::Load;

// A page that does not answer a question in this long has a script that
// holds the engine: its renderer is ended and the page made afresh without
// scripts.
constexpr int kAnswerLimitMs = 2000;
// A wait for the engine looks at the state at least this often; it wakes at
// once when an event arrives.
constexpr int kWaitSliceMs = 100;
// The load of the page made afresh without scripts gets at least this long.
constexpr int kLoadWithoutScriptsMs = 3000;

bool ended(Load load) { return load == Load::Loaded || load == Load::Failed; }

// Waits for the load: to its end, or, once the deadline has passed, to the
// first document of the page. Before any document shows, only the time
// limit ends the wait.
void awaitLoad(DeadlinePump& events, BrowserTab& tab, long long deadline) {
    while (!ended(tab.load()) && !(tab.load() == Load::Committed && events.steadyMilliseconds() >= deadline))
        events.waitForEvents(
            static_cast<int>(std::clamp<long long>(deadline - events.steadyMilliseconds(), 1, kWaitSliceMs)));
}

bool answers(BrowserTab& tab) { return tab.evaluateNow(QStringLiteral("1"), kAnswerLimitMs).has_value(); }

// Whether the page settled with its scripts answering; false when a script
// holds the engine.
bool settle(DeadlinePump& events, BrowserTab& tab) {
    PageSettle settle(tab);
    settle.start();
    while (!settle.isDone()) events.waitForEvents(kWaitSliceMs);
    // A page still changing at the limit may be busy, or its script may hold
    // the engine: a question tells which.
    return !settle.reachedLimit() || answers(tab);
}

class Capture {
public:
    Capture(DeadlinePump& events, QUrl address, long long loadDeadline, bool dealWithConsent)
        : events_(events),
          address_(std::move(address)),
          loadDeadline_(loadDeadline),
          dealWithConsent_(dealWithConsent),
          browser_(events) {}

    CaptureOutcome run(const QString& outputPath) {
        try {
            browser_.start();
            tab_ = std::make_unique<BrowserTab>(browser_);
            bool held = !load(loadDeadline_);
            if (!failure_.isEmpty()) return {kExitCaptureFailed, failure_};
            if (held || !settle(events_, *tab_)) {
                remakeWithoutScripts();
                held = !load(std::max(loadDeadline_, events_.steadyMilliseconds() + kLoadWithoutScriptsMs));
                if (!failure_.isEmpty()) return {kExitCaptureFailed, failure_};
                if (held) return failure(QStringLiteral("the page does not answer"));
                settle(events_, *tab_);
            }
            const PagePicture picture = takePicture(*tab_, dealWithConsent_);
            consent_ = picture.consent;
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

    // Loads the address in the tab; false when the page's script holds the
    // engine. A load that failed leaves its reason in failure_.
    bool load(long long deadline) {
        tab_->navigate(address_);
        awaitLoad(events_, *tab_, deadline);
        if (tab_->load() == Load::Failed) {
            failure_ = loadFailure();
            return true;
        }
        if (tab_->load() == Load::Loaded) return true;
        // Still loading at the limit: taken as far as it got, unless its
        // script holds the engine.
        if (!answers(*tab_)) return false;
        tab_->stopLoading();
        return true;
    }

    QString loadFailure() const {
        // An error status with a page of the server's own loads and is
        // captured, as a browser shows it; without one the engine would show
        // an error page of its own, which is no capture of the site.
        if (tab_->status() >= 400)
            return QStringLiteral("cannot load %1: the server answered HTTP %2 without a page")
                .arg(address_.toDisplayString())
                .arg(tab_->status());
        return QStringLiteral("cannot load %1: %2").arg(address_.toDisplayString(), tab_->failure());
    }

    void remakeWithoutScripts() {
        // The engine cannot stop a script that never yields: its renderer is
        // ended, and the page made afresh in a tab that runs no scripts.
        tab_->crash();
        tab_.reset();
        tab_ = std::make_unique<BrowserTab>(browser_, /*scripts=*/false);
        failure_.clear();
    }

    DeadlinePump& events_;
    QUrl address_;
    long long loadDeadline_;
    bool dealWithConsent_;
    quendrel::engine::ConsentOutcome consent_ = quendrel::engine::ConsentOutcome::None;
    HeadlessBrowser browser_;
    std::unique_ptr<BrowserTab> tab_;
    QString failure_;
};

}  // namespace

CaptureOutcome capturePage(DeadlinePump& events, const QUrl& address, const QString& outputPath,
                           long long loadDeadline, bool dealWithConsent) {
    Capture capture(events, address, loadDeadline, dealWithConsent);
    return capture.run(outputPath);
}

}  // namespace iecapt
