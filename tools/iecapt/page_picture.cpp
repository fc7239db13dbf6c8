#include "page_picture.h"

#include "engine/browser_tab.h"
#include "engine/fixed_elements.h"

#include <QJsonObject>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace iecapt {

namespace {

using quendrel::engine::BrowserTab;

constexpr int kMinWidth = 1024;
constexpr int kMaxWidth = 4096;
constexpr int kViewHeight = 768;
// The tallest picture taken in one piece; a taller page is taken in bands of
// this height and assembled.
constexpr int kBandHeight = 16384;
// The JPEG library writes no more pixels than this on a side.
constexpr int kLongestJpegSide = 65500;
// Layouts that grow with the width would never settle on one.
constexpr int kMostWidthRounds = 3;
constexpr int kPinLimitMs = 5000;

// The page's content in CSS pixels of the document. Its left or top edge
// lies before 0 where content overflows there (a right-to-left page's
// overflow on its left).
QRect contentArea(BrowserTab& tab) {
    const auto reply = tab.call(QStringLiteral("Page.getLayoutMetrics"));
    if (!reply.ok) return {};
    const QJsonObject size = reply.result.value(QStringLiteral("cssContentSize")).toObject();
    const int x = static_cast<int>(std::floor(size.value(QStringLiteral("x")).toDouble()));
    const int y = static_cast<int>(std::floor(size.value(QStringLiteral("y")).toDouble()));
    return {x, y, static_cast<int>(std::ceil(size.value(QStringLiteral("width")).toDouble())),
            static_cast<int>(std::ceil(size.value(QStringLiteral("height")).toDouble()))};
}

QSize contentSize(BrowserTab& tab) { return contentArea(tab).size(); }

bool setViewWidth(BrowserTab& tab, int width) {
    return tab.call(QStringLiteral("Emulation.setDeviceMetricsOverride"),
                    {{QStringLiteral("width"), width},
                     {QStringLiteral("height"), kViewHeight},
                     {QStringLiteral("deviceScaleFactor"), 1},
                     {QStringLiteral("mobile"), false}})
        .ok;
}

// One piece of the page, in CSS pixels of the document, taken without
// scrolling: beyond the screen when it does not fit on it. A piece exactly the
// screen's size is taken as the screen shows it: taken "beyond" the screen,
// the engine draws a right-to-left page shifted right, its right edge lost.
QImage shoot(BrowserTab& tab, const QRect& piece, const QSize& screen) {
    const bool onScreen = piece.width() <= screen.width() && piece.height() <= screen.height() && piece.x() >= 0 &&
                          piece.y() >= 0;
    const auto reply = tab.call(
        QStringLiteral("Page.captureScreenshot"),
        {{QStringLiteral("format"), QStringLiteral("png")},
         {QStringLiteral("optimizeForSpeed"), true},
         {QStringLiteral("captureBeyondViewport"), !onScreen},
         {QStringLiteral("clip"), QJsonObject{{QStringLiteral("x"), piece.x()},
                                              {QStringLiteral("y"), piece.y()},
                                              {QStringLiteral("width"), piece.width()},
                                              {QStringLiteral("height"), piece.height()},
                                              {QStringLiteral("scale"), 1}}}});
    if (!reply.ok) return {};
    return QImage::fromData(QByteArray::fromBase64(reply.result.value(QStringLiteral("data")).toString().toLatin1()),
                            "PNG");
}

}  // namespace

PagePicture takePicture(BrowserTab& tab) {
    int width = kMinWidth;
    QSize content;
    for (int round = 0; round < kMostWidthRounds; ++round) {
        if (!setViewWidth(tab, width)) return {{}, QStringLiteral("the engine did not take the page's size")};
        content = contentSize(tab);
        if (content.isEmpty()) return {{}, QStringLiteral("the page has no size")};
        const int wanted = std::clamp(content.width(), kMinWidth, kMaxWidth);
        if (wanted == width) break;
        width = wanted;
    }
    // The picture is taken beyond the screen, where elements fixed to the
    // screen would stay where the screen ends (a cookie bar over the middle of
    // the page) or be in every band: they are pinned where they stand at the
    // top first, which may change the page's height.
    (void)tab.evaluateNow(quendrel::engine::PinFixedElementsScript(), kPinLimitMs);
    const QRect area = contentArea(tab);
    const int height = std::max(1, area.height());
    const QSize screen(width, kViewHeight);
    // Content that overflows to the left of the document's origin (a
    // right-to-left page) begins the picture.
    const int left = std::min(0, area.x());
    if (height <= kBandHeight) {
        QImage picture = shoot(tab, QRect(left, 0, width, height), screen);
        if (picture.isNull()) return {{}, QStringLiteral("nothing was drawn")};
        return {std::move(picture), {}};
    }

    const double scale = std::min(1.0, static_cast<double>(kLongestJpegSide) / height);
    QImage picture(std::max(1, static_cast<int>(width * scale)), std::max(1, static_cast<int>(height * scale)),
                   QImage::Format_RGB32);
    if (picture.isNull())
        return {{}, QStringLiteral("no memory for a picture of %1 by %2 pixels").arg(width).arg(height)};
    picture.fill(Qt::white);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    for (int top = 0; top < height; top += kBandHeight) {
        const QRect band(left, top, width, std::min(kBandHeight, height - top));
        const QImage image = shoot(tab, band, screen);
        if (image.isNull()) return {{}, QStringLiteral("nothing was drawn from row %1 on").arg(top)};
        painter.drawImage(QRectF(0, top * scale, band.width() * scale, band.height() * scale), image);
    }
    painter.end();
    return {std::move(picture), {}};
}

}  // namespace iecapt
