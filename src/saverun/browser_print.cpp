#include "browser_print.h"

#include "page_address.h"
#include "platform/event_pump.h"
#include "platform/failure.h"
#include "platform/print_system.h"
#include "platform/unattended_web_page.h"

#include <QDir>
#include <QFileInfo>
#include <QPageLayout>
#include <QPageSize>
#include <QTemporaryFile>
#include <QVBoxLayout>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <memory>

namespace quendrel {

namespace {

constexpr int kWaitSliceMs = 100;

void keepLocalFilesPrivate(QWebEngineSettings& settings) {
    settings.setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    settings.setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
    settings.setAttribute(QWebEngineSettings::ErrorPageEnabled, true);
}

}  // namespace

BrowserPrint::BrowserPrint(QWidget* host, platform::EventPump& events, platform::PrintSystem& printers,
                           int loadLimitSeconds)
    : host_(host), events_(events), printers_(printers), loadLimitSeconds_(loadLimitSeconds) {}

BrowserPrint::~BrowserPrint() = default;

QWebEnginePage* BrowserPrint::page() const { return view_ ? view_->page() : nullptr; }

QWebEngineView& BrowserPrint::view() {
    if (view_) return *view_;
    auto* view = new QWebEngineView(host_);
    auto* page = new platform::UnattendedWebPage(QWebEngineProfile::defaultProfile(), view);
    keepLocalFilesPrivate(*page->settings());
    view->setPage(page);
    if (host_) {
        QLayout* layout = host_->layout();
        if (!layout) {
            layout = new QVBoxLayout(host_);
            layout->setContentsMargins(0, 0, 0, 0);
        }
        layout->addWidget(view);
        if (host_->isVisible()) view->show();
    } else {
        ownView_.reset(view);
    }
    view_ = view;
    return *view;
}

bool BrowserPrint::LoadPage(const QString& target) {
    QWebEnginePage& page = *view().page();
    // Only the navigation asked for here counts: a load that was still under
    // way from before reports its end before ours starts.
    struct Progress {
        bool started = false;
        bool ended = false;
        bool succeeded = false;
    };
    auto progress = std::make_shared<Progress>();
    const QMetaObject::Connection watch =
        QObject::connect(&page, &QWebEnginePage::loadingChanged, [progress](const QWebEngineLoadingInfo& info) {
            if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus) {
                *progress = Progress{true, false, false};
            } else if (progress->started) {
                progress->ended = true;
                progress->succeeded =
                    info.status() == QWebEngineLoadingInfo::LoadSucceededStatus && !info.isErrorPage();
            }
        });
    page.load(PageUrlFromTarget(target));
    const long long deadline = events_.steadyMilliseconds() + loadLimitSeconds_ * 1000LL;
    while (!progress->ended && events_.steadyMilliseconds() < deadline) events_.waitForEvents(kWaitSliceMs);
    QObject::disconnect(watch);
    return progress->succeeded;
}

QByteArray BrowserPrint::printToPdf(QWebEnginePage& page) {
    // The result may arrive after the wait has given up; it then lands in a
    // state that outlives this call.
    struct Result {
        bool arrived = false;
        QByteArray pdf;
    };
    auto result = std::make_shared<Result>();
    // A4 with the 1 cm margins a browser prints with; the engine lays the page
    // out for that paper itself.
    const QPageLayout paper(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(10, 10, 10, 10),
                            QPageLayout::Millimeter);
    page.printToPdf(
        [result](const QByteArray& pdf) {
            result->arrived = true;
            result->pdf = pdf;
        },
        paper);
    const long long deadline = events_.steadyMilliseconds() + kPagePrintLimitSeconds * 1000LL;
    while (!result->arrived && events_.steadyMilliseconds() < deadline) events_.waitForEvents(kWaitSliceMs);
    return result->pdf;
}

int BrowserPrint::LoadAndPrintPage(const QString& target) {
    (void)LoadPage(target);
    return PrintLoadedPage(target);
}

int BrowserPrint::PrintLoadedPage(const QString& fallbackTitle) {
    QWebEnginePage& page = *view().page();
    const QByteArray pdf = printToPdf(page);
    if (pdf.isEmpty()) throw Failure(QStringLiteral("The page %1 could not be printed.").arg(page.url().toString()));

    // The print system reads the whole file when the job is submitted, so the
    // file can go as soon as the job exists.
    QTemporaryFile file(QDir::tempPath() + QStringLiteral("/quendrel-page-XXXXXX.pdf"));
    if (!file.open() || file.write(pdf) != pdf.size() || !file.flush())
        throw Failure(QStringLiteral("Cannot write the printed page to %1: %2")
                          .arg(file.fileName(), file.errorString()));
    QString title = page.title();
    if (title.isEmpty()) title = fallbackTitle;
    return printers_.submitPdfToDefault(file.fileName(), title);
}

}  // namespace quendrel
