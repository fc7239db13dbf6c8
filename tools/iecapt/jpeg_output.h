#pragma once
// Writing the capture: all or nothing at the target path.
#include <QImage>
#include <QString>

namespace iecapt {

// Why the image could not be written at `path` (its folder is missing, not a
// folder, not writable, or the path names a folder); empty when it can be.
QString outputProblem(const QString& path);

// Writes the image as JPEG to a temporary file beside `path` and renames it
// into place, so the target either holds a whole image or is left untouched.
// Gives an error text, empty on success.
QString writeJpegAtomically(const QImage& image, const QString& path);

}  // namespace iecapt
