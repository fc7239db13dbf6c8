// All rectangles are read before anything changes, so one element's change
// cannot move another before it is measured. Elements that stick to the top
// of the screen once scrolled stay in the flow where they are. An element whose containing
// block is not the document's (a positioned ancestor) is corrected by how far
// it landed from where it stood.
(function () {
  var fixed = [], sticky = [], all = document.querySelectorAll('*'), half = window.innerHeight / 2;
  for (var i = 0; i < all.length; ++i) {
    var position = getComputedStyle(all[i]).position;
    if (position === 'fixed') fixed.push({e: all[i], r: all[i].getBoundingClientRect()});
    else if (position === 'sticky') sticky.push(all[i]);
  }
  var y = window.scrollY;
  function set(e, name, value) { e.style.setProperty(name, value, 'important'); }
  sticky.forEach(function (e) { set(e, 'position', 'relative'); });
  fixed.forEach(function (f) {
    if (f.r.top >= half) { set(f.e, 'position', 'static'); return; }
    set(f.e, 'position', 'absolute');
    set(f.e, 'top', (f.r.top + y) + 'px');
    set(f.e, 'bottom', 'auto');
  });
  fixed.forEach(function (f) {
    if (f.r.top >= half) return;
    var now = f.e.getBoundingClientRect();
    var dy = f.r.top - now.top, dx = f.r.left - now.left;
    if (Math.abs(dy) >= 0.5) set(f.e, 'top', (parseFloat(f.e.style.top) + dy) + 'px');
    if (Math.abs(dx) >= 0.5) {
      set(f.e, 'left', (parseFloat(getComputedStyle(f.e).left) + dx) + 'px');
      set(f.e, 'right', 'auto');
      set(f.e, 'width', f.r.width + 'px');
    }
  });
  return fixed.length;
})()
