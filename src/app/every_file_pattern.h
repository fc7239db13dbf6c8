#pragma once
// Open-file dialogs read the pattern "*.*" as Windows reads it: every file,
// also one whose name has no dot. Qt matches it literally, so the list file
// dialog's "All Files (*.*)" would hide such files.
#include <QObject>

namespace quendrel {

// Installed on the application, it fits every open-file dialog that offers
// "*.*" before the dialog is first shown.
class EveryFilePattern : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace quendrel
