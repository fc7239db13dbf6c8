#include "headless_browser.h"

#include "browser_tab.h"
#include "platform/event_pump.h"
#include "platform/failure.h"

#include <QJsonArray>
#include <utility>

namespace quendrel::engine {

namespace {
// A cold start of the engine on a loaded machine takes a few seconds.
constexpr int kStartLimitMs = 30'000;
// As many as a run has pages in flight at once, with the one in hand.
constexpr size_t kMostIdleTabs = 8;
// A lent engine that has been given back.
constexpr int kLentEngineGone = -2;
}  // namespace

HeadlessBrowser::HeadlessBrowser(EventPump& events, ChromiumOptions options)
    : events_(events), options_(options) {}

HeadlessBrowser::HeadlessBrowser(EventPump& events, DevToolsChannel& attached) : events_(events), attached_(&attached) {}

HeadlessBrowser::~HeadlessBrowser() { end(); }

void HeadlessBrowser::end() {
    idleTabs_.clear();
    client_.reset();
    process_.reset();
    lent_.reset();
}

DevToolsChannel& HeadlessBrowser::open() {
    if (attached_) return *attached_;
    if (options_.lentEngine < 0) {
        process_ = ChromiumProcess::Start(options_);
        return process_->channel();
    }
    if (options_.lentEngine == kLentEngineGone)
        throw EngineUnavailable(QStringLiteral("The web engine lent to this program has ended."));
    lent_ = std::make_unique<PipeChannel>(std::exchange(options_.lentEngine, kLentEngineGone));
    return *lent_;
}

void HeadlessBrowser::start() {
    if (isRunning()) return;
    end();
    ++generation_;
    client_ = std::make_unique<DevToolsClient>(open());
    const DevToolsReply version = client_->call(events_, QStringLiteral("Browser.getVersion"), {}, {}, kStartLimitMs);
    if (!version.ok) {
        QString words = process_ ? process_->lastWords().section(u'\n', -1).trimmed() : QString();
        end();
        if (words.isEmpty()) words = version.error;
        throw EngineUnavailable(QStringLiteral("The web engine Chromium (package \"%1\") did not start: %2")
                          .arg(QString::fromLatin1(kChromiumPackage), words));
    }
    version_ = version.result.value(QStringLiteral("product")).toString();
    userAgent_ = version.result.value(QStringLiteral("userAgent")).toString().replace(QStringLiteral("HeadlessChrome/"),
                                                                                      QStringLiteral("Chrome/"));
    refuseUnattendedWork();
}

std::unique_ptr<BrowserTab> HeadlessBrowser::takeTab() {
    while (!idleTabs_.empty()) {
        std::unique_ptr<BrowserTab> tab = std::move(idleTabs_.back());
        idleTabs_.pop_back();
        if (tab->usable()) return tab;
    }
    return nullptr;
}

void HeadlessBrowser::keepTab(std::unique_ptr<BrowserTab> tab) {
    if (!tab) return;
    tab->whenLoaded({});
    if (!tab->usable() || !tab->runsScripts() || idleTabs_.size() >= kMostIdleTabs) return;
    tab->navigate(QUrl(QStringLiteral("about:blank")));
    idleTabs_.push_back(std::move(tab));
}

void HeadlessBrowser::refuseUnattendedWork() {
    client_->send(QStringLiteral("Browser.setDownloadBehavior"), {{QStringLiteral("behavior"), QStringLiteral("deny")}});
    DevToolsClient* client = client_.get();
    client_->listen({}, [client](const QString& method, const QJsonObject& params) {
        if (method != QStringLiteral("Target.targetCreated")) return;
        const QJsonObject target = params.value(QStringLiteral("targetInfo")).toObject();
        // A tab that a page opened: a pop-up or a new window.
        if (target.value(QStringLiteral("type")).toString() == QStringLiteral("page") &&
            !target.value(QStringLiteral("openerId")).toString().isEmpty())
            client->send(QStringLiteral("Target.closeTarget"),
                         {{QStringLiteral("targetId"), target.value(QStringLiteral("targetId"))}});
    });
    client_->send(QStringLiteral("Target.setDiscoverTargets"), {{QStringLiteral("discover"), true}});
}

}  // namespace quendrel::engine
