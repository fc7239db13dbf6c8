// The load-and-settle flow over an engine played in memory: which document
// counts, and what fails a page.
#include "engine/page_load.h"

#include "engine/browser_tab.h"
#include "engine/headless_browser.h"
#include "platform/failure.h"
#include "platform/qt_event_pump.h"
#include "support/scripted_channel.h"

#include <QJsonArray>
#include <gtest/gtest.h>

namespace quendrel::engine {
namespace {

// What the engine does once asked to navigate, then once the settle first
// asks the page, step by step: "answer:L1" (to the navigation; "answer:L1:404"
// fails it), "response:L1:404", "commit:L1", "load:L1", "moving", "crash",
// "end" (the engine's end of the pipe closes).
struct Case {
    const char* name;
    const char* onNavigate;
    const char* onSettle;
    LoadOutcome::Kind kind;
    const char* failure;
};
const Case kCases[] = {
    {"a redirect by script before the load",
     "response:L1 commit:L1 answer:L1 moving response:L2 commit:L2 load:L2", "", LoadOutcome::Loaded, ""},
    {"a refresh after the load to a missing page",
     "answer:L1 response:L1 commit:L1 load:L1 moving response:L2:404 commit:L2 load:L2", "", LoadOutcome::Failed,
     "the server answered 404 Not Found"},
    {"an error status with a page", "answer:L1 response:L1:404 commit:L1 load:L1", "", LoadOutcome::Failed,
     "the server answered 404 Not Found"},
    {"an error status without a page", "response:L1:404 answer:L1:404", "", LoadOutcome::Failed,
     "the server answered 404 Not Found"},
    {"a crash after the load", "answer:L1 response:L1 commit:L1 load:L1", "crash", LoadOutcome::Failed,
     "the page crashed"},
    {"the engine ends while the page settles", "answer:L1 response:L1 commit:L1 load:L1", "end", LoadOutcome::Failed,
     "the web engine ended"},
};

// A tab "T" in session "S", whose documents are quiet at once.
struct PlayedEngine {
    testing::ScriptedChannel channel;
    const Case* played = nullptr;
    QString refused;
    int asked = 0;

    PlayedEngine() { channel.script = [this](int id, const QString& m, const QJsonObject& p) { return answer(id, m, p); }; }
    bool answer(int id, const QString& method, const QJsonObject& params) {
        const bool settleAsks = method == "Runtime.evaluate" && params["expression"].toString().contains("state()");
        if (method == refused) channel.fail(id, "not allowed");
        else if (method == "Target.createTarget") channel.reply(id, {{"targetId", "T"}});
        else if (method == "Target.attachToTarget") channel.reply(id, {{"sessionId", "S"}});
        else if (method == "Page.createIsolatedWorld") channel.reply(id, {{"executionContextId", 7}});
        else if (method == "Page.navigate") play(played->onNavigate, id);
        else if (settleAsks && !asked++ && *played->onSettle) play(played->onSettle, id);
        else if (settleAsks) channel.reply(id, {{"result", QJsonObject{{"value", QJsonArray{1000, 0, true, false}}}}});
        else return false;
        return true;
    }
    void play(const char* steps, int id) {
        for (const QString& step : QString::fromLatin1(steps).split(' ')) {
            const QStringList s = step.split(':');
            const QString loader = s.value(1);
            const int status = s.value(2, "200").toInt();
            if (s[0] == "answer")
                channel.reply(id, {{"loaderId", loader}, {"errorText", status >= 400 ? "net::ERR_HTTP_RESPONSE_CODE_FAILURE" : ""}});
            if (s[0] == "response")
                channel.event("Network.responseReceived",
                              {{"frameId", "T"}, {"loaderId", loader}, {"type", "Document"},
                               {"response", QJsonObject{{"status", status}, {"statusText", status == 200 ? "OK" : "Not Found"}}}});
            if (s[0] == "commit") channel.event("Page.frameNavigated", {{"frame", QJsonObject{{"id", "T"}, {"loaderId", loader}}}});
            if (s[0] == "load") channel.event("Page.lifecycleEvent", {{"frameId", "T"}, {"loaderId", loader}, {"name", "load"}});
            if (s[0] == "moving") channel.event("Page.frameRequestedNavigation", {{"frameId", "T"}});
            if (s[0] == "crash") channel.event("Inspector.targetCrashed", {}), channel.fail(id, "Target crashed");
            if (s[0] == "end") channel.close();
        }
    }
};

TEST(PageLoadTest, TheLastDocumentCountsAndWhatFailsAPageFailsIt) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        platform::QtEventPump pump;
        PlayedEngine engine;
        engine.played = &c;
        HeadlessBrowser browser(pump, engine.channel);
        auto tab = std::make_unique<BrowserTab>(browser);
        const LoadOutcome outcome =
            LoadAndSettle(tab, [](BrowserTab& t) { t.navigate(QUrl("http://site.example/")); }, 3000, 2000);
        EXPECT_EQ(outcome.kind, c.kind) << outcome.failure.toStdString();
        EXPECT_EQ(outcome.failure, QString::fromLatin1(c.failure));
    }
}

TEST(PageLoadTest, ARefusedSetUpCallFailsTheTab) {
    platform::QtEventPump pump;
    PlayedEngine engine;
    engine.refused = "Fetch.enable";
    HeadlessBrowser browser(pump, engine.channel);
    EXPECT_THROW(BrowserTab{browser}, Failure);
    EXPECT_TRUE(engine.channel.methods.contains("Target.closeTarget"));
}

}  // namespace
}  // namespace quendrel::engine
