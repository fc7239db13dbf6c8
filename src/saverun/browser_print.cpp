#include "browser_print.h"

#include "page_address.h"
#include "page_download.h"
#include "pdf_properties.h"
#include "engine/browser_tab.h"
#include "platform/event_pump.h"
#include "platform/failure.h"
#include "engine/fixed_elements.h"
#include "engine/headless_browser.h"
#include "engine/load_failure.h"
#include "platform/print_system.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryFile>

namespace quendrel {

namespace {

constexpr int kWaitSliceMs = 100;
// A page that does not answer a question in this long has a script that
// holds the engine.
constexpr int kAnswerLimitMs = 2000;
// A4 with the 1 cm margins a browser prints with, in inches; the engine lays
// the page out for that paper itself.
constexpr double kA4WidthInches = 210 / 25.4;
constexpr double kA4HeightInches = 297 / 25.4;
constexpr double kMarginInches = 10 / 25.4;

}  // namespace

// A navigation under way: its load, then its settle, which starts as soon as
// the load has ended.
struct BrowserPrint::PendingLoad {
    long long deadline = 0;
    std::unique_ptr<engine::PageSettle> settle;
};

BrowserPrint::BrowserPrint(engine::HeadlessBrowser& browser, platform::PrintSystem& printers,
                           int loadLimitSeconds, int settleLimitMs)
    : browser_(browser),
      events_(browser.events()),
      printers_(printers),
      loadLimitSeconds_(loadLimitSeconds),
      settleLimitMs_(settleLimitMs) {}

BrowserPrint::~BrowserPrint() { browser_.keepTab(std::move(tab_)); }

engine::BrowserTab& BrowserPrint::tab(bool scripts) {
    // A tab that crashed, or whose engine ended with the last run, shows
    // nothing more; the next page gets a fresh one. A page printed without
    // scripts leaves a tab that runs none: the next page gets scripts back.
    if (!tab_ || !tab_->usable() || tab_->runsScripts() != scripts) {
        pending_.reset();
        browser_.keepTab(std::move(tab_));
        if (scripts) tab_ = browser_.takeTab();
        if (!tab_) tab_ = std::make_unique<engine::BrowserTab>(browser_, scripts);
    }
    return *tab_;
}

std::unique_ptr<BrowserPrint::PendingLoad> BrowserPrint::begin(const Navigation& go) {
    failure_.clear();
    lastNavigation_ = go;
    auto load = std::make_unique<PendingLoad>();
    engine::BrowserTab& page = tab();
    PendingLoad* pending = load.get();
    page.whenLoaded([this, pending, &page] {
        pending->settle = std::make_unique<engine::PageSettle>(page, engine::kPageQuietMs, settleLimitMs_);
        pending->settle->start();
    });
    go(page);
    load->deadline = events_.steadyMilliseconds() + loadLimitSeconds_ * 1000LL;
    return load;
}

bool BrowserPrint::finish(PendingLoad& load) {
    using Load = engine::BrowserTab::Load;
    engine::BrowserTab& page = *tab_;
    auto loading = [&page] { return page.load() == Load::Pending || page.load() == Load::Committed; };
    while (loading() && events_.steadyMilliseconds() < load.deadline) events_.waitForEvents(kWaitSliceMs);
    page.whenLoaded({});
    if (page.load() == Load::Pending) {
        // Nothing of the page arrived within the limit.
        page.stopLoading();
        failure_ = QStringLiteral("the page did not answer within %1 s").arg(loadLimitSeconds_);
        return false;
    }
    if (page.load() == Load::Failed) {
        failure_ = page.failure();
        return false;
    }
    // The server's own page for an error is no page of the site.
    if (page.status() >= 400) {
        failure_ = engine::HttpFailureText(page.status(), page.statusText());
        return false;
    }
    // Still loading at the limit: printed as far as it got.
    if (page.load() == Load::Committed) page.stopLoading();
    if (!load.settle) {
        load.settle = std::make_unique<engine::PageSettle>(page, engine::kPageQuietMs, settleLimitMs_);
        load.settle->start();
    }
    while (!load.settle->isDone()) events_.waitForEvents(kWaitSliceMs);
    return true;
}

void BrowserPrint::StartLoad(const QString& target) {
    const QUrl url = PageUrlFromTarget(target);
    pending_ = begin([url](engine::BrowserTab& page) { page.navigate(url); });
}

bool BrowserPrint::FinishLoad() {
    if (!pending_) return false;
    const std::unique_ptr<PendingLoad> load = std::move(pending_);
    return finish(*load);
}

bool BrowserPrint::LoadPage(const QString& target) {
    StartLoad(target);
    return FinishLoad();
}

BrowserPrint::Navigation BrowserPrint::copyNavigation(const QByteArray& data, const DownloadedPage& source) {
    const QByteArray type = ContentTypeOfCopy(source.contentType).toLatin1();
    const QUrl address = source.address;
    return [data, type, address](engine::BrowserTab& page) { page.navigateToCopy(address, data, type); };
}

bool BrowserPrint::LoadCopy(const QString& path, const DownloadedPage& source) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        failure_ = QStringLiteral("the downloaded copy cannot be read");
        return false;
    }
    StartCopyLoad(file.readAll(), source);
    return FinishLoad();
}

void BrowserPrint::StartCopyLoad(const QByteArray& data, const DownloadedPage& source) {
    pending_ = begin(copyNavigation(data, source));
}

void BrowserPrint::reloadWithoutScripts() {
    // The engine cannot stop a script that never yields: its renderer is
    // ended, and the same page loaded again in a tab that runs no script.
    tab_->crash();
    tab(/*scripts=*/false);
    if (!lastNavigation_) return;
    auto load = std::make_unique<PendingLoad>();
    lastNavigation_(*tab_);
    load->deadline = events_.steadyMilliseconds() + loadLimitSeconds_ * 1000LL;
    (void)finish(*load);
}

QByteArray BrowserPrint::printToPdf() {
    const engine::DevToolsReply reply = tab_->call(
        QStringLiteral("Page.printToPDF"),
        {{QStringLiteral("paperWidth"), kA4WidthInches},
         {QStringLiteral("paperHeight"), kA4HeightInches},
         {QStringLiteral("marginTop"), kMarginInches},
         {QStringLiteral("marginBottom"), kMarginInches},
         {QStringLiteral("marginLeft"), kMarginInches},
         {QStringLiteral("marginRight"), kMarginInches},
         {QStringLiteral("printBackground"), true},
         // Structure for screen readers, and bookmarks from the page's headings.
         {QStringLiteral("generateTaggedPDF"), true},
         {QStringLiteral("generateDocumentOutline"), true}},
        kPagePrintLimitSeconds * 1000);
    if (!reply.ok) return {};
    return QByteArray::fromBase64(reply.result.value(QStringLiteral("data")).toString().toLatin1());
}

int BrowserPrint::LoadAndPrintPage(const QString& target) {
    if (!LoadPage(target)) return 0;
    return PrintLoadedPage(target);
}

int BrowserPrint::PrintLoadedPage(const QString& address) {
    consent_ = keepConsentDialogs_ ? engine::ConsentOutcome::None : engine::DealWithConsentDialogs(tab());
    // Pinning the fixed elements also tells whether the page's script lets
    // the engine work at all.
    if (!tab().evaluateNow(engine::PinFixedElementsScript(), kAnswerLimitMs)) {
        reloadWithoutScripts();
        (void)tab_->evaluateNow(engine::PinFixedElementsScript(), kAnswerLimitMs);
    }
    QByteArray pdf = printToPdf();
    if (pdf.isEmpty()) throw Failure(QStringLiteral("The page %1 could not be printed.").arg(address));
    QString title = tab_->evaluateNow(QStringLiteral("document.title"), kAnswerLimitMs).value_or(QJsonValue()).toString();
    if (title.isEmpty()) title = address;
    pdf = WithPdfProperties(pdf, {title, address, QDateTime::currentDateTime(), ProducerName(browser_.version())});

    // The print system reads the whole file when the job is submitted, so the
    // file can go as soon as the job exists.
    QTemporaryFile file(QDir::tempPath() + QStringLiteral("/quendrel-page-XXXXXX.pdf"));
    if (!file.open() || file.write(pdf) != pdf.size() || !file.flush())
        throw Failure(QStringLiteral("Cannot write the printed page to %1: %2")
                          .arg(file.fileName(), file.errorString()));
    return printers_.submitPdfToDefault(file.fileName(), title);
}

}  // namespace quendrel
