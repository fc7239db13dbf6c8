#pragma once
// Consent dialogs (cookie banners, consent walls) stand between a reader and
// the page; on paper nobody can close them. Before a settled page is printed
// or captured, a consent platform's dialog is answered with its own refusing
// control, never its accepting one; where it offers none, and for a site's
// own wall, the dialog and its veil are taken out and the page's scrolling is
// given back. The platforms are known by the rules of
// scripts/consent_rules.js.
#include <QString>
#include <optional>

namespace quendrel::engine {

class BrowserTab;

enum class ConsentOutcome { None, Rejected, Removed };

// "none", "rejected", "removed".
QString ConsentWord(ConsentOutcome outcome);
std::optional<ConsentOutcome> ConsentFromWord(const QString& word);

// The page settles again for at most this long when a dialog was dealt with,
// since closing it may move or load content.
inline constexpr int kConsentSettleLimitMs = 1500;

// Deals with the consent dialogs of the settled page in the tab, as above,
// and says what it did. A page without one is left as it was. A page whose
// script does not answer is left too (None).
ConsentOutcome DealWithConsentDialogs(BrowserTab& tab);

}  // namespace quendrel::engine
