#include "engine/devtools_client.h"

#include "engine/devtools_relay.h"
#include "engine/headless_browser.h"
#include "engine/pipe_channel.h"
#include "platform/qt_event_pump.h"

#include <QJsonDocument>
#include <QSocketNotifier>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quendrel::engine {
namespace {
using namespace quendrel::engine;

using platform::EventPump;
using platform::QtEventPump;

template <class Done>
bool waitUntil(EventPump& pump, Done done, int limitMs = 5000) {
    const long long end = pump.steadyMilliseconds() + limitMs;
    while (!done()) {
        if (pump.steadyMilliseconds() >= end) return false;
        pump.waitForEvents(20);
    }
    return true;
}

QByteArray framed(const QJsonObject& message) { return QJsonDocument(message).toJson(QJsonDocument::Compact) + '\0'; }
QByteArray reply(int id, const QJsonObject& result = {}) { return framed({{"id", id}, {"result", result}}); }
QByteArray event(const QString& method, const QString& session = {}, const QJsonObject& params = {}) {
    QJsonObject message{{"method", method}, {"params", params}};
    if (!session.isEmpty()) message.insert("sessionId", session);
    return framed(message);
}

// The browser's end of the pipe, played by the test: it keeps each call the
// client sent and writes whatever bytes the test scripts.
class ScriptedBrowser {
public:
    ScriptedBrowser(int socket, EventPump& pump) : socket_(socket), pump_(pump) {
        ::fcntl(socket_, F_SETFL, ::fcntl(socket_, F_GETFL) | O_NONBLOCK);
        notifier_ = std::make_unique<QSocketNotifier>(socket_, QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { read(); });
    }
    ~ScriptedBrowser() { close(); }

    // Writes in pieces of the given size, letting the client read after each.
    void write(const QByteArray& bytes, qsizetype piece = 1 << 30) {
        for (qsizetype at = 0; at < bytes.size();) {
            const ssize_t n = ::send(socket_, bytes.constData() + at,
                                     static_cast<size_t>(std::min(piece, bytes.size() - at)), MSG_NOSIGNAL);
            if (n > 0) at += n;
            ASSERT_TRUE(n > 0 || errno == EAGAIN || errno == EINTR) << "the client's end is gone";
            if (n <= 0 || piece < bytes.size()) pump_.waitForEvents(20);
        }
    }
    void close() {
        notifier_.reset();
        if (socket_ >= 0) ::close(socket_);
        socket_ = -1;
    }

    std::vector<QJsonObject> calls;
    std::function<void(const QJsonObject&)> onCall;

private:
    void read() {
        char buffer[64 * 1024];
        ssize_t n;
        while ((n = ::read(socket_, buffer, sizeof buffer)) > 0) received_.append(buffer, n);
        if (n == 0) notifier_->setEnabled(false);
        for (qsizetype end; (end = received_.indexOf('\0')) >= 0; received_.remove(0, end + 1)) {
            const QJsonObject call = QJsonDocument::fromJson(received_.left(end)).object();
            calls.push_back(call);
            if (onCall) onCall(call);
        }
    }
    int socket_;
    EventPump& pump_;
    std::unique_ptr<QSocketNotifier> notifier_;
    QByteArray received_;
};

class DevToolsClientTest : public ::testing::Test {
protected:
    DevToolsClientTest() {
        int ends[2] = {-1, -1};
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
        browser = std::make_unique<ScriptedBrowser>(ends[1], pump);
        channel = std::make_unique<PipeChannel>(ends[0]);
        client = std::make_unique<DevToolsClient>(*channel);
    }
    // Every message written before it has been handled once this returns.
    bool roundTrip() {
        bool answered = false;
        const int number = client->send("Test.sync", {}, {}, [&](const DevToolsReply&) { answered = true; });
        browser->write(reply(number));
        return waitUntil(pump, [&] { return answered; });
    }
    long long since(long long start) { return pump.steadyMilliseconds() - start; }

    QtEventPump pump;
    std::unique_ptr<ScriptedBrowser> browser;
    std::unique_ptr<PipeChannel> channel;
    std::unique_ptr<DevToolsClient> client;
};

struct Delivery {
    const char* name;
    bool reversed;     // replies come in the opposite order of the calls
    bool oneWrite;     // all replies in one write, so one read may hold them all
    qsizetype piece;   // the writes are cut into pieces of this size
    qsizetype filler;  // bytes added to each call and reply, to overrun the socket's buffer
};
void PrintTo(const Delivery& d, std::ostream* os) { *os << d.name; }
class Replies : public DevToolsClientTest, public ::testing::WithParamInterface<Delivery> {};

TEST_P(Replies, ReachTheCallTheyAnswer) {
    const Delivery& d = GetParam();
    const QString filler(d.filler, 'x');
    const QString methods[] = {"Page.navigate", "Runtime.evaluate", "Page.printToPDF"};
    const QString sessions[] = {"S1", "S2", ""};
    std::map<QString, std::vector<DevToolsReply>> got;
    std::vector<int> numbers;
    for (int i = 0; i < 3; ++i)
        numbers.push_back(client->send(methods[i], {{"tag", methods[i]}, {"filler", filler}}, sessions[i],
                                       [&got, m = methods[i]](const DevToolsReply& r) { got[m].push_back(r); }));
    ASSERT_TRUE(waitUntil(pump, [&] { return browser->calls.size() == 3; }));
    for (int i = 0; i < 3; ++i) {
        const QJsonObject& call = browser->calls[i];
        EXPECT_EQ(call["id"].toInt(), numbers[i]);
        EXPECT_EQ(call["method"].toString(), methods[i]);
        EXPECT_EQ(call["params"]["tag"].toString(), methods[i]);
        EXPECT_EQ(call["params"]["filler"].toString().size(), d.filler);
        EXPECT_EQ(call.contains("sessionId"), !sessions[i].isEmpty());
        EXPECT_EQ(call["sessionId"].toString(), sessions[i]);
    }
    std::vector<QByteArray> replies;
    for (const QJsonObject& call : browser->calls)
        replies.push_back(reply(call["id"].toInt(), {{"echo", call["params"]["tag"]}, {"filler", filler}}));
    if (d.reversed) std::reverse(replies.begin(), replies.end());
    QByteArray all;
    for (const QByteArray& r : replies) {
        if (d.oneWrite) all += r;
        else browser->write(r, d.piece);
    }
    browser->write(all, d.piece);
    ASSERT_TRUE(waitUntil(pump, [&] { return got.size() == 3; }));
    ASSERT_TRUE(roundTrip());
    for (const QString& method : methods) {
        ASSERT_EQ(got[method].size(), 1u) << qPrintable(method);
        EXPECT_TRUE(got[method][0].ok);
        EXPECT_EQ(got[method][0].result["echo"].toString(), method);
        EXPECT_EQ(got[method][0].result["filler"].toString().size(), d.filler);
    }
    EXPECT_EQ(client->malformedCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Pipe, Replies,
    ::testing::Values(Delivery{"InOrder", false, false, 1 << 30, 0}, Delivery{"OutOfOrder", true, false, 1 << 30, 0},
                      Delivery{"AllInOneRead", true, true, 1 << 30, 0}, Delivery{"ByteByByte", true, true, 1, 0},
                      Delivery{"LargerThanTheSocketBuffer", false, true, 4096, 400'000}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DevToolsClientTest, EventsReachTheListenersOfTheirSessionOnly) {
    std::vector<QString> heard;
    auto as = [&heard](const QString& who) {
        return [&heard, who](const QString& method, const QJsonObject& params) {
            heard.push_back(who + " " + method + " " + params["n"].toString());
        };
    };
    client->listen("", as("browser"));
    const int first = client->listen("S1", as("s1a"));
    client->listen("S1", as("s1b"));
    client->listen("S2", as("s2"));
    browser->write(event("Target.targetCreated", "", {{"n", "1"}}) + event("Page.loadEventFired", "S1", {{"n", "2"}}) +
                   event("Page.loadEventFired", "S2", {{"n", "3"}}) + event("Page.loadEventFired", "S9", {{"n", "4"}}));
    ASSERT_TRUE(roundTrip());
    client->unlisten(first);
    browser->write(event("Page.frameNavigated", "S1", {{"n", "5"}}));
    ASSERT_TRUE(roundTrip());
    EXPECT_EQ(heard, (std::vector<QString>{"browser Target.targetCreated 1", "s1a Page.loadEventFired 2",
                                           "s1b Page.loadEventFired 2", "s2 Page.loadEventFired 3",
                                           "s1b Page.frameNavigated 5"}));
    EXPECT_EQ(client->malformedCount(), 0);
}

TEST_F(DevToolsClientTest, ReplyBodiesGiveAResultOrTheBrowsersError) {
    const struct {
        QByteArray body;
        bool ok;
        QString error;  // empty: any text
        int malformed;
    } rows[] = {
        {R"("result":{"frameId":"F1"})", true, "", 0},
        {R"("error":{"code":-32000,"message":"Cannot navigate to invalid URL"})", false,
         "Cannot navigate to invalid URL", 0},
        {R"("result":"F1")", false, "", 1},
        {R"("sessionId":"S1")", false, "", 1},
    };
    int malformed = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.body.constData());
        browser->onCall = [&](const QJsonObject& call) {
            browser->write("{\"id\":" + QByteArray::number(call["id"].toInt()) + "," + row.body + "}" + '\0');
        };
        const DevToolsReply got = client->call(pump, "Page.navigate", {{"url", "x"}}, "S1", 5000);
        EXPECT_EQ(got.ok, row.ok);
        EXPECT_EQ(got.result["frameId"].toString(), row.ok ? "F1" : "");
        EXPECT_EQ(got.error.isEmpty(), row.ok);
        if (!row.error.isEmpty()) {
            EXPECT_EQ(got.error, row.error);
        }
        EXPECT_EQ(client->malformedCount(), malformed += row.malformed);
    }
}

TEST_F(DevToolsClientTest, BrowserEndingMidRequestFailsEachPendingCallOnce) {
    std::vector<DevToolsReply> failed;
    for (const char* method : {"Page.navigate", "Page.printToPDF", "Target.closeTarget"})
        client->send(method, {}, "S1", [&](const DevToolsReply& r) { failed.push_back(r); });
    bool lastAnswered = false;
    const int answered = client->send("Browser.getVersion", {}, {}, [&](const DevToolsReply& r) { lastAnswered = r.ok; });
    int ends = 0, unlistened = 0;
    client->whenClosed([&] { ++ends; });
    client->whenClosed([&] { ++ends; });
    client->unlisten(client->whenClosed([&] { ++unlistened; }));
    browser->write(reply(answered));
    QTimer::singleShot(50, [&] { browser->close(); });
    const long long start = pump.steadyMilliseconds();
    const DevToolsReply waiting = client->call(pump, "Runtime.evaluate", {}, "S1", 20'000);
    EXPECT_LT(since(start), 5000) << "a call waits no longer once the browser has gone";
    EXPECT_FALSE(waiting.ok);
    EXPECT_FALSE(waiting.error.isEmpty());
    EXPECT_FALSE(client->isOpen());
    pump.waitForEvents(100);
    EXPECT_TRUE(lastAnswered) << "what the browser wrote before its end still arrives";
    ASSERT_EQ(failed.size(), 3u);
    for (const DevToolsReply& r : failed) EXPECT_TRUE(!r.ok && !r.error.isEmpty());
    EXPECT_EQ(ends, 2);
    EXPECT_EQ(unlistened, 0);

    int later = 0;
    client->send("Page.reload", {}, "S1", [&](const DevToolsReply& r) { later += !r.ok; });
    EXPECT_EQ(later, 1) << "fails before send returns";
    const long long again = pump.steadyMilliseconds();
    EXPECT_FALSE(client->call(pump, "Page.reload", {}, "S1", 20'000).ok);
    EXPECT_LT(since(again), 1000);
    pump.waitForEvents(50);
    EXPECT_EQ(failed.size(), 3u);
    EXPECT_EQ(ends, 2);
}

TEST_F(DevToolsClientTest, MalformedMessagesAreCountedAndPassedOver) {
    const QByteArray junk[] = {"not JSON",      R"({"id":1,)",          "[1,2,3]",  R"("text")", "42",
                               "{}",            R"({"params":{}})",     "",         R"({"id":"1","result":{}})",
                               R"({"id":999,"result":{}})", R"({"id":-1,"result":{}})"};
    int count = 0;
    for (const QByteArray& text : junk) {
        SCOPED_TRACE(text.constData());
        browser->write(text + '\0');
        ASSERT_TRUE(roundTrip()) << "later messages still work";
        EXPECT_EQ(client->malformedCount(), ++count);
    }
}

TEST_F(DevToolsClientTest, CallGivesUpAtItsLimitAndTheLateReplyGoesNowhere) {
    const long long start = pump.steadyMilliseconds();
    const DevToolsReply late = client->call(pump, "Page.printToPDF", {}, "S1", 300);
    EXPECT_GE(since(start), 300);
    EXPECT_LT(since(start), 3000);
    EXPECT_FALSE(late.ok);
    EXPECT_FALSE(late.error.isEmpty());
    int forgottenCalled = 0;
    client->forget(client->send("Page.reload", {}, "S1", [&](const DevToolsReply&) { ++forgottenCalled; }));
    ASSERT_TRUE(waitUntil(pump, [&] { return browser->calls.size() == 2; }));
    for (const QJsonObject& call : browser->calls) browser->write(reply(call["id"].toInt(), {{"data", "late"}}));
    ASSERT_TRUE(roundTrip());
    EXPECT_EQ(forgottenCalled, 0);
    EXPECT_EQ(client->malformedCount(), 0) << "a reply the client stopped waiting for is not malformed";

    browser->onCall = [&](const QJsonObject& call) { browser->write(reply(call["id"].toInt(), {{"data", "fresh"}})); };
    const DevToolsReply fresh = client->call(pump, "Page.printToPDF", {}, "S1", 5000);
    EXPECT_TRUE(fresh.ok);
    EXPECT_EQ(fresh.result["data"].toString(), "fresh");
}

// A handler that ends the client (and maybe its channel) while it is being
// called: no other handler runs after that and nothing touches what is gone.
enum class Ender { Reply, Event, PendingFailedOnClose, CloseHandler, EventDuringCall };
struct Reentry {
    const char* name;
    Ender ender;
    bool channelToo;
};
void PrintTo(const Reentry& r, std::ostream* os) { *os << r.name; }
class HandlerEndsTheClient : public DevToolsClientTest, public ::testing::WithParamInterface<Reentry> {};

TEST_P(HandlerEndsTheClient, NothingRunsOrCrashesAfterwards) {
    const Reentry& r = GetParam();
    int ended = 0, lateCalls = 0;
    auto handle = [&](Ender at) {
        if (ended) ++lateCalls;
        if (ended || at != r.ender) return;
        ++ended;
        client.reset();
        if (r.channelToo) channel.reset();
    };
    const Ender onEvent = r.ender == Ender::EventDuringCall ? Ender::EventDuringCall : Ender::Event;
    const int answered = client->send("Page.enable", {}, {}, [&](const DevToolsReply&) { handle(Ender::Reply); });
    for (int i = 0; i < 2; ++i) {
        client->send("Page.navigate", {}, {}, [&](const DevToolsReply&) { handle(Ender::PendingFailedOnClose); });
        client->listen("", [&](const QString&, const QJsonObject&) { handle(onEvent); });
        client->whenClosed([&] { handle(Ender::CloseHandler); });
    }
    const QByteArray script =
        event("Page.loadEventFired") + event("Page.loadEventFired") + reply(answered) + event("Page.frameNavigated");
    if (r.ender == Ender::EventDuringCall) {
        QTimer::singleShot(50, [&] { browser->write(script); });
        const long long start = pump.steadyMilliseconds();
        EXPECT_FALSE(client->call(pump, "Runtime.evaluate", {}, {}, 3000).ok);
        EXPECT_LT(since(start), 2500) << "the wait ends with its client";
    } else {
        browser->write(script);
        browser->close();
    }
    ASSERT_TRUE(waitUntil(pump, [&] { return ended == 1; }));
    browser->close();
    pump.waitForEvents(100);
    EXPECT_EQ(lateCalls, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Pipe, HandlerEndsTheClient,
    ::testing::Values(Reentry{"Reply", Ender::Reply, false}, Reentry{"ReplyWithChannel", Ender::Reply, true},
                      Reentry{"Event", Ender::Event, false}, Reentry{"EventWithChannel", Ender::Event, true},
                      Reentry{"PendingFailed", Ender::PendingFailedOnClose, false},
                      Reentry{"PendingFailedWithChannel", Ender::PendingFailedOnClose, true},
                      Reentry{"CloseHandler", Ender::CloseHandler, false},
                      Reentry{"CloseHandlerWithChannel", Ender::CloseHandler, true},
                      Reentry{"EventDuringCall", Ender::EventDuringCall, false},
                      Reentry{"EventDuringCallWithChannel", Ender::EventDuringCall, true}),
    [](const auto& info) { return std::string(info.param.name); });

// The run's engine lent to a program: the test plays the engine, and the
// program is a client of its own on the other end of the relay.
TEST(DevToolsRelayTest, TheProgramReachesOnlyWhatItMadeAndWhatItMadeCloses) {
    QtEventPump pump;
    int engineEnds[2] = {-1, -1};
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, engineEnds), 0);
    ScriptedBrowser engine(engineEnds[1], pump);
    engine.onCall = [&](const QJsonObject& call) {
        QJsonObject result;
        if (call["method"] == "Browser.getVersion") result = {{"product", "Chromium/1"}, {"userAgent", "UA"}};
        if (call["method"] == "Target.createTarget") result = {{"targetId", "T1"}};
        if (call["method"] == "Target.attachToTarget") result = {{"sessionId", "S1"}};
        QJsonObject answer{{"id", call["id"]}, {"result", result}};
        if (call.contains("sessionId")) answer.insert("sessionId", call["sessionId"]);
        engine.write(framed(answer));
    };
    ChromiumOptions lent;
    lent.lentEngine = engineEnds[0];
    HeadlessBrowser browser(pump, lent);
    int programEnd = -1;
    std::unique_ptr<DevToolsRelay> relay = DevToolsRelay::Open(browser, programEnd);
    auto programChannel = std::make_unique<PipeChannel>(programEnd);
    auto program = std::make_unique<DevToolsClient>(*programChannel);

    EXPECT_EQ(program->call(pump, "Target.createTarget", {{"url", "about:blank"}}).result["targetId"], "T1");
    EXPECT_EQ(program->call(pump, "Target.attachToTarget", {{"targetId", "T1"}}).result["sessionId"], "S1");
    EXPECT_TRUE(program->call(pump, "Page.enable", {}, "S1").ok);
    QStringList heard;
    program->listen("S1", [&](const QString& method, const QJsonObject&) { heard << method; });
    program->listen("S9", [&](const QString& method, const QJsonObject&) { heard << "S9 " + method; });
    engine.write(event("Page.loadEventFired", "S9") + event("Page.loadEventFired", "S1"));
    EXPECT_TRUE(waitUntil(pump, [&] { return !heard.isEmpty(); }));
    // Another's session, another's target and the browser itself are refused.
    EXPECT_FALSE(program->call(pump, "Page.enable", {}, "S9").ok);
    EXPECT_FALSE(program->call(pump, "Target.closeTarget", {{"targetId", "T9"}}).ok);
    EXPECT_FALSE(program->call(pump, "Browser.close").ok);
    EXPECT_EQ(heard, QStringList{"Page.loadEventFired"});
    for (const QJsonObject& call : engine.calls) {
        EXPECT_NE(call["method"], "Browser.close");
        EXPECT_NE(call["sessionId"], "S9");
    }
    program.reset();
    programChannel.reset();  // the program ends
    EXPECT_TRUE(waitUntil(pump, [&] {
        return engine.calls.back()["method"] == "Target.closeTarget" &&
               engine.calls.back()["params"].toObject()["targetId"] == "T1";
    }));
}

}  // namespace
}  // namespace quendrel::engine
