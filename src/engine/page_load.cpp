#include "page_load.h"

#include "browser_tab.h"
#include "fixed_elements.h"
#include "headless_browser.h"
#include "load_failure.h"
#include "platform/event_pump.h"

#include <algorithm>

namespace quendrel::engine {

namespace {
using Load = BrowserTab::Load;
}  // namespace

PageLoad::PageLoad(std::unique_ptr<BrowserTab>& tab, Navigation go, int loadLimitMs, int settleLimitMs,
                   int answerLimitMs)
    : tab_(tab), go_(std::move(go)), loadLimitMs_(loadLimitMs), settleLimitMs_(settleLimitMs) {
    const long long now = tab_->browser().events().steadyMilliseconds();
    answerDeadline_ = now + std::max(loadLimitMs, answerLimitMs);
    begin(now + loadLimitMs_);
}

PageLoad::~PageLoad() {
    if (tab_) tab_->whenLoaded({});
}

void PageLoad::begin(long long deadline) {
    deadline_ = deadline;
    answerDeadline_ = std::max(answerDeadline_, deadline);
    settle_.reset();
    settled_ = false;
    tab_->whenLoaded([this] { onLoaded(); });
    go_(*tab_);
}

void PageLoad::onLoaded() {
    // Each document that loads settles; one that replaces it settles anew.
    settled_ = false;
    settledDocument_ = tab_->documents();
    settle_ = std::make_unique<PageSettle>(*tab_, kPageQuietMs, settleLimitMs_);
    QObject::connect(settle_.get(), &PageSettle::settled, [this] { onSettled(); });
    settle_->start();
}

void PageLoad::onSettled() {
    // A settle over a document that has been replaced since counts for nothing.
    settled_ = tab_->documents() == settledDocument_ && tab_->load() == Load::Loaded;
}

bool PageLoad::answers() { return tab_->evaluateNow(QStringLiteral("1"), kPageAnswerLimitMs).has_value(); }

LoadOutcome PageLoad::await() {
    platform::EventPump& events = tab_->browser().events();
    BrowserTab& tab = *tab_;
    platform::WaitUntil(events, [&] { return settled_ || tab.load() == Load::Failed; }, deadline_);
    platform::WaitUntil(events, [&] { return settled_ || tab.load() != Load::Pending; }, answerDeadline_);
    bool inPart = false;
    if (!settled_ && tab.load() != Load::Failed) {
        // The load limit has passed.
        const Load load = tab.load();
        tab.whenLoaded({});
        if (load == Load::Pending) {
            tab.stopLoading();
            const long long limitMs = answerDeadline_ - deadline_ + loadLimitMs_;
            return {LoadOutcome::Failed, QStringLiteral("the page did not answer within %1 s").arg(limitMs / 1000.0)};
        }
        const bool settling = settle_ && !settle_->isDone() && settledDocument_ == tab.documents();
        if (!settling) {
            // Still loading at the limit: taken as far as it got, unless its
            // script holds the engine.
            if (!answers()) return {LoadOutcome::HeldByScript, QStringLiteral("the page does not answer")};
            tab.stopLoading();
            inPart = true;
            settle_ = std::make_unique<PageSettle>(tab, kPageQuietMs, settleLimitMs_);
            settle_->start();
        }
        platform::WaitUntil(events, [&] { return settle_->isDone() || tab.load() == Load::Failed; },
                            platform::kNoDeadline);
    }
    tab.whenLoaded({});
    if (tab.load() == Load::Failed) return {LoadOutcome::Failed, tab.failure()};
    // A page still changing at the settle limit may be busy, or its script
    // may hold the engine: a question tells which.
    if (settle_->reachedLimit() && !answers()) {
        if (tab.crashed()) return {LoadOutcome::Failed, tab.failure()};
        return {LoadOutcome::HeldByScript, QStringLiteral("the page does not answer")};
    }
    // The server's own page for an error is no page of the site.
    if (tab.status() >= 400) return {LoadOutcome::Failed, HttpFailureText(tab.status(), tab.statusText())};
    return {inPart ? LoadOutcome::LoadedInPart : LoadOutcome::Loaded, {}};
}

LoadOutcome PageLoad::finish() {
    const LoadOutcome outcome = await();
    if (outcome.kind != LoadOutcome::HeldByScript || !tab_->runsScripts()) return outcome;
    // The engine cannot stop a script that never yields: its renderer is
    // ended, and the page made afresh in a tab that runs no scripts.
    HeadlessBrowser& browser = tab_->browser();
    tab_->crash();
    tab_.reset();
    tab_ = std::make_unique<BrowserTab>(browser, /*scripts=*/false);
    begin(std::max(deadline_, browser.events().steadyMilliseconds() + kLoadWithoutScriptsMs));
    return await();
}

LoadOutcome LoadAndSettle(std::unique_ptr<BrowserTab>& tab, Navigation go, int loadLimitMs, int settleLimitMs,
                          int answerLimitMs) {
    PageLoad load(tab, std::move(go), loadLimitMs, settleLimitMs, answerLimitMs);
    return load.finish();
}

ConsentOutcome PrepareForPaper(BrowserTab& tab, bool keepConsentDialogs) {
    const ConsentOutcome consent = keepConsentDialogs ? ConsentOutcome::None : DealWithConsentDialogs(tab);
    (void)tab.evaluateNow(PinFixedElementsScript(), kPageAnswerLimitMs);
    return consent;
}

}  // namespace quendrel::engine
