#pragma once
// The picture side of the snapshot method: the capture program renders the
// page into a JPEG, and the JPEG is printed at the width of the sheet, over as
// many sheets as the page is long.
#include "engine/consent_dialogs.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class QBuffer;
class QPainter;
class QPdfWriter;

namespace quendrel {

class ProgressDisplay;

namespace engine {
class DevToolsRelay;
class HeadlessBrowser;
}  // namespace engine

namespace platform {
class Desktop;
class EventPump;
class PrintSystem;
class ProcessLauncher;
}  // namespace platform

struct SnapshotPlatform {
    platform::Desktop& desktop;  // the program folder, where the capture program lies
    platform::ProcessLauncher& processes;
    platform::EventPump& events;
    // The run's engine, lent to each capture so none starts its own; null
    // for captures that start their own.
    engine::HeadlessBrowser* engine = nullptr;
    // The capture program leaves consent dialogs in the picture.
    bool keepConsentDialogs = false;
};

// Runs the capture program beside the executable for the address, writing a
// JPEG at the capture path, and returns when it has ended. Meanwhile the bar
// shows the waiting display, based on its text and (rounded) value of now and
// the count of entries. Whether a picture was written is for the caller to
// see; gives why the program failed, in its own words (see
// CaptureFailureReason), or empty when it ended well or said nothing. What
// the program did with consent dialogs goes to `consent` when given.
QString CaptureSnapshot(SnapshotPlatform platform, ProgressDisplay* progressBar, int entryCount,
                        const QString& address, const QString& capturePath,
                        engine::ConsentOutcome* consent = nullptr);

// CaptureSnapshot in two halves, for a capture started ahead of its turn: the
// program started (its process id, or 0 with the reason when it could not
// start, which is a capture that wrote nothing), then waited for with the
// waiting display of its entry's turn, giving CaptureSnapshot's reason.
struct StartedCapture {
    long long processId = 0;
    QString failure;  // why it did not start
    // The run's engine as lent to it, until the capture is done with.
    std::shared_ptr<engine::DevToolsRelay> relay;
};
StartedCapture StartCapture(SnapshotPlatform platform, const QString& address, const QString& capturePath);
QString AwaitCapture(SnapshotPlatform platform, ProgressDisplay* progressBar, int entryCount,
                     const StartedCapture& capture, engine::ConsentOutcome* consent = nullptr);

// What the capture program said on stderr comes as "iecapt: <reason>"
// lines; the last one's reason, or empty when there is none. Its line
// "iecapt: consent: <outcome>" is no reason.
QString CaptureFailureReason(const QByteArray& errorOutput);
// What the capture program did with consent dialogs, by that line; None
// without one.
engine::ConsentOutcome CaptureConsent(const QByteArray& errorOutput);

// The sheet a picture is printed on: A4 at 600 dots per inch, inside the
// unprintable border the PDF printer declares (18 points on every side), so
// (0, 0) in device pixels is the top-left corner of the printable area.
inline constexpr int kPictureDotsPerInch = 600;
inline constexpr double kPrintableBorderPoints = 18.0;

// The rows of a picture that one sheet holds.
struct SheetSlice {
    int firstRow;
    int rows;
};

// Whether a row of the picture is all of one colour, so a sheet can end there
// without cutting through a line of text.
using QuietRow = std::function<bool(int row)>;

// How a picture of `picture` pixels, scaled once so its width fills the
// printable width, is split over sheets of `printable` device pixels: whole
// rows only, each row on exactly one sheet. A sheet is full unless a quiet row
// lies within its last eighth: then it ends there, so the line of text that
// would have been cut in two begins the next sheet.
std::vector<SheetSlice> SheetSlices(QSize picture, QSize printable, const QuietRow& quiet = {});

// Given each picture as it is loaded, or an empty one when a load failed: the
// front end's picture holder. Empty: nothing is shown.
using PictureHolder = std::function<void(const QImage& picture)>;

// The print object with its picture. One lives as long as the main window:
// the picture stays held from one entry to the next. Each step is a call of
// its own, so a failing step can be reported by itself.
class PicturePrint {
public:
    enum class ScaleMode { Twips = 1, DevicePixels = 3 };

    // showPicture is told of every picture loaded; it may be empty.
    PicturePrint(PictureHolder showPicture, platform::PrintSystem& printers);
    ~PicturePrint();
    PicturePrint(const PicturePrint&) = delete;
    PicturePrint& operator=(const PicturePrint&) = delete;

    // Loads the picture file and shows it in the holder, which takes its size;
    // the address is the page it shows, for the document's properties. A file
    // that is not a readable picture empties the holder and throws Failure,
    // so an earlier entry's picture is never printed under a later name.
    // A document that was begun and not ended is dropped.
    void Load(const QString& picturePath, const QString& address = QString());
    // The unit of the following drawing: device pixels. The picture is fitted
    // to the printable width whatever the unit, so this changes nothing of
    // the result; it stays a step of its own for the run's reports.
    void SetDeviceUnits();
    // Draws the held picture scaled to the printable width and split over as
    // many sheets as its height needs (see SheetSlices), beginning the
    // document on the first call. Throws Failure when the holder is empty.
    void Draw();
    // Ends the document, sets its properties (the page's title, its address,
    // the time of now) and submits it to the default printer as one job;
    // gives the job's id. Throws Failure when nothing was drawn or the job is
    // refused. The title names the job; empty, the picture's file name.
    int EndDocument(const QString& title = QString());

    const QImage& picture() const { return picture_; }
    ScaleMode scaleMode() const { return scaleMode_; }

private:
    void beginDocument();
    void dropDocument();
    QString documentTitle() const;

    PictureHolder showPicture_;
    platform::PrintSystem& printers_;
    QImage picture_;
    QString pictureName_;
    QString address_;
    ScaleMode scaleMode_ = ScaleMode::Twips;
    QByteArray document_;
    std::unique_ptr<QBuffer> output_;
    std::unique_ptr<QPdfWriter> writer_;
    std::unique_ptr<QPainter> painter_;
    int sheets_ = 0;
};

// The four steps in a row: load, device units, draw, end of document.
int PrintCapturedPicture(PicturePrint& print, const QString& capturePath, const QString& address = QString());

}  // namespace quendrel
