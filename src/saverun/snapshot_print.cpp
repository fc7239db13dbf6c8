#include "snapshot_print.h"

#include "command_line.h"
#include "platform/desktop.h"
#include "platform/failure.h"
#include "platform/print_system.h"
#include "process_runner.h"
#include "progress_display.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QLabel>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPixmap>
#include <QTemporaryFile>
#include <cmath>

namespace quendrel {

namespace {

constexpr int kHiddenWindow = 0;
constexpr double kTwipsPerInch = 1440.0;

}  // namespace

void CaptureSnapshot(SnapshotPlatform platform, ProgressDisplay* progressBar, int entryCount,
                     const QString& address, const QString& capturePath) {
    const QString commandLine = CaptureCommandLine(platform.desktop.programFolder(), address, capturePath);
    QString statusText;
    int baseValue = 0;
    if (progressBar) {
        statusText = progressBar->text();
        // Halves go to the even neighbour, as a whole-number conversion does.
        baseValue = static_cast<int>(std::nearbyint(progressBar->value()));
    }
    (void)RunProcessAndWait({platform.processes, platform.events}, commandLine, kHiddenWindow, progressBar,
                            statusText, baseValue, entryCount);
}

PicturePrint::PicturePrint(QLabel* holder, platform::PrintSystem& printers)
    : holder_(holder), printers_(printers) {}

PicturePrint::~PicturePrint() { dropDocument(); }

void PicturePrint::dropDocument() {
    if (painter_ && painter_->isActive()) painter_->end();
    painter_.reset();
    writer_.reset();
    file_.reset();
}

void PicturePrint::Load(const QString& picturePath) {
    dropDocument();
    QImageReader reader(picturePath);
    QImage picture = reader.read();
    if (picture.isNull()) {
        picture_ = QImage();
        pictureName_.clear();
        if (holder_) holder_->clear();
        throw Failure(QStringLiteral("The picture %1 could not be loaded: %2").arg(picturePath, reader.errorString()));
    }
    picture_ = std::move(picture);
    pictureName_ = QFileInfo(picturePath).fileName();
    if (holder_) {
        holder_->setPixmap(QPixmap::fromImage(picture_));
        holder_->resize(picture_.size());
    }
}

void PicturePrint::SetDeviceUnits() { scaleMode_ = ScaleMode::DevicePixels; }

void PicturePrint::Draw() {
    if (picture_.isNull()) throw Failure(QStringLiteral("There is no picture to print."));
    if (!painter_) {
        auto file = std::make_unique<QTemporaryFile>(QDir::tempPath() + QStringLiteral("/quendrel-picture-XXXXXX.pdf"));
        if (!file->open())
            throw Failure(QStringLiteral("Cannot create the print file %1: %2").arg(file->fileName(), file->errorString()));
        auto writer = std::make_unique<QPdfWriter>(file.get());
        writer->setResolution(kPictureDotsPerInch);
        writer->setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF()));
        writer->setCreator(QStringLiteral("Quendrel"));
        auto painter = std::make_unique<QPainter>();
        if (!painter->begin(writer.get())) throw Failure(QStringLiteral("The print document could not be begun."));
        file_ = std::move(file);
        writer_ = std::move(writer);
        painter_ = std::move(painter);
    }
    double width = picture_.width() + kPictureStretch;
    double height = picture_.height() + kPictureStretch;
    if (scaleMode_ == ScaleMode::Twips) {
        width *= kPictureDotsPerInch / kTwipsPerInch;
        height *= kPictureDotsPerInch / kTwipsPerInch;
    }
    painter_->drawImage(QRectF(0, 0, width, height), picture_);
}

int PicturePrint::EndDocument(const QString& title) {
    if (!painter_) throw Failure(QStringLiteral("There is no print document to end."));
    const bool ended = painter_->end();
    const bool written = ended && file_->flush();
    std::unique_ptr<QTemporaryFile> file = std::move(file_);
    painter_.reset();
    writer_.reset();
    if (!written) throw Failure(QStringLiteral("The print document could not be written to %1.").arg(file->fileName()));
    // The print system reads the whole file when the job is submitted; the
    // file goes when this call returns.
    return printers_.submitPdfToDefault(file->fileName(), title.isEmpty() ? pictureName_ : title);
}

int PrintCapturedPicture(PicturePrint& print, const QString& capturePath) {
    print.Load(capturePath);
    print.SetDeviceUnits();
    print.Draw();
    return print.EndDocument();
}

}  // namespace quendrel
