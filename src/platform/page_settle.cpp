#include "page_settle.h"

#include "browser_tab.h"

#include <QJsonArray>
#include <algorithm>

namespace quendrel::platform {

namespace {

constexpr int kAskWhileBusyMs = 50;
constexpr int kAskWhileScrollingMs = 30;
// One walk as soon as the load has ended, one more over the quiet page when
// the document changed after the first began.
constexpr int kMostWalks = 2;


// In the page's own world: the page's fetches, XHRs and short timers are
// work in progress that no document change shows. Each one tells its start
// and end by an event on the document, which the watcher's world hears.
// Everything else of the page behaves as before.
const char kReporterScript[] = R"((function () {
  var d = document, horizon = %1;
  function tell(what) { d.dispatchEvent(new Event('quendrel-settle-' + what)); }
  function once() {
    var open = true;
    tell('busy');
    return function () { if (open) { open = false; tell('idle'); } };
  }
  var realFetch = window.fetch;
  if (typeof realFetch === 'function') {
    window.fetch = function () {
      var end = once(), answer;
      try { answer = realFetch.apply(window, arguments); } catch (e) { end(); throw e; }
      answer.then(end, end);
      return answer;
    };
  }
  var xhr = window.XMLHttpRequest && XMLHttpRequest.prototype;
  if (xhr && typeof xhr.send === 'function') {
    var realSend = xhr.send;
    xhr.send = function () {
      var end = once();
      this.addEventListener('loadend', end);
      try { var result = realSend.apply(this, arguments); } catch (e) { end(); throw e; }
      if (this.readyState === 4) end();
      return result;
    };
  }
  var realSet = window.setTimeout, realClear = window.clearTimeout, realClearInterval = window.clearInterval;
  var held = new Map();
  window.setTimeout = function (handler, delay) {
    if (typeof handler !== 'function' || !((Number(delay) || 0) <= horizon))
      return realSet.apply(window, arguments);
    var args = Array.prototype.slice.call(arguments, 2), end = once(), id;
    id = realSet.call(window, function () {
      try { handler.apply(window, args); } finally { held.delete(id); end(); }
    }, delay);
    held.set(id, end);
    return id;
  };
  function release(id) { var end = held.get(id); if (end) { held.delete(id); end(); } }
  window.clearTimeout = function (id) { release(id); return realClear.call(window, id); };
  window.clearInterval = function (id) { release(id); return realClearInterval.call(window, id); };
})();)";

// In a world of its own, out of the page's reach: notes every change to the
// document and what is still loading, scrolls through the page on request
// and answers how long the page has been quiet.
const char kWatcherScript[] = R"((function () {
  if (window.__quendrelSettle) return;
  var last = performance.now(), busy = 0, decoding = 0, walking = false, walked = false, changedSinceWalk = false;
  var loading = new Set(), decodeAsked = new WeakSet();
  function touch() { last = performance.now(); changedSinceWalk = true; }
  function hasArea(e) { var r = e.getBoundingClientRect(); return r.width > 0 && r.height > 0; }
  function loads(e) {
    if (e.localName === 'script') return !!e.src && (!e.type || /javascript|module|ecmascript/i.test(e.type));
    if (e.localName === 'link') return /(^|\s)stylesheet(\s|$)/i.test(e.rel) && !!e.href;
    return e.localName === 'iframe';
  }
  // What the document loads before its load event holds that event; only
  // what is added later is followed here.
  function follow(node) {
    if (node.nodeType !== 1 || document.readyState !== 'complete') return;
    var all = [node].concat(Array.from(node.querySelectorAll('script,link,iframe')));
    all.forEach(function (e) {
      if (!loads(e) || loading.has(e)) return;
      loading.add(e);
      var done = function () { loading.delete(e); touch(); };
      e.addEventListener('load', done, {once: true});
      e.addEventListener('error', done, {once: true});
    });
  }
  new MutationObserver(function (records) {
    touch();
    records.forEach(function (r) { r.addedNodes.forEach(follow); });
  }).observe(document, {subtree: true, childList: true, attributes: true, characterData: true});
  document.addEventListener('quendrel-settle-busy', function () { ++busy; touch(); });
  document.addEventListener('quendrel-settle-idle', function () { busy = Math.max(0, busy - 1); touch(); });
  if (document.fonts) document.fonts.addEventListener('loadingdone', touch);

  function pendingImages() {
    var n = 0, images = document.images;
    for (var i = 0; i < images.length; ++i) {
      var img = images[i];
      if (!hasArea(img)) continue;
      if (!img.complete) { if (img.loading !== 'lazy' || walked) ++n; continue; }
      if (img.naturalWidth > 0 && !decodeAsked.has(img)) {
        decodeAsked.add(img);
        ++decoding;
        var done = function () { --decoding; };
        img.decode().then(done, done);
      }
    }
    return n;
  }
  function pendingElements() {
    var n = 0;
    loading.forEach(function (e) { if (e.isConnected && (e.localName !== 'iframe' || hasArea(e))) ++n; });
    return n;
  }
  function scrollTop(y) { window.scrollTo({top: y, left: 0, behavior: 'instant'}); }
  // Two animation frames after a scroll the page has seen the new position
  // and started what it loads for it, which then holds the page; a page that
  // draws no frames gets a tenth of a second.
  function afterFrame(next) {
    var called = false;
    function once() { if (!called) { called = true; next(); } }
    requestAnimationFrame(function () { requestAnimationFrame(once); });
    setTimeout(once, 100);
  }
  function walk() {
    if (walking) return;
    walking = true;
    changedSinceWalk = false;
    var y = 0;
    scrollTop(0);
    (function step() {
      var root = document.scrollingElement || document.documentElement;
      var end = root ? root.scrollHeight - window.innerHeight : 0;
      if (y >= end || window.innerHeight <= 0) {
        scrollTop(0);
        walking = false;
        walked = true;
        return;
      }
      y = Math.min(end, y + window.innerHeight);
      scrollTop(y);
      afterFrame(step);
    })();
  }
  window.__quendrelSettle = {
    walk: walk,
    top: function () { scrollTop(0); },
    state: function () {
      var fonts = document.fonts && document.fonts.status === 'loading' ? 1 : 0;
      var pending = busy + pendingElements() + pendingImages() + decoding + fonts;
      return [performance.now() - last, pending, walked && !walking, changedSinceWalk];
    }
  };
})();)";

const char kStateScript[] = "window.__quendrelSettle ? window.__quendrelSettle.state() : null";
const char kWalkScript[] = "window.__quendrelSettle && window.__quendrelSettle.walk()";
const char kTopScript[] = "window.__quendrelSettle && window.__quendrelSettle.top()";

}  // namespace

SettleScripts SettleScriptSources() {
    return {QString::fromLatin1(kReporterScript).arg(kPageTimerHorizonMs), QString::fromLatin1(kWatcherScript)};
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

}  // namespace quendrel::platform
