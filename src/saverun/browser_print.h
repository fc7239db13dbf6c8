#pragma once
// Loading a page in the hidden browser and printing it, as the engine lays it
// out for paper, to the default printer.
#include "platform/page_settle.h"

#include <QPointer>
#include <QString>
#include <functional>
#include <memory>

class QWebEnginePage;
class QWebEngineView;
class QWidget;

namespace quendrel {

namespace platform {
class EventPump;
class PrintSystem;
}  // namespace platform
struct DownloadedPage;

// How long a page may take to load before it is printed as far as it got.
inline constexpr int kPageLoadLimitSeconds = 60;
// How long the engine may take to lay out and print a loaded page.
inline constexpr int kPagePrintLimitSeconds = 60;

// The browser of the main window. Its page view is made inside the host
// widget on first use (so start-up stays fast) and lives as long as the host;
// it keeps showing the last page it printed. It has the size of a desktop
// browser's window, so the page lays itself out and loads as it would for a
// person; the host shows as much of it as fits. A host that is a window of
// its own, and the view itself when there is no host, is shown without being
// put on the screen, so the page runs as it does for a person.
//
// The view's page cannot read local files through file addresses, also when
// the page itself is a local file (a downloaded copy in the output folder is
// foreign content); remote resources still load. Script dialogs and file
// choosers of a page are answered quietly, so a page never stops a run.
class BrowserPrint {
public:
    BrowserPrint(QWidget* host, platform::EventPump& events, platform::PrintSystem& printers,
                 int loadLimitSeconds = kPageLoadLimitSeconds, int settleLimitMs = platform::kPageSettleLimitMs);
    ~BrowserPrint();
    BrowserPrint(const BrowserPrint&) = delete;
    BrowserPrint& operator=(const BrowserPrint&) = delete;

    // Navigates to the target (a local file path or an address, see
    // PageUrlFromTarget) and prints it, as LoadPage and PrintLoadedPage do.
    // Gives the job's id. A page that fails to load is printed as the engine
    // shows it (its error page). Throws Failure when the engine gives no PDF
    // or the print system refuses the job.
    int LoadAndPrintPage(const QString& target);

    // Navigates to the target and waits, with window events handled, for the
    // load (at most the load limit), then for the page to settle (at most the
    // settle limit, see PageSettle). Gives true when the engine reports the
    // load succeeded, or when the load limit passed with a document of the
    // page showing; false when it failed (the view then shows the engine's
    // error page) or nothing of the page arrived within the load limit.
    bool LoadPage(const QString& target);
    // LoadPage in two halves, for a page loaded ahead of its turn: the load
    // starts now and the page starts to settle as soon as it has loaded,
    // while window events are handled elsewhere; FinishLoad waits for what
    // is left of both and gives what LoadPage would have given.
    void StartLoad(const QString& target);
    // The same for a downloaded copy's bytes, as LoadCopy gives them.
    void StartCopyLoad(const QByteArray& data, const DownloadedPage& source);
    bool FinishLoad();
    // The same for a downloaded copy: its bytes, read from the file, are
    // given to the engine as the page at the address it was downloaded from,
    // with the server's content type, so the copy renders as the live page
    // did. A copy too large to hand over that way is replaced by the live
    // page at that address. A page file that cannot be read (an empty
    // download writes none) is a page that did not load.
    bool LoadCopy(const QString& path, const DownloadedPage& source);
    // Prints what the view shows now. The job is titled with the page's
    // title, or with the address when the page has none; the PDF's document
    // properties name the title, the address and the time of printing.
    // A page whose script holds the engine is loaded again without scripts
    // and printed as it stands then.
    int PrintLoadedPage(const QString& address);

    // The view's page; null before the first load.
    QWebEnginePage* page() const;

private:
    using Navigation = std::function<void(QWebEnginePage&)>;
    struct PendingLoad;

    QWebEngineView& view();
    bool navigate(const Navigation& go);
    std::unique_ptr<PendingLoad> begin(const Navigation& go);
    static Navigation copyNavigation(const QByteArray& data, const DownloadedPage& source);
    bool finish(PendingLoad& load);
    enum class Ending { Succeeded, Failed, TimedOut };
    Ending waitForLoad(QWebEnginePage& page, const Navigation& go);
    bool answers(QWebEnginePage& page, const QString& script, QVariant* answer = nullptr);
    void reloadWithoutScripts(QWebEnginePage& page);
    QByteArray printToPdf(QWebEnginePage& page);

    QWidget* host_;
    platform::EventPump& events_;
    platform::PrintSystem& printers_;
    int loadLimitSeconds_;
    int settleLimitMs_;
    Navigation lastNavigation_;
    QPointer<QWebEngineView> view_;
    std::unique_ptr<QWebEngineView> ownView_;  // only when there is no host
    std::unique_ptr<PendingLoad> pending_;     // started by StartLoad
};

}  // namespace quendrel
