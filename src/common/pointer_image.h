#pragma once
// Pointers drawn from image files beside the program: the hand of the push
// buttons and the pointer of a drag in the site list.
#include <QCursor>
#include <QString>

namespace quendrel {

// A pointer from an image file (.cur, .ico or any image Qt reads); throws
// Failure when the file is not a readable picture.
QCursor LoadPointer(const QString& path);

}  // namespace quendrel
