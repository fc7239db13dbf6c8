#pragma once
// The optional look of the main window: a Qt style sheet beside the program.
#include <QString>

class QWidget;

namespace quendrel {

// A regular file that is not hidden.
bool IsPlainVisibleFile(const QString& path);
// The window, its frames and its options take the system's button-face colour.
void UseButtonFaceColours(QWidget& window);
// Applies the style sheet in the file to the window; throws Failure when the
// file cannot be read or is not a valid style sheet (the window then keeps its
// own look).
void ApplyStyleSheetFile(QWidget& window, const QString& path);

}  // namespace quendrel
