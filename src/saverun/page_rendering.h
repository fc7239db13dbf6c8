#pragma once
// The ways a page reaches the printer, as the save run uses them. The real
// set drives the capture program, the picture print and the web engine
// (engine_rendering.h); the run's tests script them.
#include "engine/consent_dialogs.h"

#include <QList>
#include <QString>

namespace quendrel {

// How many entries after the one in hand are made ready while it prints.
inline constexpr int kLookAheadEntries = 4;
// How many captures run at once, the one in hand among them.
inline constexpr int kCapturesAtOnce = 2;

// An entry of the run as the rendering may prepare it ahead: its address and
// the method (1 to 3, 0 for none) in force when it was named.
struct AheadEntry {
    QString address;
    int method = 0;
    friend bool operator==(const AheadEntry&, const AheadEntry&) = default;
};

class PageRendering {
public:
    virtual ~PageRendering() = default;

    // Picture print: the capture program writes a JPEG of the page.
    virtual void CaptureSnapshot(const QString& address, const QString& capturePath) = 0;
    // Picture print, one call per step: load, device units, draw, end of document.
    virtual void LoadPicture(const QString& capturePath) = 0;
    virtual void SetDeviceUnits() = 0;
    virtual void DrawPicture() = 0;
    // Gives the print job's id.
    virtual int EndDocument(const QString& title) = 0;

    // Browser print of an address or a local page file; gives the job's id,
    // or 0 when the page did not load: an error page is not printed under the
    // entry's name.
    virtual int LoadAndPrintPage(const QString& target) = 0;
    virtual void DownloadPageToFile(const QString& address, const QString& path) = 0;
    virtual void DeleteFileQuietly(const QString& path) = 0;
    // Why the last capture wrote no picture, or the last page gave no job,
    // in a few words for the closing report; empty when there is no more to
    // say than that.
    virtual QString LastFailure() const { return {}; }
    // What the last capture or page print did with the page's consent
    // dialogs.
    virtual engine::ConsentOutcome LastConsent() const { return engine::ConsentOutcome::None; }

    // The entry in hand and those that follow it, in list order, each with
    // the method in force now; an empty list at the end of a run. What is
    // prepared for an entry serves only that entry's own call with the same
    // method; anything else is released. Never fails.
    virtual void LookAhead(const QList<AheadEntry>& coming) { (void)coming; }
};

}  // namespace quendrel
