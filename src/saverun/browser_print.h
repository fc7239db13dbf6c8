#pragma once
// Loading a page in the hidden browser and printing it, as the engine lays it
// out for paper, to the default printer.
#include <QPointer>
#include <QString>
#include <memory>

class QWebEnginePage;
class QWebEngineView;
class QWidget;

namespace quendrel {

namespace platform {
class EventPump;
class PrintSystem;
}  // namespace platform

// How long a page may take to load before it is printed as far as it got.
inline constexpr int kPageLoadLimitSeconds = 60;
// How long the engine may take to lay out and print a loaded page.
inline constexpr int kPagePrintLimitSeconds = 60;

// The browser of the main window. Its page view is made inside the host
// widget on first use (so start-up stays fast) and lives as long as the host;
// it keeps showing the last page it printed. Without a host the view is a
// window of its own that is never shown.
//
// The view's page cannot read local files through file addresses, also when
// the page itself is a local file (a downloaded copy in the output folder is
// foreign content); remote resources still load. Script dialogs and file
// choosers of a page are answered quietly, so a page never stops a run.
class BrowserPrint {
public:
    BrowserPrint(QWidget* host, platform::EventPump& events, platform::PrintSystem& printers,
                 int loadLimitSeconds = kPageLoadLimitSeconds);
    ~BrowserPrint();
    BrowserPrint(const BrowserPrint&) = delete;
    BrowserPrint& operator=(const BrowserPrint&) = delete;

    // Navigates to the target (a local file path or an address, see
    // PageUrlFromTarget), waits for the load with window events handled, at
    // most the load limit, then prints the page with the engine's own page
    // set-up and submits the PDF to the default printer as one job. Gives the
    // job's id. A page that fails to load is printed as the engine shows it
    // (its error page). Throws Failure when the engine gives no PDF or the
    // print system refuses the job.
    int LoadAndPrintPage(const QString& target);

    // The two halves of LoadAndPrintPage, for a caller that treats a failed
    // load differently. LoadPage gives true when the engine reports the load
    // succeeded, false when it failed (the view then shows the engine's error
    // page) or did not end within the load limit.
    bool LoadPage(const QString& target);
    // Prints what the view shows now; the job is titled with the page's title,
    // or with the title given when the page has none.
    int PrintLoadedPage(const QString& fallbackTitle);

    // The view's page; null before the first print.
    QWebEnginePage* page() const;

private:
    QWebEngineView& view();
    QByteArray printToPdf(QWebEnginePage& page);

    QWidget* host_;
    platform::EventPump& events_;
    platform::PrintSystem& printers_;
    int loadLimitSeconds_;
    QPointer<QWebEngineView> view_;
    std::unique_ptr<QWebEngineView> ownView_;  // only when there is no host
};

}  // namespace quendrel
