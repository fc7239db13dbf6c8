#include "snapshot_print.h"

#include "command_line.h"
#include "engine/devtools_relay.h"
#include "engine/headless_browser.h"
#include "pdf_properties.h"
#include "platform/desktop.h"
#include "platform/failure.h"
#include "platform/print_system.h"
#include "platform/process_launcher.h"
#include "process_runner.h"
#include "progress_display.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryFile>
#include <algorithm>
#include <cmath>
#include <utility>
#include <unistd.h>

namespace quendrel {

namespace {

// A program ended by a signal exits with 128 plus the signal's number.
constexpr int kSignalledExit = 128;

// How far a pixel may stray from the first of its row, in any channel, for the
// row to count as one colour: the ringing of JPEG beside text stays below it.
constexpr int kQuietRowTolerance = 24;

bool IsQuietRow(const QImage& picture, int row) {
    const auto near = [](QRgb a, QRgb b) {
        return std::abs(qRed(a) - qRed(b)) <= kQuietRowTolerance &&
               std::abs(qGreen(a) - qGreen(b)) <= kQuietRowTolerance &&
               std::abs(qBlue(a) - qBlue(b)) <= kQuietRowTolerance;
    };
    const QRgb first = picture.pixel(0, row);
    if (picture.format() == QImage::Format_RGB32 || picture.format() == QImage::Format_ARGB32) {
        const auto* line = reinterpret_cast<const QRgb*>(picture.constScanLine(row));
        return std::all_of(line, line + picture.width(), [&](QRgb pixel) { return near(pixel, first); });
    }
    for (int x = 1; x < picture.width(); ++x)
        if (!near(picture.pixel(x, row), first)) return false;
    return true;
}

// The largest picture the capture program writes, in bytes of 32-bit pixels:
// its widest page (4,096 pixels) by the most rows a JPEG holds (65,535).
constexpr qint64 kLargestPictureBytes = qint64(4096) * 65535 * 4;

// Reads the picture whole. Qt refuses pictures above a size that a long page's
// capture passes (128 MB, 1024 x 32,768 pixels); for this one read the limit
// is raised to what the picture needs, up to the largest capture.
QImage ReadWholePicture(QImageReader& reader) {
    const QSize size = reader.size();
    const qint64 bytes = qint64(size.width()) * size.height() * 4;
    const int limit = QImageReader::allocationLimit();  // megabytes, 0 for none
    const int needed = int(bytes / (1024 * 1024)) + 1;
    const bool raise = size.isValid() && bytes <= kLargestPictureBytes && limit != 0 && needed > limit;
    if (raise) QImageReader::setAllocationLimit(needed);
    QImage picture = reader.read();
    if (raise) QImageReader::setAllocationLimit(limit);
    return picture;
}

}  // namespace

namespace {
// The waiting display builds on the bar's text and (rounded) value of now.
struct WaitingBase {
    QString statusText;
    int baseValue = 0;
};

WaitingBase WaitingBaseOf(ProgressDisplay* progressBar) {
    if (!progressBar) return {};
    // Halves go to the even neighbour, as a whole-number conversion does.
    return {progressBar->text(), static_cast<int>(std::nearbyint(progressBar->value()))};
}
}  // namespace

QString CaptureSnapshot(SnapshotPlatform platform, ProgressDisplay* progressBar, int entryCount,
                        const QString& address, const QString& capturePath, engine::ConsentOutcome* consent) {
    return AwaitCapture(platform, progressBar, entryCount, StartCapture(platform, address, capturePath), consent);
}

namespace {
// The capture program started on the run's engine, lent to it over a private
// socket pair; nothing started when the engine or the pair cannot be had, and
// the program then starts an engine of its own (and says what fails).
StartedCapture StartOnLentEngine(SnapshotPlatform platform, const QStringList& argv) {
    int programEnd = -1;
    std::shared_ptr<engine::DevToolsRelay> relay;
    try {
        relay = engine::DevToolsRelay::Open(*platform.engine, programEnd);
    } catch (const Failure&) {
        return {};
    }
    platform::StartExtras lent;
    lent.descriptors = {programEnd};
    lent.environment = {QStringLiteral("%1=%2").arg(QString::fromLatin1(engine::kHandedEngineVariable))
                            .arg(engine::kHandedEngineDescriptor)};
    StartedCapture started;
    try {
        started = {platform.processes.startWith(argv, platform::ErrorOutput::Kept, lent), {}, std::move(relay)};
    } catch (const platform::StartFailure&) {
    }
    ::close(programEnd);
    return started;
}
}  // namespace

StartedCapture StartCapture(SnapshotPlatform platform, const QString& address, const QString& capturePath) {
    QString commandLine = CaptureCommandLine(platform.desktop.programFolder(), address, capturePath);
    if (platform.keepConsentDialogs) commandLine += QStringLiteral(" --keep-consent-dialogs");
    const QStringList argv = SplitWindowsCommandLine(commandLine);
    if (argv.isEmpty()) return {};
    if (platform.engine)
        if (StartedCapture lent = StartOnLentEngine(platform, argv); lent.processId > 0) return lent;
    try {
        return {platform.processes.start(argv, platform::ErrorOutput::Kept), {}, {}};
    } catch (const platform::StartFailure& failure) {
        return {0, QStringLiteral("the capture program cannot start (%1)").arg(failure.description()), {}};
    }
}

QString AwaitCapture(SnapshotPlatform platform, ProgressDisplay* progressBar, int entryCount,
                     const StartedCapture& capture, engine::ConsentOutcome* consent) {
    if (capture.processId <= 0) return capture.failure;
    const WaitingBase base = WaitingBaseOf(progressBar);
    const int exitCode = WaitForProcess({platform.processes, platform.events}, capture.processId, progressBar,
                                        base.statusText, base.baseValue, entryCount);
    const QByteArray errors = platform.processes.takeErrorOutput(capture.processId);
    if (consent) *consent = CaptureConsent(errors);
    if (exitCode == 0) return {};
    if (const QString reason = CaptureFailureReason(errors); !reason.isEmpty()) return reason;
    // Ended by a signal before it could say anything.
    if (exitCode > kSignalledExit) return QStringLiteral("the capture program crashed (signal %1)").arg(exitCode - kSignalledExit);
    return {};
}

namespace {
const QByteArray kCapturePrefix = "iecapt: ";
const QByteArray kConsentPrefix = "iecapt: consent: ";
}  // namespace

QString CaptureFailureReason(const QByteArray& errorOutput) {
    const QList<QByteArray> lines = errorOutput.split('\n');
    for (auto line = lines.crbegin(); line != lines.crend(); ++line)
        if (line->startsWith(kCapturePrefix) && !line->startsWith(kConsentPrefix))
            return QString::fromLocal8Bit(line->mid(kCapturePrefix.size())).trimmed();
    return {};
}

engine::ConsentOutcome CaptureConsent(const QByteArray& errorOutput) {
    for (const QByteArray& line : errorOutput.split('\n'))
        if (line.startsWith(kConsentPrefix))
            return engine::ConsentFromWord(QString::fromLatin1(line.mid(kConsentPrefix.size())).trimmed())
                .value_or(engine::ConsentOutcome::None);
    return engine::ConsentOutcome::None;
}

std::vector<SheetSlice> SheetSlices(QSize picture, QSize printable, const QuietRow& quiet) {
    std::vector<SheetSlice> slices;
    if (picture.isEmpty() || printable.isEmpty()) return slices;
    // A sheet's height in picture rows at the scale printable width / picture
    // width, counted in whole numbers so no row is split or drawn twice; a
    // picture narrow enough to need more than one sheet per row still gets one.
    const int rowsPerSheet = int(std::clamp<qint64>(qint64(printable.height()) * picture.width() / printable.width(),
                                                    1, picture.height()));
    const int lookBack = rowsPerSheet / 8;
    for (int first = 0; first < picture.height();) {
        int rows = std::min(rowsPerSheet, picture.height() - first);
        if (quiet && first + rows < picture.height()) {
            // No line of text crosses a cut beside a quiet row.
            for (int n = rows; n > rows - lookBack; --n) {
                if (quiet(first + n - 1) || quiet(first + n)) {
                    rows = n;
                    break;
                }
            }
        }
        slices.push_back({first, rows});
        first += rows;
    }
    return slices;
}

PicturePrint::PicturePrint(PictureHolder showPicture, platform::PrintSystem& printers)
    : showPicture_(std::move(showPicture)), printers_(printers) {}

PicturePrint::~PicturePrint() { dropDocument(); }

void PicturePrint::dropDocument() {
    if (painter_ && painter_->isActive()) painter_->end();
    painter_.reset();
    writer_.reset();
    output_.reset();
    document_.clear();
    sheets_ = 0;
}

void PicturePrint::Load(const QString& picturePath, const QString& address) {
    dropDocument();
    QImageReader reader(picturePath);
    QImage picture = ReadWholePicture(reader);
    if (picture.isNull()) {
        picture_ = QImage();
        pictureName_.clear();
        address_.clear();
        if (showPicture_) showPicture_(picture_);
        throw Failure(QStringLiteral("The picture %1 could not be loaded: %2").arg(picturePath, reader.errorString()));
    }
    picture_ = std::move(picture);
    pictureName_ = QFileInfo(picturePath).fileName();
    address_ = address;
    if (showPicture_) showPicture_(picture_);
}

void PicturePrint::SetDeviceUnits() { scaleMode_ = ScaleMode::DevicePixels; }

void PicturePrint::beginDocument() {
    auto output = std::make_unique<QBuffer>(&document_);
    output->open(QIODevice::WriteOnly);
    auto writer = std::make_unique<QPdfWriter>(output.get());
    writer->setResolution(kPictureDotsPerInch);
    const qreal border = kPrintableBorderPoints;
    writer->setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                      QMarginsF(border, border, border, border), QPageLayout::Point));
    writer->setCreator(QStringLiteral("Quendrel"));
    auto painter = std::make_unique<QPainter>();
    if (!painter->begin(writer.get())) throw Failure(QStringLiteral("The print document could not be begun."));
    output_ = std::move(output);
    writer_ = std::move(writer);
    painter_ = std::move(painter);
}

void PicturePrint::Draw() {
    if (picture_.isNull()) throw Failure(QStringLiteral("There is no picture to print."));
    if (!painter_) beginDocument();
    const QSize printable(writer_->width(), writer_->height());
    const double scale = double(printable.width()) / picture_.width();
    const auto quiet = [this](int row) { return IsQuietRow(picture_, row); };
    for (const SheetSlice& slice : SheetSlices(picture_.size(), printable, quiet)) {
        if (sheets_++ > 0 && !writer_->newPage()) throw Failure(QStringLiteral("A new sheet could not be begun."));
        // Each sheet holds its own rows as an image of their own, so a reader
        // decodes one sheet's rows to show it and no row shows on two sheets.
        // The rows are read in place: the held picture outlives the drawing.
        const QImage rows(picture_.constScanLine(slice.firstRow), picture_.width(), slice.rows,
                          picture_.bytesPerLine(), picture_.format());
        painter_->drawImage(QRectF(0, 0, printable.width(), slice.rows * scale), rows);
    }
}

QString PicturePrint::documentTitle() const {
    // The capture program may name the page's title in the picture; a page
    // without one is known by its address, as a browser's tab shows it.
    const QString title = picture_.text(QStringLiteral("Title")).trimmed();
    if (!title.isEmpty()) return title;
    return address_.isEmpty() ? pictureName_ : address_;
}

int PicturePrint::EndDocument(const QString& title) {
    if (!painter_) throw Failure(QStringLiteral("There is no print document to end."));
    const bool ended = painter_->end();
    painter_.reset();
    writer_.reset();
    output_.reset();
    const QByteArray drawn = std::exchange(document_, QByteArray());
    sheets_ = 0;
    if (!ended) throw Failure(QStringLiteral("The print document could not be ended."));
    const QByteArray pdf =
        WithPdfProperties(drawn, {documentTitle(), address_, QDateTime::currentDateTime(), ProducerName({})});

    QTemporaryFile file(QDir::tempPath() + QStringLiteral("/quendrel-picture-XXXXXX.pdf"));
    if (!file.open())
        throw Failure(QStringLiteral("Cannot create the print file %1: %2").arg(file.fileName(), file.errorString()));
    if (file.write(pdf) != pdf.size() || !file.flush())
        throw Failure(QStringLiteral("The print document could not be written to %1.").arg(file.fileName()));
    // The print system reads the whole file when the job is submitted; the
    // file goes when this call returns.
    return printers_.submitPdfToDefault(file.fileName(), title.isEmpty() ? pictureName_ : title);
}

int PrintCapturedPicture(PicturePrint& print, const QString& capturePath, const QString& address) {
    print.Load(capturePath, address);
    print.SetDeviceUnits();
    print.Draw();
    return print.EndDocument();
}

}  // namespace quendrel
