#pragma once
// Loading a page in a tab of the run's headless browser and printing it, as
// the engine lays it out for paper, to the default printer.
#include "engine/page_load.h"
#include "engine/consent_dialogs.h"
#include "engine/page_settle.h"

#include <QString>

class QFile;
#include <functional>
#include <memory>

namespace quendrel {

namespace platform {
class EventPump;
class PrintSystem;
}  // namespace platform
namespace engine {
class BrowserTab;
class HeadlessBrowser;
}  // namespace engine
struct DownloadedPage;

// How long a page may take to load before it is printed as far as it got.
inline constexpr int kPageLoadLimitSeconds = 60;
// How long the engine may take to lay out and print a loaded page.
inline constexpr int kPagePrintLimitSeconds = 60;

// One page in flight: a tab of its own, taken on first use (one the engine
// kept from an earlier page, or a new one) in the window's size of a desktop
// browser, so the page lays itself out and loads as it would for a person.
// A tab whose renderer crashed, or whose engine ended, is replaced at the
// next load; the tab goes back to the engine with this object.
//
// Pages cannot read local files through file addresses; remote resources
// still load. Script dialogs, file choosers, downloads, permission prompts
// and pop-ups of a page are answered or refused, so a page never stops a run.
class BrowserPrint {
public:
    BrowserPrint(engine::HeadlessBrowser& browser, platform::PrintSystem& printers,
                 int loadLimitSeconds = kPageLoadLimitSeconds, int settleLimitMs = engine::kPageSettleLimitMs);
    ~BrowserPrint();
    BrowserPrint(const BrowserPrint&) = delete;
    BrowserPrint& operator=(const BrowserPrint&) = delete;

    // Navigates to the target (a local file path or an address, see
    // PageUrlFromTarget) and prints it, as LoadPage and PrintLoadedPage do.
    // Gives the job's id, or 0 when the page did not load (see failure()).
    // Throws Failure when the engine cannot start or gives no PDF, or the
    // print system refuses the job.
    int LoadAndPrintPage(const QString& target);

    // Navigates to the target and waits, with window events handled, for the
    // load (at most the load limit), then for the page to settle (at most the
    // settle limit, see PageSettle). Gives true when the page loaded, or when
    // the load limit passed with a document of the page showing; false when
    // it failed (no answer, an error of the network, an HTTP status of 400 or
    // more, a crash): failure() then says why.
    bool LoadPage(const QString& target);
    // LoadPage in two halves, for a page loaded ahead of its turn: the load
    // starts now and the page starts to settle as soon as it has loaded,
    // while window events are handled elsewhere; FinishLoad waits for what
    // is left of both and gives what LoadPage would have given.
    void StartLoad(const QString& target);
    // The same for a downloaded copy's bytes, as LoadCopy gives them.
    void StartCopyLoad(const QByteArray& data, const DownloadedPage& source);
    bool FinishLoad();
    // The same for a downloaded copy: its bytes, read from the file, answer
    // the request for the address it was downloaded from, with the server's
    // content type, so the copy renders as the live page did. A page file
    // that cannot be read (an empty download writes none) is a page that did
    // not load.
    bool LoadCopy(const QString& path, const DownloadedPage& source);
    // Prints what the tab shows now. The job is titled with the page's
    // title, or with the address when the page has none; the PDF's document
    // properties name the title, the address, the time of printing and the
    // engine. Gives 0, with failure() saying why, when the page crashed on
    // the way: no PDF of it is sent.
    int PrintLoadedPage(const QString& address);

    // Why the last load failed, in words for users; empty after a success.
    QString failure() const { return failure_; }

    // Whether consent dialogs are printed as the page shows them, instead of
    // refused or removed first (see engine/consent_dialogs.h).
    void KeepConsentDialogs(bool keep) { keepConsentDialogs_ = keep; }
    // What was done with the consent dialogs of the last page printed.
    engine::ConsentOutcome consent() const { return consent_; }

private:
    using Navigation = engine::Navigation;

    engine::BrowserTab& tab();
    void begin(const Navigation& go);
    static Navigation copyNavigation(const QByteArray& data, const DownloadedPage& source);
    bool lostPage();
    bool printInto(QFile& file);

    engine::HeadlessBrowser& browser_;
    platform::EventPump& events_;
    platform::PrintSystem& printers_;
    int loadLimitSeconds_;
    int settleLimitMs_;
    std::unique_ptr<engine::BrowserTab> tab_;
    std::unique_ptr<engine::PageLoad> pending_;  // started by StartLoad
    QString failure_;
    bool keepConsentDialogs_ = false;
    engine::ConsentOutcome consent_ = engine::ConsentOutcome::None;
};

}  // namespace quendrel
