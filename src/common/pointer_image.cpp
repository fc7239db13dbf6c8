#include "pointer_image.h"

#include "platform/failure.h"

#include <QImage>
#include <QImageReader>
#include <QPixmap>

namespace quendrel {

QCursor LoadPointer(const QString& path) {
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    const QImage image = reader.read();
    if (image.isNull())
        throw Failure(QStringLiteral("Invalid picture: %1").arg(reader.errorString()));
    return QCursor(QPixmap::fromImage(image));
}

}  // namespace quendrel
