#pragma once
// Waiting for a loaded page to look as a person would see it: its scripts have
// inserted and fetched what they meant to, its fonts and images are ready, and
// content that waits to be scrolled into view has been shown once.
//
// Used the same way by the hidden browser of a save run and by the capture
// program: every tab has the scripts of SettleScriptSources in place before
// each of its documents is made, and a PageSettle runs per load, started when
// the load has finished. Everything is driven by timers and script answers;
// nothing spins.
#include <QJsonValue>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

namespace quendrel::engine {

class BrowserTab;

// No change to the document and nothing of the page in flight for this long:
// the page is quiet.
inline constexpr int kPageQuietMs = 300;
// After this long the page is taken as it stands, quiet or not.
inline constexpr int kPageSettleLimitMs = 10'000;
// A timer the page sets for at most this long holds the page until it has run.
inline constexpr int kPageTimerHorizonMs = 5'000;

// The scripts that follow the page's activity from the moment each of its
// documents is made: one in the page's own world (it sees the page's
// fetches and timers start and end), one in the tab's own world.
struct SettleScripts {
    QString pageWorld;
    QString ownWorld;
};
SettleScripts SettleScriptSources();

// One settle of the page's current document:
//  1. scroll through the whole page once, a screen at a time, then back to the
//     top, so that lazy images and content waiting to be seen load;
//  2. wait until the page is quiet: no change to its document for the quiet
//     period, no request, script, style, frame, font or image of it loading,
//     no image still decoding and no timer of it due within the horizon;
//  3. when the document changed after the walk began, walk through it once
//     more and wait until it is quiet again.
// The quiet period runs from the page's last change, so the walk of a page
// that is quiet after its load costs nothing on top of it. Ends after the
// settle limit however far it got, also when the page's script never yields.
// Ends at most once; settled() tells it.
class PageSettle : public QObject {
    Q_OBJECT
public:
    explicit PageSettle(BrowserTab& tab, int quietMs = kPageQuietMs, int limitMs = kPageSettleLimitMs,
                        QObject* parent = nullptr);

    void start();
    bool isDone() const { return done_; }
    // Whether the limit ended the settle before the page was quiet.
    bool reachedLimit() const { return reachedLimit_; }

signals:
    void settled(bool reachedLimit);

private:
    enum class Phase { Scrolling, Quieting };

    void walk();
    void ask();
    void onAnswer(bool answered, const QJsonValue& answer);
    void finish(bool reachedLimit);

    BrowserTab& tab_;
    int quietMs_;
    int limitMs_;
    Phase phase_ = Phase::Scrolling;
    int walks_ = 0;
    bool asking_ = false;
    bool done_ = false;
    bool reachedLimit_ = false;
    QTimer next_;
    QTimer limit_;
};

}  // namespace quendrel::engine
