#include "consent_dialogs.h"

#include "browser_tab.h"
#include "headless_browser.h"
#include "page_scripts.h"
#include "page_settle.h"
#include "platform/event_pump.h"

namespace quendrel::engine {

namespace {

// The script looks at a few elements only; a page that takes longer to
// answer holds its engine, and its dialog stays.
constexpr int kConsentAnswerLimitMs = 2000;

QString ConsentScript(const char* pass) {
    return QStringLiteral("(%1)(%2, '%3')")
        .arg(QString::fromUtf8(scripts::consent), QString::fromUtf8(scripts::consent_rules), QLatin1String(pass));
}

ConsentOutcome Run(BrowserTab& tab, const char* pass) {
    const std::optional<QJsonValue> answer = tab.evaluateNow(ConsentScript(pass), kConsentAnswerLimitMs);
    if (!answer) return ConsentOutcome::None;
    return ConsentFromWord(answer->toString()).value_or(ConsentOutcome::None);
}

void SettleBriefly(BrowserTab& tab) {
    PageSettle settle(tab, kPageQuietMs, kConsentSettleLimitMs);
    settle.start();
    // The settle's own limit ends it.
    platform::WaitUntil(tab.browser().events(), [&settle] { return settle.isDone(); }, platform::kNoDeadline);
}

}  // namespace

QString ConsentWord(ConsentOutcome outcome) {
    switch (outcome) {
    case ConsentOutcome::Rejected:
        return QStringLiteral("rejected");
    case ConsentOutcome::Removed:
        return QStringLiteral("removed");
    case ConsentOutcome::None:
        break;
    }
    return QStringLiteral("none");
}

std::optional<ConsentOutcome> ConsentFromWord(const QString& word) {
    for (const ConsentOutcome outcome : {ConsentOutcome::None, ConsentOutcome::Rejected, ConsentOutcome::Removed})
        if (word == ConsentWord(outcome)) return outcome;
    return std::nullopt;
}

ConsentOutcome DealWithConsentDialogs(BrowserTab& tab) {
    const ConsentOutcome outcome = Run(tab, "answer");
    if (outcome == ConsentOutcome::None) return outcome;
    // What the answer moved or loaded settles; then whatever of the dialog
    // still shows (closing slowly, or put back by its platform) goes.
    SettleBriefly(tab);
    (void)Run(tab, "tidy");
    return outcome;
}

}  // namespace quendrel::engine
