// The consent platforms known by their markup: data only, read by consent.js.
// One entry a platform:
//   name     who it is, for people reading this list;
//   host     (optional) the element whose open shadow root holds the dialog:
//            every selector below is looked up inside that root;
//   detect   the dialog, or its frame, as shown: the platform is present when
//            one match has an area on screen and is not hidden;
//   reject   the controls that refuse, in the order tried: "reject all",
//            "necessary only", "deny", "continue without agreeing";
//   within   (optional) where to look for a button whose words refuse when no
//            reject selector matches (platforms whose buttons carry no id);
//   remove   what goes when there is no reject control (or when the dialog
//            stays after it was pressed): the dialog with its backdrop.
// A control is never pressed when its words accept; see consent.js.
[
  {"name": "OneTrust",
   "detect": "#onetrust-banner-sdk, #onetrust-pc-sdk",
   "reject": ["#onetrust-reject-all-handler", ".ot-pc-refuse-all-handler", "#onetrust-pc-sdk .ot-reject-all-handler"],
   "remove": ["#onetrust-consent-sdk", "#onetrust-banner-sdk", "#onetrust-pc-sdk", ".onetrust-pc-dark-filter"]},
  {"name": "Cookiebot",
   "detect": "#CybotCookiebotDialog",
   "reject": ["#CybotCookiebotDialogBodyButtonDecline", "#CybotCookiebotDialogBodyLevelButtonLevelOptinDeclineAll"],
   "remove": ["#CybotCookiebotDialog", "#CybotCookiebotDialogBodyUnderlay"]},
  {"name": "Didomi",
   "detect": "#didomi-popup, #didomi-notice",
   "reject": ["#didomi-notice-disagree-button", ".didomi-continue-without-agreeing", "#didomi-popup .didomi-button-standard"],
   "within": "#didomi-host",
   "remove": ["#didomi-host", "#didomi-popup", "#didomi-notice", ".didomi-popup-backdrop"]},
  {"name": "Quantcast Choice",
   "detect": "#qc-cmp2-container .qc-cmp2-summary-buttons, #qc-cmp2-ui",
   "reject": ["#qc-cmp2-ui button.qc-cmp2-reject-all", "#qc-cmp2-ui button[aria-label*='DISAGREE' i]"],
   "within": "#qc-cmp2-ui",
   "remove": ["#qc-cmp2-container", ".qc-cmp2-container"]},
  {"name": "Sourcepoint (dialog in a frame of its own origin)",
   "detect": "iframe[id^='sp_message_iframe'], div[id^='sp_message_container'] iframe",
   "reject": [],
   "remove": ["div[id^='sp_message_container']", "iframe[id^='sp_message_iframe']"]},
  {"name": "Usercentrics",
   "host": "#usercentrics-root, #usercentrics-cmp-ui, aside#usercentrics-cmp-ui",
   "detect": "[data-testid='uc-default-banner'], [data-testid='uc-center-container'], #uc-center-container, #uc-main-dialog, [role='dialog']",
   "reject": ["button[data-testid='uc-deny-all-button']", "button#deny", "button.deny"],
   "within": "[role='dialog'], #uc-center-container, #uc-main-dialog",
   "remove": ["#usercentrics-root", "#usercentrics-cmp-ui"]},
  {"name": "TrustArc (TRUSTe)",
   "detect": "#truste-consent-track, .truste_box_overlay, .truste_popframe, iframe[src*='consent-pref.trustarc.com']",
   "reject": ["#truste-consent-required", "#truste-consent-reject"],
   "remove": ["#truste-consent-track", ".truste_box_overlay", ".truste_overlay", ".truste_popframe", "#consent_blackbar"]},
  {"name": "Google Funding Choices",
   "detect": ".fc-consent-root .fc-dialog, .fc-consent-root",
   "reject": [".fc-cta-do-not-consent", ".fc-button.fc-cta-do-not-consent"],
   "remove": [".fc-consent-root", ".fc-dialog-overlay"]},
  {"name": "Complianz",
   "detect": ".cmplz-cookiebanner:not(.cmplz-dismissed), #cmplz-cookiebanner-container .cmplz-cookiebanner",
   "reject": [".cmplz-cookiebanner .cmplz-deny", ".cmplz-btn.cmplz-deny"],
   "remove": ["#cmplz-cookiebanner-container", ".cmplz-cookiebanner", ".cmplz-soft-cookiewall"]},
  {"name": "CookieYes",
   "detect": ".cky-consent-container:not(.cky-hide), .cky-modal.cky-modal-open",
   "reject": [".cky-btn-reject", ".cky-consent-container .cky-btn-reject"],
   "remove": [".cky-consent-container", ".cky-overlay", ".cky-modal"]},
  {"name": "Osano",
   "detect": ".osano-cm-dialog:not(.osano-cm-dialog--hidden), .osano-cm-window .osano-cm-dialog",
   "reject": [".osano-cm-denyAll", ".osano-cm-deny", ".osano-cm-button--type_denyAll"],
   "remove": [".osano-cm-window", ".osano-cm-dialog"]},
  {"name": "Klaro",
   "detect": ".klaro .cookie-notice, .klaro .cookie-modal, #klaro .cookie-notice",
   "reject": [".klaro .cn-decline", ".klaro .cm-btn-decline", ".klaro .cm-btn-danger"],
   "remove": ["#klaro", ".klaro"]},
  {"name": "iubenda",
   "detect": "#iubenda-cs-banner",
   "reject": [".iubenda-cs-reject-btn"],
   "remove": ["#iubenda-cs-banner"]},
  {"name": "consentmanager",
   "detect": "#cmpbox",
   "reject": [".cmpboxbtnno", "#cmpbntnotxt"],
   "remove": ["#cmpbox", "#cmpbox2"]}
]
