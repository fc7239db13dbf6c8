#pragma once
// The picture side of the snapshot method: the capture program renders the
// page into a JPEG, and the JPEG is printed stretched as one page.
#include <QImage>
#include <QPointer>
#include <QString>
#include <memory>

class QLabel;
class QPainter;
class QPdfWriter;
class QTemporaryFile;

namespace quendrel {

class ProgressDisplay;

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
};

// Runs the capture program beside the executable for the address, writing a
// JPEG at the capture path, and returns when it has ended. Meanwhile the bar
// shows the waiting display, based on its text and (rounded) value of now and
// the count of entries. Whether a picture was written is for the caller to
// see; nothing is reported.
void CaptureSnapshot(SnapshotPlatform platform, ProgressDisplay* progressBar, int entryCount,
                     const QString& address, const QString& capturePath);

// The page a picture is printed on: A4 at 600 dots per inch, no margin, so
// the top-left corner of the page is (0, 0) in device pixels.
inline constexpr int kPictureDotsPerInch = 600;
// Added to the picture's width and height, in device pixels, for its printed size.
inline constexpr int kPictureStretch = 4200;

// The print object with its picture holder. One lives as long as the main
// window: the picture stays held from one entry to the next. Each step is a
// call of its own, so a failing step can be reported by itself.
class PicturePrint {
public:
    enum class ScaleMode { Twips = 1, DevicePixels = 3 };

    // The holder shows the loaded picture when given; it may be null.
    PicturePrint(QLabel* holder, platform::PrintSystem& printers);
    ~PicturePrint();
    PicturePrint(const PicturePrint&) = delete;
    PicturePrint& operator=(const PicturePrint&) = delete;

    // Loads the picture file into the holder, which takes its size. A file
    // that is not a readable picture empties the holder and throws Failure,
    // so an earlier entry's picture is never printed under a later name.
    // A document that was begun and not ended is dropped.
    void Load(const QString& picturePath);
    // The unit of the following drawing: device pixels.
    void SetDeviceUnits();
    // Draws the held picture stretched to (width + 4200) x (height + 4200) at
    // the top-left corner of the page, beginning the document and its one
    // page on the first call. Throws Failure when the holder is empty.
    void Draw();
    // Ends the document and submits it to the default printer as one job;
    // gives the job's id. Throws Failure when nothing was drawn or the job
    // is refused. The title names the job; empty, the picture's file name.
    int EndDocument(const QString& title = QString());

    const QImage& picture() const { return picture_; }
    ScaleMode scaleMode() const { return scaleMode_; }

private:
    void dropDocument();

    QPointer<QLabel> holder_;
    platform::PrintSystem& printers_;
    QImage picture_;
    QString pictureName_;
    ScaleMode scaleMode_ = ScaleMode::Twips;
    std::unique_ptr<QTemporaryFile> file_;
    std::unique_ptr<QPdfWriter> writer_;
    std::unique_ptr<QPainter> painter_;
};

// The four steps in a row: load, device units, draw, end of document.
int PrintCapturedPicture(PicturePrint& print, const QString& capturePath);

}  // namespace quendrel
