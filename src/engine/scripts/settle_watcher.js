// In a world of its own, out of the page's reach: notes every change to the
// document and what is still loading, scrolls through the page on request
// and answers how long the page has been quiet.
(function () {
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
})();
