// In the page's own world: the page's fetches, XHRs and short timers are
// work in progress that no document change shows. Each one tells its start
// and end by an event on the document, which the watcher's world hears.
// Everything else of the page behaves as before.
(function () {
  var d = document, horizon = QUENDREL_TIMER_HORIZON_MS;
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
})();
