// Run in a world of its own over a settled page, with the rules of
// consent_rules.js and the pass: "answer" refuses or removes what a consent
// platform shows, and removes the consent walls of sites of their own;
// "tidy", after the page has settled again, removes what still shows of them.
// Answers "rejected" (a refusing control was pressed), "removed" (a dialog was
// taken out unanswered) or "none". A page without a dialog costs a few
// look-ups: the rules' selectors and what lies on top at nine points of the
// screen.
function (rules, pass) {
  var W = window.innerWidth, H = window.innerHeight;
  // Words that say a control refuses, and words that say it accepts, in the
  // languages of most of the sites that show such dialogs.
  var refusing = /\b(reject|decline|deny|refuse|disagree|do not (consent|agree|accept)|don.t (consent|agree|accept)|(only|strictly) (necessary|essential|required)|(necessary|essential|required)( cookies)? only|continue without|without (accepting|agreeing))|ablehnen|verweigern|nur (notwendige|erforderliche|essenzielle|technisch)|nicht (zustimmen|einverstanden)|refuser|je refuse|continuer sans|rechaz|no acepto|continuar sin|rifiut|continua senza|weiger|niet akkoord|alleen (noodzakelijke|functionele)|rejeit|recus|não aceito|odrzu|nie zgadzam|tylko niezbędne|avvisa|avböj|neka|endast nödvändiga|afvis|avslå|kun nødvendige/i;
  var accepting = /accept|agree|allow|akzept|zustimm|einverstanden|erlauben|accepter|j.accepte|d.accord|acept|accett|acconsent|accepteer|akkoord|aceit|concordo|akceptuj|zgadzam|godkänn|acceptera|tillåt|tillad|\bok\b|okay|got it|verstanden|compris|entendido|capito/i;
  // Phrases in which an accepting word still refuses ("continue without
  // accepting", "accept necessary only").
  var harmless = /without|sans|senza|sin |sem |ohne|zonder|bez |utan|necessary|essential|required|notwendig|erforderlich|essenziell|nécessaires|strictement|necesari|necessari|noodzakelijk|necessári|niezbędn|nödvändig|nødvendig/i;
  // Words of a consent wall: one of what it asks for, one of what it offers.
  var asksConsent = /cookie|consent|gdpr|dsgvo|rgpd|einwilligung|zustimmung|consentement|traceurs|consentimiento|consenso|toestemming|consentimento|ciasteczk|zgod|samtyck|kakor|samtykke|informasjonskapsl|evästeet|suostumus|souhlas/i;
  var offers = /accept|agree|allow|reject|decline|partner|privacy|setting|preference|necessary|purpose|vendor|akzept|zustimm|ablehn|datenschutz|einstellung|accepter|refuser|partenaire|paramètre|vie privée|acept|rechaz|socio|privacidad|accett|rifiut|accepteer|weiger|privacy|aceit|rejeit|parceiro|privacidade|akceptuj|odrzu|partner|prywatn|godkänn|avvisa|integritet|inställning/i;

  function text(e) { return ((e.innerText || e.textContent || '') + ' ' + (e.getAttribute('aria-label') || '') + ' ' + (e.value || '')).replace(/\s+/g, ' ').trim(); }
  function shows(e) {
    var r = e.getBoundingClientRect();
    if (r.width < 1 || r.height < 1) return false;
    var s = getComputedStyle(e);
    return s.visibility !== 'hidden' && s.display !== 'none' && parseFloat(s.opacity) > 0;
  }
  function mayPress(e, byRule) {
    var t = text(e);
    // "Accept all" never; "continue without accepting", "I do not agree" and
    // "accept necessary only" refuse.
    if (accepting.test(t) && !refusing.test(t) && !harmless.test(t)) return false;
    return byRule || refusing.test(t);
  }
  function all(root, selectors) {
    var found = [];
    [].concat(selectors).forEach(function (s) {
      try { found.push.apply(found, root.querySelectorAll(s)); } catch (e) { /* a selector this engine does not know */ }
    });
    return found;
  }
  function rootsOf(rule) {
    if (!rule.host) return [document];
    return all(document, rule.host).map(function (h) { return h.shadowRoot || null; }).filter(Boolean);
  }
  function remove(elements) {
    var n = 0;
    elements.forEach(function (e) { if (e.isConnected) { e.remove(); ++n; } });
    return n;
  }

  var points = [1 / 6, 1 / 2, 5 / 6].map(function (fy) { return [1 / 6, 1 / 2, 5 / 6].map(function (fx) { return [W * fx, H * fy]; }); });
  points = [].concat.apply([], points);
  function onTop(e) { return points.some(function (p) { return document.elementFromPoint(p[0], p[1]) === e; }); }
  var rejected = false, removed = false;

  rules.forEach(function (rule) {
    // A platform whose dialog lives in a closed shadow root is seen by its
    // host only, on top where the dialog stands: it cannot be answered, so
    // it goes.
    if (rule.host) {
      all(document, rule.host).forEach(function (h) {
        if (!h.shadowRoot && onTop(h)) { h.remove(); removed = true; }
      });
    }
    rootsOf(rule).forEach(function (root) {
      if (!all(root, rule.detect).some(shows)) return;
      if (pass === 'answer') {
        var control = all(root, rule.reject || []).filter(function (e) { return shows(e) && mayPress(e, true); })[0];
        if (!control && rule.within) {
          control = all(root, rule.within).map(function (w) {
            return all(w, 'button, a, [role=button], input[type=button], input[type=submit]').filter(function (e) { return shows(e) && mayPress(e, false); })[0];
          }).filter(Boolean)[0];
        }
        if (control) { control.click(); rejected = true; return; }
      }
      var hostOf = root.host ? [root.host] : [];
      if (remove(all(document, rule.remove).concat(all(root, rule.remove), hostOf))) removed = true;
    });
  });

  // A site's own wall: what lies on top at the points of the screen, taken
  // as the outermost element fixed or sticky to it ("a layer").
  function layerOf(e) {
    var layer = null;
    for (var n = e; n && n !== document.documentElement && n !== document.body; n = n.parentElement || (n.getRootNode && n.getRootNode().host)) {
      var p = getComputedStyle(n).position;
      if (p === 'fixed' || p === 'sticky') layer = n;
    }
    return layer;
  }
  function topAt(x, y) {
    var e = document.elementFromPoint(x, y);
    // Into open shadow roots, whose content the document sees as their host.
    while (e && e.shadowRoot) {
      var inner = e.shadowRoot.elementFromPoint(x, y);
      if (!inner || inner === e) break;
      e = inner;
    }
    return e;
  }
  function cover(e) {
    var r = e.getBoundingClientRect();
    var w = Math.max(0, Math.min(r.right, W) - Math.max(r.left, 0)), h = Math.max(0, Math.min(r.bottom, H) - Math.max(r.top, 0));
    return (w * h) / (W * H);
  }
  var layers = [], atCentre = null;
  // A dialog just answered is left to close itself before the tidy pass.
  if (!rejected) points.forEach(function (p, i) {
    var top = topAt(p[0], p[1]), layer = top && layerOf(top);
    if (!layer) return;
    if (layers.indexOf(layer) < 0) layers.push(layer);
    if (i === 4) atCentre = layer;  // the middle of the screen
  });
  var walls = [], veils = [];
  var pageText = (document.body && document.body.textContent || '').length;
  layers.forEach(function (layer) {
    // A layer that holds the page's whole content (a site laid out in one
    // fixed frame) is no dialog; its text is not even read.
    if ((layer.textContent || '').length > 20000) return;
    var t = text(layer);
    // A veil: over most of the screen with next to nothing written on it.
    if (t.length < 40 && cover(layer) >= 0.6) { veils.push(layer); return; }
    // A wall asks for consent in few words (not the page's own text in a
    // layer of the site's making) and stands over the middle of the screen or
    // most of it: a one-line bar at an edge of the screen is no wall.
    var whole = layer.getRootNode() === document ? pageText : pageText + t.length;  // a shadow root's text is its own
    if (!asksConsent.test(t) || !offers.test(t) || t.length > 6000 || t.length > 0.6 * whole) return;
    if (layer === atCentre || cover(layer) >= 0.5) walls.push(layer);
  });
  if (walls.length) removed = true;
  // The veils go with a dialog that was answered or removed: a veil left
  // standing then belonged to it.
  if (rejected || removed) remove(walls.concat(veils));

  // The scrolling the dialog took away, given back.
  if (rejected || removed || pass === 'tidy') {
    [document.documentElement, document.body].forEach(function (e) {
      if (!e) return;
      var s = getComputedStyle(e);
      if (s.overflowY === 'hidden' || s.overflowY === 'clip' || s.overflow === 'hidden') {
        e.style.setProperty('overflow', 'visible', 'important');
        e.style.setProperty('height', 'auto', 'important');
        e.style.setProperty('max-height', 'none', 'important');
      }
      if (s.position === 'fixed') {
        e.style.setProperty('position', 'static', 'important');
        e.style.setProperty('top', 'auto', 'important');
      }
    });
  }
  return rejected ? 'rejected' : removed ? 'removed' : 'none';
}
