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
    listeningToBrowser_ = client.listen({}, [this](const QString& method, const QJsonObject& params) {
        onBrowserEvent(method, params);
    });
    closing_ = client.whenClosed([this] { lost(QStringLiteral("the web engine ended")); });
    try {
        setUp();
    } catch (...) {  // a refusal, or the capture program's own time limit
        client.unlisten(listening_);
        client.unlisten(listeningToBrowser_);
        client.unlisten(closing_);
        client.send(QStringLiteral("Target.closeTarget"), {{QStringLiteral("targetId"), targetId_}});
        throw;
    }
}

void BrowserTab::setUp() {
    // All sent at once and answered in order, so all are in place before the
    // first navigation (a first navigation that commits in a new renderer
    // before the old one has taken the scripts makes its document without
    // them). Each must be taken: a tab without one of them (the interception
    // that keeps the page from local files above all) is no tab to load into.
    struct Refusal {
        int waiting = 0;
        QString what;
    };
    auto refusal = std::make_shared<Refusal>();
    auto setUpCall = [this, refusal](const QString& method, const QJsonObject& params = {}) {
        ++refusal->waiting;
        send(method, params, [refusal, method](const DevToolsReply& reply) {
            --refusal->waiting;
            if (!reply.ok && refusal->what.isEmpty()) refusal->what = QStringLiteral("%1 (%2)").arg(method, reply.error);
        });
    };
    setUpCall(QStringLiteral("Page.enable"));
    setUpCall(QStringLiteral("Page.setLifecycleEventsEnabled"), {{QStringLiteral("enabled"), true}});
    setUpCall(QStringLiteral("Page.setInterceptFileChooserDialog"), {{QStringLiteral("enabled"), true}});
    setUpCall(QStringLiteral("Network.enable"));
    if (!browser_.userAgent().isEmpty())
        setUpCall(QStringLiteral("Network.setUserAgentOverride"), {{QStringLiteral("userAgent"), browser_.userAgent()}});
    // The page area of a desktop browser's window, whatever the engine's own
    // window leaves for it.
    setUpCall(QStringLiteral("Emulation.setDeviceMetricsOverride"),
              {{QStringLiteral("width"), kPageWidth},
               {QStringLiteral("height"), kPageHeight},
               {QStringLiteral("deviceScaleFactor"), 1},
               {QStringLiteral("mobile"), false}});
    setUpCall(QStringLiteral("Fetch.enable"), interceptions(false));
    // Each tab runs as the one a person looks at.
    setUpCall(QStringLiteral("Emulation.setFocusEmulationEnabled"), {{QStringLiteral("enabled"), true}});
    if (!scripts_)
        setUpCall(QStringLiteral("Emulation.setScriptExecutionDisabled"), {{QStringLiteral("value"), true}});
    const SettleScripts settle = SettleScriptSources();
    setUpCall(QStringLiteral("Page.addScriptToEvaluateOnNewDocument"), {{QStringLiteral("source"), settle.pageWorld}});
    setUpCall(QStringLiteral("Page.addScriptToEvaluateOnNewDocument"),
              {{QStringLiteral("source"), settle.ownWorld}, {QStringLiteral("worldName"), kOwnWorld}});
    EventPump& events = browser_.events();
    const bool answered = platform::WaitUntil(events, [&refusal] { return refusal->waiting == 0; },
                                              events.steadyMilliseconds() + kDevToolsCallLimitMs);
    if (!refusal->what.isEmpty())
        throw Failure(QStringLiteral("The web engine could not set up a page: it refused %1").arg(refusal->what));
    if (!answered) throw Failure(QStringLiteral("The web engine could not set up a page: it did not answer"));
}

BrowserTab::~BrowserTab() {
    *alive_ = false;
    DevToolsClient* client = this->client();
    if (!client) return;
    client->unlisten(listening_);
    client->unlisten(listeningToBrowser_);
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
    lost(QStringLiteral("the web engine ended"));
    if (handler) handler({false, {}, QStringLiteral("the web engine ended")});
}

DevToolsReply BrowserTab::call(const QString& method, const QJsonObject& params, int limitMs) {
    DevToolsClient* client = this->client();
    if (!client) return {false, {}, QStringLiteral("the web engine ended")};
    return client->call(browser_.events(), method, params, sessionId_, limitMs);
}

BrowserTab::Load BrowserTab::load() const {
    if (failed_) return Load::Failed;
    if (sameDocument_) return Load::Loaded;
    if (currentLoader_.isEmpty()) return Load::Pending;
    if (movingOn_ || !loadedLoaders_.contains(currentLoader_)) return Load::Committed;
    return Load::Loaded;
}

int BrowserTab::status() const {
    return serverAnswers_.value(currentLoader_.isEmpty() ? navigationLoader_ : currentLoader_).status;
}

QString BrowserTab::statusText() const {
    return serverAnswers_.value(currentLoader_.isEmpty() ? navigationLoader_ : currentLoader_).text;
}

void BrowserTab::navigate(const QUrl& address) {
    const int navigation = ++navigation_;
    answered_ = false;
    sameDocument_ = false;
    navigationLoader_.clear();
    shownSinceNavigation_.clear();
    currentLoader_.clear();
    movingOn_ = false;
    wasLoaded_ = false;
    documentError_.clear();
    if (!crashed_) {
        failed_ = false;
        failure_.clear();
    }
    ownFile_ = address.isLocalFile() ? withoutFragment(address.toString(QUrl::FullyEncoded)) : QString();
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
    const std::shared_ptr<bool> alive = alive_;
    send(QStringLiteral("Fetch.enable"), interceptions(true), [this, alive](const DevToolsReply& reply) {
        if (*alive && !reply.ok) fail(QStringLiteral("the web engine refused to serve the copy (%1)").arg(reply.error));
    });
    navigate(address);
}

void BrowserTab::stopLoading() { send(QStringLiteral("Page.stopLoading")); }

void BrowserTab::fail(const QString& why) {
    if (failed_) return;
    failed_ = true;
    failure_ = why;
}

void BrowserTab::lost(const QString& why) {
    if (crashed_) return;
    crashed_ = true;
    // Whatever the page had shown is gone with it, loaded or not.
    failed_ = false;
    fail(why);
}

void BrowserTab::changed() {
    const bool loadedNow = load() == Load::Loaded;
    if (loadedNow && !wasLoaded_ && whenLoaded_) {
        wasLoaded_ = true;
        whenLoaded_();
        return;
    }
    wasLoaded_ = loadedNow;
}

void BrowserTab::onNavigated(const DevToolsReply& reply, int navigation) {
    if (navigation != navigation_) return;
    if (!reply.ok) {
        fail(LoadFailureText(reply.error));
        return;
    }
    const QString loader = reply.result.value(QStringLiteral("loaderId")).toString();
    const QString error = reply.result.value(QStringLiteral("errorText")).toString();
    answered_ = true;
    navigationLoader_ = loader;
    if (!error.isEmpty()) {
        const int status = serverAnswers_.value(loader).status;
        fail(status >= 400 ? HttpFailureText(status, serverAnswers_.value(loader).text) : LoadFailureText(error));
        return;
    }
    // A move within the document it shows loads nothing.
    if (loader.isEmpty()) {
        sameDocument_ = true;
    } else if (const qsizetype at = shownSinceNavigation_.indexOf(loader); at >= 0) {
        // It showed before the answer came, and maybe moved on since.
        currentLoader_ = shownSinceNavigation_.last();
    }
    changed();
}

void BrowserTab::onFrameNavigated(const QJsonObject& frame) {
    if (!frame.value(QStringLiteral("parentId")).toString().isEmpty() ||
        frame.value(QStringLiteral("id")).toString() != targetId_)
        return;
    const QString loader = frame.value(QStringLiteral("loaderId")).toString();
    context_ = -1;  // a new document, with a world of its own
    ++documents_;
    movingOn_ = false;
    shownSinceNavigation_.append(loader);
    // The navigation's own document, or one that replaced it: a document
    // that showed before the navigation (a blank page left behind) is none.
    if (answered_ && (loader == navigationLoader_ || !currentLoader_.isEmpty())) currentLoader_ = loader;
    if (currentLoader_ == loader && !frame.value(QStringLiteral("unreachableUrl")).toString().isEmpty()) {
        const ServerAnswer answer = serverAnswers_.value(loader);
        fail(answer.status >= 400 ? HttpFailureText(answer.status, answer.text) : LoadFailureText(documentError_));
    }
    changed();
}

void BrowserTab::onBrowserEvent(const QString& method, const QJsonObject& params) {
    // The tab's target closed, or its session taken away, by anyone.
    if ((method == QStringLiteral("Target.targetDestroyed") &&
         params.value(QStringLiteral("targetId")).toString() == targetId_) ||
        (method == QStringLiteral("Target.detachedFromTarget") &&
         params.value(QStringLiteral("sessionId")).toString() == sessionId_))
        lost(QStringLiteral("the page crashed"));
}

void BrowserTab::onEvent(const QString& method, const QJsonObject& params) {
    const QString frame = params.value(QStringLiteral("frameId")).toString();
    if (method == QStringLiteral("Page.lifecycleEvent")) {
        if (frame != targetId_ || params.value(QStringLiteral("name")).toString() != QStringLiteral("load")) return;
        loadedLoaders_.insert(params.value(QStringLiteral("loaderId")).toString());
        changed();
    } else if (method == QStringLiteral("Page.frameNavigated")) {
        onFrameNavigated(params.value(QStringLiteral("frame")).toObject());
    } else if (method == QStringLiteral("Page.frameStartedLoading") ||
               method == QStringLiteral("Page.frameRequestedNavigation")) {
        // The page moves on (a redirect by script or a meta refresh): its
        // document is not the one to print until the next shows or the
        // navigation ends without one.
        if (frame != targetId_ || currentLoader_.isEmpty()) return;
        movingOn_ = true;
        changed();
    } else if (method == QStringLiteral("Page.frameStoppedLoading")) {
        if (frame != targetId_) return;
        movingOn_ = false;
        changed();
    } else if (method == QStringLiteral("Network.requestWillBeSent")) {
        if (frame == targetId_ && params.value(QStringLiteral("type")).toString() == QStringLiteral("Document"))
            documentRequests_.insert(params.value(QStringLiteral("requestId")).toString());
    } else if (method == QStringLiteral("Network.loadingFailed")) {
        if (documentRequests_.contains(params.value(QStringLiteral("requestId")).toString()))
            documentError_ = params.value(QStringLiteral("errorText")).toString();
    } else if (method == QStringLiteral("Network.responseReceived")) {
        if (frame != targetId_ || params.value(QStringLiteral("type")).toString() != QStringLiteral("Document")) return;
        const QJsonObject response = params.value(QStringLiteral("response")).toObject();
        serverAnswers_.insert(params.value(QStringLiteral("loaderId")).toString(),
                              {response.value(QStringLiteral("status")).toInt(),
                               response.value(QStringLiteral("statusText")).toString()});
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
        lost(QStringLiteral("the page crashed"));
    } else if (method == QStringLiteral("Inspector.detached")) {
        lost(QStringLiteral("the page crashed"));
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
    platform::WaitUntil(events, [&] { return result->arrived; }, events.steadyMilliseconds() + limitMs);
    if (!result->answered) return std::nullopt;
    return result->value;
}

void BrowserTab::crash() {
    // Handled by the engine beside the renderer's own work, so a script that
    // never yields cannot hold it up.
    send(QStringLiteral("Page.crash"));
    lost(QStringLiteral("the page was ended because its script holds the engine"));
}

}  // namespace quendrel::engine
