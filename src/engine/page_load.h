#pragma once
// Loading a page in a tab and letting it settle: the one flow every method
// takes, from the browser print of a run to the capture program.
#include "consent_dialogs.h"
#include "page_settle.h"

#include <QString>
#include <functional>
#include <memory>

namespace quendrel::engine {

class BrowserTab;

// How a tab is sent to its page; called again when the page is loaded anew
// without scripts.
using Navigation = std::function<void(BrowserTab&)>;

// A page made afresh without scripts gets at least this long to load.
inline constexpr int kLoadWithoutScriptsMs = 3000;
// A page that does not answer a question in this long has a script that
// holds the engine.
inline constexpr int kPageAnswerLimitMs = 2000;

struct LoadOutcome {
    enum Kind {
        Loaded,        // the last document loaded and settled
        LoadedInPart,  // the load limit passed with a document showing
        Failed,        // no page: a network error, an HTTP status of 400 or more, a crash
        HeldByScript,  // the page's script holds the engine, with scripts and without
    };
    Kind kind = Failed;
    QString failure;  // why, in words for users, when there is no page to print
    bool shows() const { return kind == Loaded || kind == LoadedInPart; }
};

// One load of a page, started at once and finished when asked, so a page can
// load and settle ahead of its turn while events are handled elsewhere.
//
// The page's current document counts: a redirect by HTTP, by script or by a
// meta refresh costs what it costs, and the last document is the one that
// loads, settles and gives the status. A document that replaces the one that
// settled is waited for and settled in turn, within the load limit.
//
// A page whose script holds the engine is loaded once more in a tab that
// runs no scripts, which then takes the place of the tab given.
class PageLoad {
public:
    // A page that shows no document within the answer limit (by default the
    // load limit) fails; one that shows it later is taken as far as it got.
    PageLoad(std::unique_ptr<BrowserTab>& tab, Navigation go, int loadLimitMs, int settleLimitMs = kPageSettleLimitMs,
             int answerLimitMs = 0);
    ~PageLoad();
    PageLoad(const PageLoad&) = delete;
    PageLoad& operator=(const PageLoad&) = delete;

    // Waits, with events handled, for what is left of the load (at most the
    // load limit counted from the start) and of the settle (at most the
    // settle limit). Once only.
    LoadOutcome finish();

private:
    void begin(long long deadline);
    void onLoaded();
    void onSettled();
    LoadOutcome await();
    bool answers();

    std::unique_ptr<BrowserTab>& tab_;
    Navigation go_;
    int loadLimitMs_;
    int settleLimitMs_;
    long long deadline_ = 0;
    long long answerDeadline_ = 0;
    std::unique_ptr<PageSettle> settle_;
    int settledDocument_ = -1;
    bool settled_ = false;
};

// The same, waited for at once.
LoadOutcome LoadAndSettle(std::unique_ptr<BrowserTab>& tab, Navigation go, int loadLimitMs,
                          int settleLimitMs = kPageSettleLimitMs, int answerLimitMs = 0);

// What every page passes after it has settled and before it is printed or
// pictured: its consent dialogs are refused or removed unless they are kept
// (see consent_dialogs.h), then elements fixed to the screen are pinned where
// they stand (see fixed_elements.h). Gives what became of the dialogs.
ConsentOutcome PrepareForPaper(BrowserTab& tab, bool keepConsentDialogs = false);

}  // namespace quendrel::engine
