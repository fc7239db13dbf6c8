#include "browser_tab.h"

#include "platform/event_pump.h"
#include "platform/failure.h"
#include "headless_browser.h"
#include "load_failure.h"
#include "page_settle.h"

#include <QJsonArray>
#include <QJsonObject>

namespace quendrel::engine {

namespace {

const QString kOwnWorld = QStringLiteral("quendrel");
constexpr int kWaitSliceMs = 100;

HeadlessBrowser& started(HeadlessBrowser& browser) {
    browser.start();
    return browser;
}

QString withoutFragment(const QString& address) {
    return QUrl(address).adjusted(QUrl::RemoveFragment).toString(QUrl::FullyEncoded);
}

// Every request for a local file passes by us, so a page reads no file but
// itself; a copy's own address too, while it waits to be answered.
QJsonObject interceptions(bool copy) {
    QJsonArray patterns{QJsonObject{{QStringLiteral("urlPattern"), QStringLiteral("file://*")}}};
    if (copy)
        patterns.append(QJsonObject{{QStringLiteral("urlPattern"), QStringLiteral("*")},
                                    {QStringLiteral("resourceType"), QStringLiteral("Document")}});
    return {{QStringLiteral("patterns"), patterns}};
}

}  // namespace

BrowserTab::BrowserTab(HeadlessBrowser& browser, bool scripts)
    : browser_(started(browser)), generation_(browser.generation()), scripts_(scripts) {
    EventPump& events = browser_.events();
    DevToolsClient& client = browser_.client();
    const DevToolsReply target = client.call(events, QStringLiteral("Target.createTarget"),
                                              {{QStringLiteral("url"), QStringLiteral("about:blank")}});
    if (!target.ok) throw Failure(QStringLiteral("The web engine could not open a page: %1").arg(target.error));
    targetId_ = target.result.value(QStringLiteral("targetId")).toString();
    const DevToolsReply attached = client.call(
        events, QStringLiteral("Target.attachToTarget"),
        {{QStringLiteral("targetId"), targetId_}, {QStringLiteral("flatten"), true}});
    if (!attached.ok) {
        client.send(QStringLiteral("Target.closeTarget"), {{QStringLiteral("targetId"), targetId_}});
        throw Failure(QStringLiteral("The web engine could not open a page: %1").arg(attached.error));
    }
    sessionId_ = attached.result.value(QStringLiteral("sessionId")).toString();
    listening_ = client.listen(sessionId_, [this](const QString& method, const QJsonObject& params) {
        onEvent(method, params);
    });
    closing_ = client.whenClosed([this] {
        crashed_ = true;
        if (load_ != Load::Loaded) {
            load_ = Load::Failed;
            failure_ = QStringLiteral("the web engine ended");
        }
    });

    // Sent one after the other without waiting: the engine handles them in
    // order, so all are in place before the first navigation.
    send(QStringLiteral("Page.enable"));
    send(QStringLiteral("Page.setLifecycleEventsEnabled"), {{QStringLiteral("enabled"), true}});
    send(QStringLiteral("Page.setInterceptFileChooserDialog"), {{QStringLiteral("enabled"), true}});
    send(QStringLiteral("Network.enable"));
    if (!browser_.userAgent().isEmpty())
        send(QStringLiteral("Network.setUserAgentOverride"), {{QStringLiteral("userAgent"), browser_.userAgent()}});
    // The page area of a desktop browser's window, whatever the engine's own
    // window leaves for it.
    send(QStringLiteral("Emulation.setDeviceMetricsOverride"),
         {{QStringLiteral("width"), kPageWidth},
          {QStringLiteral("height"), kPageHeight},
          {QStringLiteral("deviceScaleFactor"), 1},
          {QStringLiteral("mobile"), false}});
    send(QStringLiteral("Fetch.enable"), interceptions(false));
    // Each tab runs as the one a person looks at.
    send(QStringLiteral("Emulation.setFocusEmulationEnabled"), {{QStringLiteral("enabled"), true}});
    if (!scripts) send(QStringLiteral("Emulation.setScriptExecutionDisabled"), {{QStringLiteral("value"), true}});
    const SettleScripts settle = SettleScriptSources();
    send(QStringLiteral("Page.addScriptToEvaluateOnNewDocument"), {{QStringLiteral("source"), settle.pageWorld}});
    // Waited for, and with it everything sent before: a first navigation that
    // commits in a new renderer before the old one has taken the scripts
    // makes its document without them.
    call(QStringLiteral("Page.addScriptToEvaluateOnNewDocument"),
         {{QStringLiteral("source"), settle.ownWorld}, {QStringLiteral("worldName"), kOwnWorld}});
}

BrowserTab::~BrowserTab() {
    *alive_ = false;
    DevToolsClient* client = this->client();
    if (!client) return;
    client->unlisten(listening_);
    client->unlisten(closing_);
    client->send(QStringLiteral("Target.closeTarget"), {{QStringLiteral("targetId"), targetId_}});
}

bool BrowserTab::usable() { return !crashed_ && client(); }

DevToolsClient* BrowserTab::client() {
    // A tab of an engine that has ended and been started afresh is gone.
    if (browser_.generation() != generation_ || !browser_.isRunning()) return nullptr;
    return &browser_.client();
}

void BrowserTab::send(const QString& method, const QJsonObject& params, DevToolsClient::ReplyHandler handler) {
    if (DevToolsClient* client = this->client()) {
        client->send(method, params, sessionId_, std::move(handler));
        return;
    }
    crashed_ = true;
    if (handler) handler({false, {}, QStringLiteral("the web engine ended")});
}

DevToolsReply BrowserTab::call(const QString& method, const QJsonObject& params, int limitMs) {
    DevToolsClient* client = this->client();
    if (!client) return {false, {}, QStringLiteral("the web engine ended")};
    return client->call(browser_.events(), method, params, sessionId_, limitMs);
}

void BrowserTab::navigate(const QUrl& address) {
    const int navigation = ++navigation_;
    load_ = Load::Pending;
    loaderId_.clear();
    failure_.clear();
    ownFile_ = address.isLocalFile() ? withoutFragment(address.toString(QUrl::FullyEncoded)) : QString();
    status_ = 0;
    statusText_.clear();
    const std::shared_ptr<bool> alive = alive_;
    send(QStringLiteral("Page.navigate"), {{QStringLiteral("url"), address.toString(QUrl::FullyEncoded)}},
         [this, alive, navigation](const DevToolsReply& reply) {
             if (*alive) onNavigated(reply, navigation);
         });
}

void BrowserTab::navigateToCopy(const QUrl& address, const QByteArray& body, const QByteArray& contentType) {
    copyAddress_ = withoutFragment(address.toString(QUrl::FullyEncoded));
    copyBody_ = body;
    copyType_ = contentType;
    send(QStringLiteral("Fetch.enable"), interceptions(true));
    navigate(address);
}

void BrowserTab::stopLoading() { send(QStringLiteral("Page.stopLoading")); }

void BrowserTab::onNavigated(const DevToolsReply& reply, int navigation) {
    if (navigation != navigation_ || load_ == Load::Failed) return;
    if (!reply.ok) {
        load_ = Load::Failed;
        failure_ = LoadFailureText(reply.error);
        return;
    }
    const QString error = reply.result.value(QStringLiteral("errorText")).toString();
    if (!error.isEmpty()) {
        load_ = Load::Failed;
        failure_ = status_ >= 400 ? HttpFailureText(status_, statusText_) : LoadFailureText(error);
        return;
    }
    loaderId_ = reply.result.value(QStringLiteral("loaderId")).toString();
    load_ = Load::Committed;
    // A move within the document it shows loads nothing.
    if (loaderId_.isEmpty() || loadedLoaders_.contains(loaderId_)) loaded();
}

void BrowserTab::loaded() {
    if (load_ != Load::Committed) return;
    load_ = Load::Loaded;
    if (whenLoaded_) whenLoaded_();
}

void BrowserTab::onEvent(const QString& method, const QJsonObject& params) {
    const QString frame = params.value(QStringLiteral("frameId")).toString();
    if (method == QStringLiteral("Page.lifecycleEvent")) {
        if (frame != targetId_ || params.value(QStringLiteral("name")).toString() != QStringLiteral("load")) return;
        const QString loader = params.value(QStringLiteral("loaderId")).toString();
        loadedLoaders_.insert(loader);
        if (loader == loaderId_) loaded();
    } else if (method == QStringLiteral("Network.responseReceived")) {
        if (frame != targetId_ || params.value(QStringLiteral("type")).toString() != QStringLiteral("Document")) return;
        const QJsonObject response = params.value(QStringLiteral("response")).toObject();
        status_ = response.value(QStringLiteral("status")).toInt();
        statusText_ = response.value(QStringLiteral("statusText")).toString();
    } else if (method == QStringLiteral("Page.frameNavigated")) {
        const QJsonObject navigated = params.value(QStringLiteral("frame")).toObject();
        if (navigated.value(QStringLiteral("parentId")).toString().isEmpty()) context_ = -1;  // a new document
    } else if (method == QStringLiteral("Page.javascriptDialogOpening")) {
        // Closed as a user closes it; a page that asks before it is left is left.
        const bool leaving = params.value(QStringLiteral("type")).toString() == QStringLiteral("beforeunload");
        send(QStringLiteral("Page.handleJavaScriptDialog"), {{QStringLiteral("accept"), leaving}});
    } else if (method == QStringLiteral("Fetch.requestPaused")) {
        const QString address = withoutFragment(
            params.value(QStringLiteral("request")).toObject().value(QStringLiteral("url")).toString());
        const QJsonValue id = params.value(QStringLiteral("requestId"));
        const bool ownDocument =
            frame == targetId_ && params.value(QStringLiteral("resourceType")).toString() == QStringLiteral("Document");
        if (!copyAddress_.isEmpty() && ownDocument && address == copyAddress_) {
            copyAddress_.clear();
            const QJsonArray headers{QJsonObject{{QStringLiteral("name"), QStringLiteral("Content-Type")},
                                                 {QStringLiteral("value"), QString::fromLatin1(copyType_)}}};
            send(QStringLiteral("Fetch.fulfillRequest"),
                 {{QStringLiteral("requestId"), id},
                  {QStringLiteral("responseCode"), 200},
                  {QStringLiteral("responseHeaders"), headers},
                  {QStringLiteral("body"), QString::fromLatin1(std::exchange(copyBody_, {}).toBase64())}});
            send(QStringLiteral("Fetch.enable"), interceptions(false));
            return;
        }
        if (address.startsWith(QStringLiteral("file:")) && !(ownDocument && address == ownFile_)) {
            send(QStringLiteral("Fetch.failRequest"),
                 {{QStringLiteral("requestId"), id}, {QStringLiteral("errorReason"), QStringLiteral("AccessDenied")}});
            return;
        }
        send(QStringLiteral("Fetch.continueRequest"), {{QStringLiteral("requestId"), id}});
    } else if (method == QStringLiteral("Inspector.targetCrashed")) {
        crashed_ = true;
        if (load_ != Load::Loaded) {
            load_ = Load::Failed;
            failure_ = QStringLiteral("the page crashed");
        }
    }
}

void BrowserTab::withContext(std::function<void(int context)> then) {
    if (context_ >= 0 || crashed_) {
        then(crashed_ ? -1 : context_);
        return;
    }
    waitingForContext_.push_back(std::move(then));
    if (askingContext_) return;
    askingContext_ = true;
    const std::shared_ptr<bool> alive = alive_;
    // The world the settle scripts run in; asked again for each document.
    send(QStringLiteral("Page.createIsolatedWorld"),
         {{QStringLiteral("frameId"), targetId_}, {QStringLiteral("worldName"), kOwnWorld}},
         [this, alive](const DevToolsReply& reply) {
             if (!*alive) return;
             askingContext_ = false;
             context_ = reply.ok ? reply.result.value(QStringLiteral("executionContextId")).toInt(-1) : -1;
             const int context = context_;
             for (auto& waiting : std::exchange(waitingForContext_, {})) waiting(context);
         });
}

void BrowserTab::evaluate(const QString& expression, Answer answer) {
    const std::shared_ptr<bool> alive = alive_;
    withContext([this, alive, expression, answer = std::move(answer)](int context) {
        if (context < 0) {
            answer(false, {});
            return;
        }
        send(QStringLiteral("Runtime.evaluate"),
             {{QStringLiteral("expression"), expression},
              {QStringLiteral("contextId"), context},
              {QStringLiteral("returnByValue"), true}},
             [this, alive, context, answer](const DevToolsReply& reply) {
                 // The document went while we asked: its world went with it.
                 if (*alive && !reply.ok && context_ == context) context_ = -1;
                 if (!reply.ok) {
                     answer(false, {});
                     return;
                 }
                 if (reply.result.contains(QStringLiteral("exceptionDetails"))) {
                     answer(true, QJsonValue(QJsonValue::Undefined));
                     return;
                 }
                 answer(true, reply.result.value(QStringLiteral("result")).toObject().value(QStringLiteral("value")));
             });
    });
}

std::optional<QJsonValue> BrowserTab::evaluateNow(const QString& expression, int limitMs) {
    struct Result {
        bool arrived = false;
        bool answered = false;
        QJsonValue value;
    };
    auto result = std::make_shared<Result>();
    evaluate(expression, [result](bool answered, const QJsonValue& value) {
        *result = {true, answered, value};
    });
    EventPump& events = browser_.events();
    const long long deadline = events.steadyMilliseconds() + limitMs;
    for (long long now = events.steadyMilliseconds(); !result->arrived && now < deadline;
         now = events.steadyMilliseconds())
        events.waitForEvents(static_cast<int>(std::min<long long>(kWaitSliceMs, deadline - now)));
    if (!result->answered) return std::nullopt;
    return result->value;
}

void BrowserTab::crash() {
    // Handled by the engine beside the renderer's own work, so a script that
    // never yields cannot hold it up.
    send(QStringLiteral("Page.crash"));
    crashed_ = true;
}

}  // namespace quendrel::engine
