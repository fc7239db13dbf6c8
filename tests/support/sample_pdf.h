#pragma once
// PDF documents made on the spot for tests and benchmarks.
#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QRandomGenerator>
#include <QString>
#include <cmath>

namespace quendrel::testing {

// A real PDF with one page of text; `noiseKilobytes` of incompressible image
// data make it as large as wanted.
inline QByteArray makePdf(const QString& text, int noiseKilobytes = 0) {
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setResolution(72);
        QPainter painter(&writer);
        painter.drawText(QPointF(40, 60), text);
        if (noiseKilobytes > 0) {
            const int side = static_cast<int>(std::sqrt(noiseKilobytes * 1024.0 / 3.0));
            QImage noise(side, side, QImage::Format_RGB888);
            QRandomGenerator random(42);
            for (int y = 0; y < side; ++y) {
                uchar* line = noise.scanLine(y);
                for (int x = 0; x < side * 3; ++x) line[x] = static_cast<uchar>(random.bounded(256));
            }
            painter.drawImage(QRectF(40, 80, 400, 400), noise);
        }
    }
    return bytes;
}

}  // namespace quendrel::testing
