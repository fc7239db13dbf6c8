#include "page_settle.h"

#include "browser_tab.h"
#include "page_scripts.h"

#include <QJsonArray>
#include <algorithm>

namespace quendrel::engine {

namespace {

constexpr int kAskWhileBusyMs = 50;
constexpr int kAskWhileScrollingMs = 30;
// One walk as soon as the load has ended, one more over the quiet page when
// the document changed after the first began.
constexpr int kMostWalks = 2;




const char kStateScript[] = "window.__quendrelSettle ? window.__quendrelSettle.state() : null";
const char kWalkScript[] = "window.__quendrelSettle && window.__quendrelSettle.walk()";
const char kTopScript[] = "window.__quendrelSettle && window.__quendrelSettle.top()";

}  // namespace

SettleScripts SettleScriptSources() {
    return {QString::fromUtf8(scripts::settle_reporter)
                .replace(QStringLiteral("QUENDREL_TIMER_HORIZON_MS"), QString::number(kPageTimerHorizonMs)),
            QString::fromUtf8(scripts::settle_watcher)};
}

PageSettle::PageSettle(BrowserTab& tab, int quietMs, int limitMs, QObject* parent)
    : QObject(parent), tab_(tab), quietMs_(quietMs), limitMs_(limitMs) {
    next_.setSingleShot(true);
    limit_.setSingleShot(true);
    connect(&next_, &QTimer::timeout, this, &PageSettle::ask);
    connect(&limit_, &QTimer::timeout, this, [this] { finish(true); });
}

void PageSettle::start() {
    limit_.start(limitMs_);
    walk();
    ask();
}

void PageSettle::walk() {
    ++walks_;
    phase_ = Phase::Scrolling;
    tab_.evaluate(QString::fromLatin1(kWalkScript), [](bool, const QJsonValue&) {});
}

void PageSettle::ask() {
    if (done_ || asking_) return;
    // A page whose script never yields never answers: only the limit ends
    // the settle then, and no second question piles up behind the first.
    asking_ = true;
    QPointer<PageSettle> self(this);
    tab_.evaluate(QString::fromLatin1(kStateScript), [self](bool answered, const QJsonValue& answer) {
        if (self) self->onAnswer(answered, answer);
    });
}

void PageSettle::onAnswer(bool answered, const QJsonValue& answer) {
    asking_ = false;
    if (done_) return;
    // A page whose script holds the renderer answers nothing: only the limit
    // ends the settle then. Asking again at once would pile questions up.
    if (!answered && !tab_.crashed()) {
        next_.start(kAskWhileBusyMs);
        return;
    }
    const QJsonArray state = answer.toArray();
    // A document without the watcher (an engine's error page) or a renderer
    // that is gone has nothing to wait for.
    if (state.size() != 4) {
        finish(false);
        return;
    }
    const int quietFor = static_cast<int>(state[0].toDouble());
    const bool quiet = state[1].toDouble() == 0 && quietFor >= quietMs_;
    const bool walked = state[2].toBool();
    const bool changedSinceWalk = state[3].toBool();
    if (phase_ == Phase::Scrolling) {
        if (!walked) {
            next_.start(kAskWhileScrollingMs);
            return;
        }
        phase_ = Phase::Quieting;
    }
    if (quiet) {
        // The first walk ran while the page was still at work; what it has
        // added since is walked through once the page is quiet.
        if (!changedSinceWalk || walks_ >= kMostWalks) {
            finish(false);
            return;
        }
        walk();
        next_.start(kAskWhileScrollingMs);
        return;
    }
    // Asked again when the quiet period would be over, or soon while
    // something is still under way.
    next_.start(state[1].toDouble() > 0 ? kAskWhileBusyMs : std::max(10, quietMs_ - quietFor));
}

void PageSettle::finish(bool reachedLimit) {
    if (done_) return;
    done_ = true;
    reachedLimit_ = reachedLimit;
    next_.stop();
    limit_.stop();
    // A settle cut short may have left the page scrolled down.
    if (reachedLimit) tab_.evaluate(QString::fromLatin1(kTopScript), [](bool, const QJsonValue&) {});
    emit settled(reachedLimit);
}

}  // namespace quendrel::engine
