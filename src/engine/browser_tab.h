#pragma once
// One tab of the headless browser: a page that nobody sits at. Its script
// dialogs get the answer a user gives by closing them, its file choosers
// never open, it reads no local file but the one it was sent to, and the scripts that follow its activity for the settle step
// are in place before each of its documents is made. Scripts of our own run
// in a world of their own, out of the page's reach.
#include "devtools_client.h"

#include <QJsonValue>
#include <QHash>
#include <QSet>
#include <QStringList>
#include <QString>
#include <QUrl>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace quendrel::engine {

class HeadlessBrowser;

// The page area of a desktop browser's window, which pages lay themselves
// out for.
inline constexpr int kPageWidth = 1024;
inline constexpr int kPageHeight = 768;

class BrowserTab {
public:
    // Opens the tab, starting the engine when it does not run. A tab without
    // scripts runs none of the page's. Throws Failure when the engine cannot
    // start or open a tab.
    explicit BrowserTab(HeadlessBrowser& browser, bool scripts = true);
    // Closes the tab.
    ~BrowserTab();
    BrowserTab(const BrowserTab&) = delete;
    BrowserTab& operator=(const BrowserTab&) = delete;

    // Starts loading an address.
    void navigate(const QUrl& address);
    // Starts loading a copy of a page: the request for its own address is
    // answered with the bytes and the content type, once, so the copy has the
    // address, origin and relative links of the page it came from.
    void navigateToCopy(const QUrl& address, const QByteArray& body, const QByteArray& contentType);
    // Stops whatever the page is still loading.
    void stopLoading();

    enum class Load { Pending, Committed, Loaded, Failed };
    // The state of the page's current document: Pending until a document of
    // the navigation shows; Committed while it loads, or while the page moves
    // on to another document (a redirect by script or by a meta refresh);
    // Loaded once the load event of the document shown has fired; Failed
    // when the navigation failed, or the renderer or the engine went, at any
    // moment. A document that replaces the one shown becomes the current one,
    // so the load that counts is the last document's.
    Load load() const;
    // Why the page failed, in words for users; empty when it did not.
    QString failure() const { return failure_; }
    // The HTTP status of the current document, 0 when there was none.
    int status() const;
    QString statusText() const;
    // Called each time the page reaches Loaded.
    void whenLoaded(std::function<void()> loaded) { whenLoaded_ = std::move(loaded); }
    // Counts the documents the page has shown, to tell whether it moved on.
    int documents() const { return documents_; }
    // The renderer crashed or was ended, the tab was closed or its engine
    // ended: the tab shows nothing more.
    bool crashed() const { return crashed_; }
    // Whether the tab can still load a page: its renderer and its engine live.
    bool usable();
    bool runsScripts() const { return scripts_; }

    using Answer = std::function<void(bool answered, const QJsonValue& value)>;
    // Evaluates an expression in the tab's own world; the answer arrives by
    // value from the event loop, or answered is false (the page's script
    // holds the engine, the renderer crashed, the tab closed). An exception
    // in the expression answers an undefined value.
    void evaluate(const QString& expression, Answer answer);
    // The same, waiting with events handled, for at most the limit.
    std::optional<QJsonValue> evaluateNow(const QString& expression, int limitMs);

    // A call of the tab's session, waiting with events handled.
    DevToolsReply call(const QString& method, const QJsonObject& params = {}, int limitMs = kDevToolsCallLimitMs);
    // Ends the renderer, also when the page's script holds it.
    void crash();

    HeadlessBrowser& browser() { return browser_; }

private:
    void setUp();
    void onEvent(const QString& method, const QJsonObject& params);
    void onBrowserEvent(const QString& method, const QJsonObject& params);
    void onNavigated(const DevToolsReply& reply, int navigation);
    void onFrameNavigated(const QJsonObject& frame);
    void fail(const QString& why);
    void lost(const QString& why);
    void changed();
    void withContext(std::function<void(int context)> then);
    void send(const QString& method, const QJsonObject& params = {}, DevToolsClient::ReplyHandler handler = {});

    DevToolsClient* client();

    HeadlessBrowser& browser_;
    int generation_;
    bool scripts_;
    QString targetId_;
    QString sessionId_;
    int listening_ = 0;
    int listeningToBrowser_ = 0;
    int closing_ = 0;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);

    // The navigation asked for last, and the documents it led to. Documents
    // are told apart by their loader; the navigation's own is known from the
    // engine's answer, which may come before or after it shows.
    int navigation_ = 0;
    bool answered_ = false;
    bool sameDocument_ = false;
    QString navigationLoader_;
    QStringList shownSinceNavigation_;
    QString currentLoader_;
    // A navigation of the page under way that has not replaced its document.
    bool movingOn_ = false;
    int documents_ = 0;
    QSet<QString> loadedLoaders_;
    struct ServerAnswer {
        int status = 0;
        QString text;
    };
    QHash<QString, ServerAnswer> serverAnswers_;  // by loader
    QSet<QString> documentRequests_;
    QString documentError_;
    bool failed_ = false;
    bool wasLoaded_ = false;
    QString failure_;
    std::function<void()> whenLoaded_;
    bool crashed_ = false;

    // The local file the tab was sent to: the one file its page may load.
    QString ownFile_;
    // The copy served for its address, until the engine asks for it.
    QString copyAddress_;
    QByteArray copyBody_;
    QByteArray copyType_;

    int context_ = -1;
    bool askingContext_ = false;
    std::vector<std::function<void(int)>> waitingForContext_;
};

}  // namespace quendrel::engine
