#include "headless_browser.h"

#include "event_pump.h"
#include "failure.h"

#include <QJsonArray>

namespace quendrel::platform {

namespace {
// A cold start of the engine on a loaded machine takes a few seconds.
constexpr int kStartLimitMs = 30'000;
}  // namespace

HeadlessBrowser::HeadlessBrowser(EventPump& events, ChromiumOptions options)
    : events_(events), options_(options) {}

HeadlessBrowser::~HeadlessBrowser() { end(); }

void HeadlessBrowser::end() {
    client_.reset();
    process_.reset();
}

void HeadlessBrowser::start() {
    if (isRunning()) return;
    end();
    ++generation_;
    process_ = ChromiumProcess::Start(options_);
    client_ = std::make_unique<DevToolsClient>(process_->channel());
    const DevToolsReply version = client_->call(events_, QStringLiteral("Browser.getVersion"), {}, {}, kStartLimitMs);
    if (!version.ok) {
        QString words = process_->lastWords().section(u'\n', -1).trimmed();
        end();
        if (words.isEmpty()) words = version.error;
        throw EngineUnavailable(QStringLiteral("The web engine Chromium (package \"%1\") did not start: %2")
                          .arg(QString::fromLatin1(kChromiumPackage), words));
    }
    closeOwnTabs();
    version_ = version.result.value(QStringLiteral("product")).toString();
    userAgent_ = version.result.value(QStringLiteral("userAgent")).toString().replace(QStringLiteral("HeadlessChrome/"),
                                                                                      QStringLiteral("Chrome/"));
    refuseUnattendedWork();
}

void HeadlessBrowser::closeOwnTabs() {
    // The engine opens a blank tab of its own, with a renderer that no page
    // of ours uses.
    const DevToolsReply targets = client_->call(events_, QStringLiteral("Target.getTargets"));
    for (const QJsonValue& target : targets.result.value(QStringLiteral("targetInfos")).toArray())
        if (target.toObject().value(QStringLiteral("type")).toString() == QStringLiteral("page"))
            client_->send(QStringLiteral("Target.closeTarget"),
                          {{QStringLiteral("targetId"), target.toObject().value(QStringLiteral("targetId"))}});
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

}  // namespace quendrel::platform
