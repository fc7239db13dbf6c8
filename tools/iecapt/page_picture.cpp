#include "page_picture.h"

#include "engine/browser_tab.h"
#include "engine/consent_dialogs.h"
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

QSize contentSize(BrowserTab& tab) {
    const auto reply = tab.call(QStringLiteral("Page.getLayoutMetrics"));
    if (!reply.ok) return {};
    const QJsonObject size = reply.result.value(QStringLiteral("cssContentSize")).toObject();
    return {static_cast<int>(std::ceil(size.value(QStringLiteral("width")).toDouble())),
            static_cast<int>(std::ceil(size.value(QStringLiteral("height")).toDouble()))};
}

bool setViewWidth(BrowserTab& tab, int width) {
    return tab.call(QStringLiteral("Emulation.setDeviceMetricsOverride"),
                    {{QStringLiteral("width"), width},
                     {QStringLiteral("height"), kViewHeight},
                     {QStringLiteral("deviceScaleFactor"), 1},
                     {QStringLiteral("mobile"), false}})
        .ok;
}

// One piece of the page, in CSS pixels of the document, taken beyond the
// screen without scrolling.
QImage shoot(BrowserTab& tab, const QRect& piece) {
    const auto reply = tab.call(
        QStringLiteral("Page.captureScreenshot"),
        {{QStringLiteral("format"), QStringLiteral("png")},
         {QStringLiteral("optimizeForSpeed"), true},
         {QStringLiteral("captureBeyondViewport"), true},
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

PagePicture takePicture(BrowserTab& tab, bool dealWithConsent) {
    using quendrel::engine::ConsentOutcome;
    const ConsentOutcome consent = dealWithConsent ? quendrel::engine::DealWithConsentDialogs(tab) : ConsentOutcome::None;
    int width = kMinWidth;
    QSize content;
    for (int round = 0; round < kMostWidthRounds; ++round) {
        if (!setViewWidth(tab, width)) return {{}, QStringLiteral("the engine did not take the page's size"), consent};
        content = contentSize(tab);
        if (content.isEmpty()) return {{}, QStringLiteral("the page has no size"), consent};
        const int wanted = std::clamp(content.width(), kMinWidth, kMaxWidth);
        if (wanted == width) break;
        width = wanted;
    }
    // The picture is taken beyond the screen, where elements fixed to the
    // screen would stay where the screen ends (a cookie bar over the middle of
    // the page) or be in every band: they are pinned where they stand at the
    // top first, which may change the page's height.
    (void)tab.evaluateNow(quendrel::engine::PinFixedElementsScript(), kPinLimitMs);
    const int height = std::max(1, contentSize(tab).height());
    if (height <= kBandHeight) {
        QImage picture = shoot(tab, QRect(0, 0, width, height));
        if (picture.isNull()) return {{}, QStringLiteral("nothing was drawn"), consent};
        return {std::move(picture), {}, consent};
    }

    const double scale = std::min(1.0, static_cast<double>(kLongestJpegSide) / height);
    QImage picture(std::max(1, static_cast<int>(width * scale)), std::max(1, static_cast<int>(height * scale)),
                   QImage::Format_RGB32);
    if (picture.isNull())
        return {{}, QStringLiteral("no memory for a picture of %1 by %2 pixels").arg(width).arg(height), consent};
    picture.fill(Qt::white);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    for (int top = 0; top < height; top += kBandHeight) {
        const QRect band(0, top, width, std::min(kBandHeight, height - top));
        const QImage image = shoot(tab, band);
        if (image.isNull()) return {{}, QStringLiteral("nothing was drawn from row %1 on").arg(top), consent};
        painter.drawImage(QRectF(0, top * scale, band.width() * scale, band.height() * scale), image);
    }
    painter.end();
    return {std::move(picture), {}, consent};
}

}  // namespace iecapt
