#pragma once
// The engine of a run (or of one capture): the system's Chromium, started
// headless on first use and ended on request or with this object. Pages are
// tabs of it (browser_tab.h). What no person can answer is refused for every
// tab: downloads, and pop-ups and new windows, which are closed as they open.
#include "chromium_process.h"
#include "devtools_client.h"

#include <QString>
#include <memory>
#include <vector>
#include "platform/event_pump.h"

namespace quendrel::engine {

class BrowserTab;
using platform::EventPump;

class HeadlessBrowser {
public:
    explicit HeadlessBrowser(EventPump& events, ChromiumOptions options = {});
    // An engine that already runs at the other end of a channel kept by
    // someone else: starting it only talks to it.
    HeadlessBrowser(EventPump& events, DevToolsChannel& attached);
    ~HeadlessBrowser();
    HeadlessBrowser(const HeadlessBrowser&) = delete;
    HeadlessBrowser& operator=(const HeadlessBrowser&) = delete;

    // Starts the engine unless it runs; one that has ended (crashed, killed)
    // is started afresh. An engine lent by another program is taken instead,
    // once: it is not started again. Throws EngineUnavailable with a message that names the
    // package when it is missing or does not start.
    void start();
    // Ends the engine and removes its profile; the next start makes a new one.
    // A lent engine is given back (its lender closes what was made in it).
    void end();

    // A tab that has served a page, kept for the next one, so that pages of
    // one site follow each other in one renderer instead of each starting
    // its own; null when none is kept.
    std::unique_ptr<BrowserTab> takeTab();
    // Gives a tab back. One that crashed, runs no scripts or belongs to an
    // engine that has ended is closed; so is one beyond the few kept. A kept
    // tab is sent to a blank page, so nothing of its last page runs on.
    void keepTab(std::unique_ptr<BrowserTab> tab);
    bool isRunning() const { return client_ && client_->isOpen(); }

    // Only while running.
    DevToolsClient& client() { return *client_; }
    EventPump& events() { return events_; }
    // The engine that renders, as it names itself ("Chromium/156.0.8078.129").
    QString version() const { return version_; }
    // What pages are told the browser is: the engine's own words without
    // "Headless", so sites serve the page they serve a person.
    QString userAgent() const { return userAgent_; }
    // Counts the starts: a tab belongs to the engine of one start.
    int generation() const { return generation_; }

private:
    DevToolsChannel& open();
    void refuseUnattendedWork();

    EventPump& events_;
    ChromiumOptions options_;
    DevToolsChannel* attached_ = nullptr;
    std::unique_ptr<ChromiumProcess> process_;
    std::unique_ptr<PipeChannel> lent_;
    std::unique_ptr<DevToolsClient> client_;
    std::vector<std::unique_ptr<BrowserTab>> idleTabs_;
    QString version_;
    QString userAgent_;
    int generation_ = 0;
};

}  // namespace quendrel::engine
