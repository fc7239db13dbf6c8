#pragma once
// One tab of the headless browser: a page that nobody sits at. Its script
// dialogs get the answer a user gives by closing them, its file choosers
// never open, it reads no local file but the one it was sent to, and the scripts that follow its activity for the settle step
// are in place before each of its documents is made. Scripts of our own run
// in a world of their own, out of the page's reach.
#include "devtools_client.h"

#include <QJsonValue>
#include <QSet>
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
    // Pending until the server's answer arrives; Committed while a document
    // of the page shows but loads; Loaded once its load event has fired.
    Load load() const { return load_; }
    // Why the load failed, in words for users; empty when it did not.
    QString failure() const { return failure_; }
    // The HTTP status of the document shown, 0 when there was none.
    int status() const { return status_; }
    QString statusText() const { return statusText_; }
    // Called when the load event of the page has fired.
    void whenLoaded(std::function<void()> loaded) { whenLoaded_ = std::move(loaded); }
    // The renderer crashed or was ended: the tab shows nothing more.
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
    void onEvent(const QString& method, const QJsonObject& params);
    void onNavigated(const DevToolsReply& reply, int navigation);
    void loaded();
    void withContext(std::function<void(int context)> then);
    void send(const QString& method, const QJsonObject& params = {}, DevToolsClient::ReplyHandler handler = {});

    DevToolsClient* client();

    HeadlessBrowser& browser_;
    int generation_;
    bool scripts_;
    QString targetId_;
    QString sessionId_;
    int listening_ = 0;
    int closing_ = 0;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);

    int navigation_ = 0;
    Load load_ = Load::Pending;
    QString loaderId_;
    QSet<QString> loadedLoaders_;
    QString failure_;
    int status_ = 0;
    QString statusText_;
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
