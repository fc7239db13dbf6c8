#pragma once
// One capture: start the engine, load the address, let the page settle, take
// the whole page as a picture (page_picture.h) and write the JPEG.
#include "engine/consent_dialogs.h"

#include <QString>
#include <QUrl>

namespace iecapt {

class DeadlinePump;

inline constexpr int kExitCaptured = 0;
inline constexpr int kExitCaptureFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitTimeLimit = 3;

struct CaptureOutcome {
    int exitCode = kExitCaptureFailed;
    QString message;  // why nothing was written; empty on success
    quendrel::engine::ConsentOutcome consent = quendrel::engine::ConsentOutcome::None;
};

// A load that has not ended at loadDeadline (a point of the pump's clock) is
// captured as far as it got, once a document of the page shows. The engine
// ends, and its profile goes, before this returns. Throws TimeLimitReached
// when the pump's deadline passes first. Consent dialogs are dealt with
// before the picture unless they are kept.
CaptureOutcome capturePage(DeadlinePump& events, const QUrl& address, const QString& outputPath,
                           long long loadDeadline, bool dealWithConsent = true);

}  // namespace iecapt
