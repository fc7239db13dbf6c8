// The picture print of a long capture: a text page of 1024 x 25,000 pixels,
// written as the capture program writes it (JPEG, quality 90), printed over
// its sheets. Prints the time of the four steps, the sheets, the resolution
// the page is drawn at and the PDF's size beside the capture's.
// Usage: picture_print_bench [CAPTURE.jpg [KEPT.pdf]] prints a capture of
// your own instead, and keeps the PDF to look at.
#include "saverun/snapshot_print.h"
#include "support/fake_platform.h"
#include "support/poppler_tools.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QTemporaryDir>
#include <cstdio>

namespace {

// Keeps the size of each submitted PDF and one copy of the last.
class SizingPrintSystem : public quendrel::testing::FakePrintSystem {
public:
    explicit SizingPrintSystem(QString copy) : copy_(std::move(copy)) {}
    qint64 lastSize = 0;
    int submitPdfToDefault(const QString& pdfPath, const QString& title) override {
        lastSize = QFileInfo(pdfPath).size();
        QFile::remove(copy_);
        QFile::copy(pdfPath, copy_);
        return FakePrintSystem::submitPdfToDefault(pdfPath, title);
    }

private:
    QString copy_;
};

// A documentation-like page: paragraphs of dark text, coloured headings, now
// and then a picture, so the JPEG holds what captures of real pages hold.
QImage longPage(int width, int height) {
    QImage page(width, height, QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter painter(&page);
    QFont body(QStringLiteral("DejaVu Sans"));
    body.setPixelSize(15);
    QFont heading = body;
    heading.setPixelSize(26);
    heading.setBold(true);
    const QString words = QStringLiteral(
        "the keepers of the northern lights wrote their logs by hand, naming the weather, the ships that "
        "passed and the oil that was burnt on every night of the year ");
    int line = 0;
    for (int y = 40; y < height - 60; y += 21, ++line) {
        if (line % 40 == 0) {
            painter.setFont(heading);
            painter.setPen(QColor(0x24, 0x46, 0x8a));
            painter.drawText(24, y + 12, QStringLiteral("Section %1").arg(line / 40 + 1));
            y += 30;
        } else if (line % 97 == 0) {
            QLinearGradient sky(0, y, 0, y + 240);
            sky.setColorAt(0, QColor(0x5a, 0x8f, 0xc8));
            sky.setColorAt(1, QColor(0xe8, 0xc0, 0x80));
            painter.fillRect(24, y, 480, 240, sky);
            y += 250;
        }
        painter.setFont(body);
        painter.setPen(QColor(0x22, 0x22, 0x22));
        painter.drawText(24, y, words.mid(line % 37) + words.left(line % 37));
    }
    painter.fillRect(0, height - 50, width, 50, QColor(0xe0, 0x10, 0x7a));
    return page;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList arguments = QApplication::arguments();
    QTemporaryDir folder;
    QString capture = arguments.value(1);
    if (capture.isEmpty()) {
        capture = folder.filePath(QStringLiteral("long.jpg"));
        QImageWriter writer(capture, "jpeg");
        writer.setQuality(90);
        if (!writer.write(longPage(1024, 25'000))) {
            std::fprintf(stderr, "cannot write the capture: %s\n", qPrintable(writer.errorString()));
            return 1;
        }
    }
    const QString pdf = arguments.size() > 2 ? arguments[2] : folder.filePath(QStringLiteral("long.pdf"));
    SizingPrintSystem printers(pdf);
    quendrel::PicturePrint print(nullptr, printers);
    constexpr int kRounds = 3;
    qint64 best = -1;
    for (int round = 0; round < kRounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        quendrel::PrintCapturedPicture(print, capture, QStringLiteral("http://127.0.0.1/long.html"));
        const qint64 elapsed = timer.elapsed();
        if (best < 0 || elapsed < best) best = elapsed;
    }

    const auto images = quendrel::testing::PdfImages(pdf);
    const double captureMb = QFileInfo(capture).size() / 1e6;
    const double pdfMb = printers.lastSize / 1e6;
    const QImage held = print.picture();
    std::printf("picture print of a %d x %d capture (%.1f MB JPEG): %lld ms (best of %d)\n", held.width(),
                held.height(), captureMb, best, kRounds);
    std::printf("  sheets: %zu, drawn at %.0f pixels per inch, PDF %.1f MB (%.2f x the capture)\n", images.size(),
                images.empty() ? 0.0 : images.front().xPpi, pdfMb, pdfMb / captureMb);
    return images.empty() ? 1 : 0;
}
