#include "browser_print.h"

#include "page_address.h"
#include "page_download.h"
#include "pdf_properties.h"
#include "platform/event_pump.h"
#include "platform/failure.h"
#include "platform/fixed_elements.h"
#include "platform/print_system.h"
#include "platform/unattended_web_page.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QPageLayout>
#include <QPageSize>
#include <QTemporaryFile>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <memory>
#include <signal.h>
#include <unistd.h>

namespace quendrel {

namespace {

constexpr int kWaitSliceMs = 100;
// The window of a desktop browser.
constexpr QSize kViewSize(1024, 768);
// A page that does not answer a question in this long has a script that
// holds the engine.
constexpr int kAnswerLimitMs = 2000;
// The engine takes a copy's bytes as one data address of at most 2 MB.
constexpr qsizetype kLongestContentAddress = 2 * 1024 * 1024 - 30;

// Which document the page shows: one made later has a later time origin.
const char kDocumentScript[] = "[performance.timeOrigin, location.href]";

void keepLocalFilesPrivate(QWebEngineSettings& settings) {
    settings.setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    settings.setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
    settings.setAttribute(QWebEngineSettings::ErrorPageEnabled, true);
}

bool fitsContentAddress(const QByteArray& data, const QString& type) {
    return QByteArrayLiteral("data:").size() + type.size() + 1 + data.toPercentEncoding().size() <=
           kLongestContentAddress;
}

}  // namespace

BrowserPrint::BrowserPrint(QWidget* host, platform::EventPump& events, platform::PrintSystem& printers,
                           int loadLimitSeconds, int settleLimitMs)
    : host_(host),
      events_(events),
      printers_(printers),
      loadLimitSeconds_(loadLimitSeconds),
      settleLimitMs_(settleLimitMs) {}

BrowserPrint::~BrowserPrint() = default;

QWebEnginePage* BrowserPrint::page() const { return view_ ? view_->page() : nullptr; }

QWebEngineView& BrowserPrint::view() {
    if (view_) return *view_;
    auto* view = new QWebEngineView(host_);
    auto* page = new platform::UnattendedWebPage(QWebEngineProfile::defaultProfile(), view);
    keepLocalFilesPrivate(*page->settings());
    platform::PrepareForSettling(*page);
    view->setPage(page);
    view->resize(kViewSize);
    // A page in a view that is not shown runs no animation frames, sees
    // nothing scroll into view and has its timers slowed: the view is shown,
    // and a host or view that is a window of its own is shown without ever
    // being put on the screen.
    QWidget* window = host_ ? host_ : view;
    if (window->isWindow() && !window->isVisible()) {
        window->setAttribute(Qt::WA_DontShowOnScreen);
        window->show();
    }
    if (window->isVisible()) view->show();
    if (!host_) ownView_.reset(view);
    view_ = view;
    return *view;
}

bool BrowserPrint::answers(QWebEnginePage& page, const QString& script, QVariant* answer) {
    // The answer may arrive after the wait has given up; it then lands in a
    // state that outlives this call.
    struct Answer {
        bool arrived = false;
        QVariant value;
    };
    auto result = std::make_shared<Answer>();
    page.runJavaScript(script, QWebEngineScript::ApplicationWorld, [result](const QVariant& value) {
        result->arrived = true;
        result->value = value;
    });
    const long long deadline = events_.steadyMilliseconds() + kAnswerLimitMs;
    while (!result->arrived && events_.steadyMilliseconds() < deadline) events_.waitForEvents(kWaitSliceMs);
    if (answer) *answer = result->value;
    return result->arrived;
}

namespace {

// How the one navigation asked for goes: a load that was still under way from
// before reports its end before ours starts, and does not count.
struct LoadProgress {
    bool started = false;
    bool ended = false;
    bool succeeded = false;
};

QMetaObject::Connection watchLoad(QWebEnginePage& page, const std::shared_ptr<LoadProgress>& progress,
                                  std::function<void()> onSuccess = {}) {
    return QObject::connect(&page, &QWebEnginePage::loadingChanged,
                            [progress, onSuccess](const QWebEngineLoadingInfo& info) {
        if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus) {
            *progress = LoadProgress{true, false, false};
        } else if (progress->started) {
            progress->ended = true;
            progress->succeeded =
                info.status() == QWebEngineLoadingInfo::LoadSucceededStatus && !info.isErrorPage();
            if (progress->succeeded && onSuccess) onSuccess();
        }
    });
}

}  // namespace

// A navigation under way: its load, then its settle, which starts as soon as
// the load has succeeded.
struct BrowserPrint::PendingLoad {
    ~PendingLoad() { QObject::disconnect(watch); }
    std::shared_ptr<LoadProgress> progress = std::make_shared<LoadProgress>();
    QMetaObject::Connection watch;
    long long deadline = 0;
    QVariant before;  // the document shown before
    std::unique_ptr<platform::PageSettle> settle;
};

BrowserPrint::Ending BrowserPrint::waitForLoad(QWebEnginePage& page, const Navigation& go) {
    auto progress = std::make_shared<LoadProgress>();
    const QMetaObject::Connection watch = watchLoad(page, progress);
    go(page);
    const long long deadline = events_.steadyMilliseconds() + loadLimitSeconds_ * 1000LL;
    while (!progress->ended && events_.steadyMilliseconds() < deadline) events_.waitForEvents(kWaitSliceMs);
    QObject::disconnect(watch);
    if (!progress->ended) return Ending::TimedOut;
    return progress->succeeded ? Ending::Succeeded : Ending::Failed;
}

std::unique_ptr<BrowserPrint::PendingLoad> BrowserPrint::begin(const Navigation& go) {
    QWebEnginePage& page = *view().page();
    // A page printed without scripts before gets them back for the next one.
    page.settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, true);
    lastNavigation_ = go;
    auto load = std::make_unique<PendingLoad>();
    if (!page.url().isEmpty()) (void)answers(page, QString::fromLatin1(kDocumentScript), &load->before);
    PendingLoad* pending = load.get();
    load->watch = watchLoad(page, load->progress, [this, pending, &page] {
        pending->settle = std::make_unique<platform::PageSettle>(page, platform::kPageQuietMs, settleLimitMs_);
        pending->settle->start();
    });
    go(page);
    load->deadline = events_.steadyMilliseconds() + loadLimitSeconds_ * 1000LL;
    return load;
}

bool BrowserPrint::finish(PendingLoad& load) {
    QWebEnginePage& page = *view().page();
    while (!load.progress->ended && events_.steadyMilliseconds() < load.deadline) events_.waitForEvents(kWaitSliceMs);
    QObject::disconnect(load.watch);
    if (!load.progress->ended) {
        // Printed as far as it got when a document of the page is showing;
        // one whose script holds the engine answers nothing but is there.
        QVariant after;
        if (!answers(page, QString::fromLatin1(kDocumentScript), &after)) return true;
        if (after == load.before || after.toList().value(1).toString() == QStringLiteral("about:blank")) return false;
    } else if (!load.progress->succeeded) {
        return false;
    }
    if (!load.settle) {
        load.settle = std::make_unique<platform::PageSettle>(page, platform::kPageQuietMs, settleLimitMs_);
        load.settle->start();
    }
    while (!load.settle->isDone()) events_.waitForEvents(kWaitSliceMs);
    return true;
}

bool BrowserPrint::navigate(const Navigation& go) { return finish(*begin(go)); }

void BrowserPrint::StartLoad(const QString& target) {
    const QUrl url = PageUrlFromTarget(target);
    pending_ = begin([url](QWebEnginePage& page) { page.load(url); });
}

bool BrowserPrint::FinishLoad() {
    if (!pending_) return false;
    const std::unique_ptr<PendingLoad> load = std::move(pending_);
    return finish(*load);
}

bool BrowserPrint::LoadPage(const QString& target) {
    const QUrl url = PageUrlFromTarget(target);
    return navigate([url](QWebEnginePage& page) { page.load(url); });
}

BrowserPrint::Navigation BrowserPrint::copyNavigation(const QByteArray& data, const DownloadedPage& source) {
    const QString type = ContentTypeOfCopy(source.contentType);
    const QUrl address = source.address;
    if (!fitsContentAddress(data, type)) return [address](QWebEnginePage& page) { page.load(address); };
    return [data, type, address](QWebEnginePage& page) { page.setContent(data, type, address); };
}

bool BrowserPrint::LoadCopy(const QString& path, const DownloadedPage& source) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    return navigate(copyNavigation(file.readAll(), source));
}

void BrowserPrint::StartCopyLoad(const QByteArray& data, const DownloadedPage& source) {
    pending_ = begin(copyNavigation(data, source));
}

void BrowserPrint::reloadWithoutScripts(QWebEnginePage& page) {
    // The engine cannot stop a script that never yields; its renderer is
    // ended and the same page loaded again, without scripts.
    page.settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    const qint64 renderer = page.renderProcessPid();
    if (renderer > 0 && renderer != getpid()) {
        bool ended = false;
        const QMetaObject::Connection watch = QObject::connect(
            &page, &QWebEnginePage::renderProcessTerminated, [&ended] { ended = true; });
        ::kill(static_cast<pid_t>(renderer), SIGKILL);
        const long long deadline = events_.steadyMilliseconds() + kAnswerLimitMs;
        while (!ended && events_.steadyMilliseconds() < deadline) events_.waitForEvents(kWaitSliceMs);
        QObject::disconnect(watch);
    }
    if (lastNavigation_) (void)waitForLoad(page, lastNavigation_);
}

QByteArray BrowserPrint::printToPdf(QWebEnginePage& page) {
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

int BrowserPrint::PrintLoadedPage(const QString& address) {
    QWebEnginePage& page = *view().page();
    // Pinning the fixed elements also tells whether the page's script lets
    // the engine work at all.
    if (!answers(page, platform::PinFixedElementsScript())) {
        reloadWithoutScripts(page);
        (void)answers(page, platform::PinFixedElementsScript());
    }
    QByteArray pdf = printToPdf(page);
    if (pdf.isEmpty()) throw Failure(QStringLiteral("The page %1 could not be printed.").arg(page.url().toString()));
    QString title = page.title();
    if (title.isEmpty()) title = address;
    pdf = WithPdfProperties(pdf, {title, address, QDateTime::currentDateTime()});

    // The print system reads the whole file when the job is submitted, so the
    // file can go as soon as the job exists.
    QTemporaryFile file(QDir::tempPath() + QStringLiteral("/quendrel-page-XXXXXX.pdf"));
    if (!file.open() || file.write(pdf) != pdf.size() || !file.flush())
        throw Failure(QStringLiteral("Cannot write the printed page to %1: %2")
                          .arg(file.fileName(), file.errorString()));
    return printers_.submitPdfToDefault(file.fileName(), title);
}

}  // namespace quendrel
