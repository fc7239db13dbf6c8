#include "browser_print.h"

#include "page_address.h"
#include "page_download.h"
#include "pdf_properties.h"
#include "engine/browser_tab.h"
#include "platform/event_pump.h"
#include "platform/failure.h"
#include "engine/headless_browser.h"
#include "platform/print_system.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryFile>

namespace quendrel {

namespace {

// A4 with the 1 cm margins a browser prints with, in inches; the engine lays
// the page out for that paper itself.
constexpr double kA4WidthInches = 210 / 25.4;
constexpr double kA4HeightInches = 297 / 25.4;
constexpr double kMarginInches = 10 / 25.4;
// The printed page is read from the engine in pieces of this size.
constexpr int kPdfPieceBytes = 1024 * 1024;

}  // namespace

BrowserPrint::BrowserPrint(engine::HeadlessBrowser& browser, platform::PrintSystem& printers,
                           int loadLimitSeconds, int settleLimitMs)
    : browser_(browser),
      events_(browser.events()),
      printers_(printers),
      loadLimitSeconds_(loadLimitSeconds),
      settleLimitMs_(settleLimitMs) {}

BrowserPrint::~BrowserPrint() {
    pending_.reset();
    browser_.keepTab(std::move(tab_));
}

engine::BrowserTab& BrowserPrint::tab() {
    // A tab that crashed, or whose engine ended with the last run, shows
    // nothing more; the next page gets a fresh one. A page loaded without
    // scripts leaves a tab that runs none: the next page gets scripts back.
    if (!tab_ || !tab_->usable() || !tab_->runsScripts()) {
        pending_.reset();
        browser_.keepTab(std::move(tab_));
        tab_ = browser_.takeTab();
        if (!tab_) tab_ = std::make_unique<engine::BrowserTab>(browser_);
    }
    return *tab_;
}

void BrowserPrint::begin(const Navigation& go) {
    failure_.clear();
    pending_.reset();
    tab();
    pending_ = std::make_unique<engine::PageLoad>(tab_, go, loadLimitSeconds_ * 1000, settleLimitMs_);
}

void BrowserPrint::StartLoad(const QString& target) {
    const QUrl url = PageUrlFromTarget(target);
    begin([url](engine::BrowserTab& page) { page.navigate(url); });
}

bool BrowserPrint::FinishLoad() {
    if (!pending_) return false;
    const std::unique_ptr<engine::PageLoad> load = std::move(pending_);
    const engine::LoadOutcome outcome = load->finish();
    failure_ = outcome.failure;
    return outcome.shows();
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
    begin(copyNavigation(data, source));
}

bool BrowserPrint::lostPage() {
    // A renderer that went after the load leaves a blank tab: nothing of it
    // is the page.
    if (!tab_->crashed()) return false;
    failure_ = tab_->failure();
    return true;
}

bool BrowserPrint::printInto(QFile& file) {
    // The PDF comes as a stream read a piece at a time, never as one message
    // that holds the whole file.
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
         {QStringLiteral("generateDocumentOutline"), true},
         {QStringLiteral("transferMode"), QStringLiteral("ReturnAsStream")}},
        kPagePrintLimitSeconds * 1000);
    const QString stream = reply.result.value(QStringLiteral("stream")).toString();
    if (!reply.ok || stream.isEmpty()) return false;
    bool whole = false;
    for (bool end = false; !end;) {
        const engine::DevToolsReply piece = tab_->call(
            QStringLiteral("IO.read"), {{QStringLiteral("handle"), stream}, {QStringLiteral("size"), kPdfPieceBytes}});
        if (!piece.ok) break;
        const QString data = piece.result.value(QStringLiteral("data")).toString();
        const QByteArray bytes = piece.result.value(QStringLiteral("base64Encoded")).toBool()
                                     ? QByteArray::fromBase64(data.toLatin1())
                                     : data.toUtf8();
        if (file.write(bytes) != bytes.size())
            throw Failure(QStringLiteral("Cannot write the printed page to %1: %2").arg(file.fileName(), file.errorString()));
        end = piece.result.value(QStringLiteral("eof")).toBool();
        whole = end;
    }
    tab_->call(QStringLiteral("IO.close"), {{QStringLiteral("handle"), stream}});
    return whole && file.size() > 0;
}

int BrowserPrint::LoadAndPrintPage(const QString& target) {
    if (!LoadPage(target)) return 0;
    return PrintLoadedPage(target);
}

int BrowserPrint::PrintLoadedPage(const QString& address) {
    if (!tab_) {
        failure_ = QStringLiteral("the page did not load");
        return 0;
    }
    failure_.clear();
    consent_ = engine::PrepareForPaper(*tab_, keepConsentDialogs_);
    QString title = tab_->evaluateNow(QStringLiteral("document.title"), engine::kPageAnswerLimitMs)
                        .value_or(QJsonValue())
                        .toString();
    if (lostPage()) return 0;
    if (title.isEmpty()) title = address;

    // The print system reads the whole file when the job is submitted, so the
    // file can go as soon as the job exists.
    QTemporaryFile file(QDir::tempPath() + QStringLiteral("/quendrel-page-XXXXXX.pdf"));
    if (!file.open())
        throw Failure(QStringLiteral("Cannot write the printed page to %1: %2").arg(file.fileName(), file.errorString()));
    const bool printed = printInto(file);
    if (lostPage()) return 0;
    if (!printed) throw Failure(QStringLiteral("The page %1 could not be printed.").arg(address));
    file.seek(0);
    const QByteArray pdf =
        WithPdfProperties(file.readAll(), {title, address, QDateTime::currentDateTime(), ProducerName(browser_.version())});
    if (!file.seek(0) || !file.resize(0) || file.write(pdf) != pdf.size() || !file.flush())
        throw Failure(QStringLiteral("Cannot write the printed page to %1: %2").arg(file.fileName(), file.errorString()));
    return printers_.submitPdfToDefault(file.fileName(), title);
}

}  // namespace quendrel
