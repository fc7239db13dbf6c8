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

struct Step {
    enum Kind { Answer, Response, Commit, Load, MovingOn, Crash, EngineEnds } kind;
    QString loader = QStringLiteral("L1");
    int status = 200;
    QString text = QStringLiteral("OK");
};

struct Case {
    const char* name;
    std::vector<Step> onNavigate;  // what the engine does once asked to navigate
    std::vector<Step> onSettle;    // and once the settle first asks the page
    LoadOutcome::Kind kind;
    QString failure;
};

using K = Step::Kind;
const Step kGone{K::Response, QStringLiteral("L1"), 404, QStringLiteral("Not Found")};

const Case kCases[] = {
    {"a redirect by script before the load",
     {{K::Response}, {K::Commit}, {K::Answer}, {K::MovingOn}, {K::Response, "L2"}, {K::Commit, "L2"}, {K::Load, "L2"}},
     {},
     LoadOutcome::Loaded,
     {}},
    {"a refresh after the load to a missing page",
     {{K::Answer}, {K::Response}, {K::Commit}, {K::Load}, {K::MovingOn}, {K::Response, "L2", 404, "Not Found"},
      {K::Commit, "L2"}, {K::Load, "L2"}},
     {},
     LoadOutcome::Failed,
     QStringLiteral("the server answered 404 Not Found")},
    {"an error status with a page of the server's",
     {{K::Answer}, kGone, {K::Commit}, {K::Load}},
     {},
     LoadOutcome::Failed,
     QStringLiteral("the server answered 404 Not Found")},
    {"an error status without a page", {kGone, {K::Answer, "L1", 404}}, {}, LoadOutcome::Failed,
     QStringLiteral("the server answered 404 Not Found")},
    {"a crash after the load",
     {{K::Answer}, {K::Response}, {K::Commit}, {K::Load}},
     {{K::Crash}},
     LoadOutcome::Failed,
     QStringLiteral("the page crashed")},
    {"the engine ends while the page settles",
     {{K::Answer}, {K::Response}, {K::Commit}, {K::Load}},
     {{K::EngineEnds}},
     LoadOutcome::Failed,
     QStringLiteral("the web engine ended")},
};

// Plays the engine: a tab "T" in session "S", a page that is quiet at once,
// and the case's steps.
class PlayedEngine {
public:
    explicit PlayedEngine(const Case* c = nullptr, QString refused = {}) : case_(c), refused_(std::move(refused)) {
        channel.script = [this](int id, const QString& method, const QJsonObject& params) {
            return answer(id, method, params);
        };
    }
    testing::ScriptedChannel channel;

private:
    bool answer(int id, const QString& method, const QJsonObject& params) {
        if (method == refused_) channel.fail(id, QStringLiteral("not allowed"));
        else if (method == "Target.createTarget") channel.reply(id, {{"targetId", "T"}});
        else if (method == "Target.attachToTarget") channel.reply(id, {{"sessionId", "S"}});
        else if (method == "Page.createIsolatedWorld") channel.reply(id, {{"executionContextId", 7}});
        else if (method == "Page.navigate") play(case_->onNavigate, id);
        else if (method == "Runtime.evaluate" && params.value("expression").toString().contains("state()")) {
            if (!asked_++ && !case_->onSettle.empty()) return play(case_->onSettle, id), true;
            const QJsonArray quiet{1000, 0, true, false};
            channel.reply(id, {{"result", QJsonObject{{"type", "object"}, {"value", quiet}}}});
        } else return false;
        return true;
    }
    void play(const std::vector<Step>& steps, int id) {
        for (const Step& s : steps) {
            const QJsonObject frame{{"id", "T"}, {"loaderId", s.loader}};
            switch (s.kind) {
            case K::Answer:
                channel.reply(id, {{"frameId", "T"}, {"loaderId", s.loader},
                                   {"errorText", s.status >= 400 ? "net::ERR_HTTP_RESPONSE_CODE_FAILURE" : ""}});
                break;
            case K::Response:
                channel.event("Network.responseReceived",
                              {{"frameId", "T"}, {"loaderId", s.loader}, {"type", "Document"},
                               {"response", QJsonObject{{"status", s.status}, {"statusText", s.text}}}});
                break;
            case K::Commit: channel.event("Page.frameNavigated", {{"frame", frame}}); break;
            case K::Load:
                channel.event("Page.lifecycleEvent", {{"frameId", "T"}, {"loaderId", s.loader}, {"name", "load"}});
                break;
            case K::MovingOn: channel.event("Page.frameRequestedNavigation", {{"frameId", "T"}}); break;
            case K::Crash:
                channel.event("Inspector.targetCrashed", {});
                channel.fail(id, QStringLiteral("Target crashed"));
                break;
            case K::EngineEnds: channel.close(); break;
            }
        }
    }
    const Case* case_;
    QString refused_;
    int asked_ = 0;
};

TEST(PageLoadTest, TheLastDocumentCountsAndWhatFailsAPageFailsIt) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        platform::QtEventPump pump;
        PlayedEngine engine(&c);
        HeadlessBrowser browser(pump, engine.channel);
        auto tab = std::make_unique<BrowserTab>(browser);
        const LoadOutcome outcome = LoadAndSettle(
            tab, [](BrowserTab& t) { t.navigate(QUrl("http://site.example/")); }, 3000, 2000);
        EXPECT_EQ(outcome.kind, c.kind) << outcome.failure.toStdString();
        EXPECT_EQ(outcome.failure, c.failure);
    }
}

TEST(PageLoadTest, ARefusedSetUpCallFailsTheTab) {
    platform::QtEventPump pump;
    PlayedEngine engine(nullptr, QStringLiteral("Fetch.enable"));
    HeadlessBrowser browser(pump, engine.channel);
    try {
        BrowserTab tab(browser);
        ADD_FAILURE() << "the tab opened without its interception";
    } catch (const Failure& failure) {
        EXPECT_TRUE(failure.description().contains("Fetch.enable (not allowed)")) << failure.description().toStdString();
    }
    EXPECT_TRUE(engine.channel.methods.contains("Target.closeTarget"));
}

}  // namespace
}  // namespace quendrel::engine
