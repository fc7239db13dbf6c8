#pragma once
// The window as a save run's front end: the site list, the folder box, the
// option buttons, the pointer, the picture holder and message boxes of Form1.
#include "saverun/run_front_end.h"

namespace quendrel {

namespace platform { class Dialogs; }
class Form1;

class WindowRunFrontEnd : public RunFrontEnd {
public:
    WindowRunFrontEnd(Form1& form, platform::Dialogs& dialogs) : form_(form), dialogs_(dialogs) {}

    bool IsBusy() const override;
    int EntryCount() const override;
    QString EntryTextAt(int row) const override;
    QString FolderText() const override;
    int SelectedMethod() const override;
    void ShowHourglass() override;
    void ShowDefaultPointer() override;
    // The hidden holder Creator takes the picture and its size.
    void ShowPicture(const QImage& picture) override;
    // A message box captioned with the program's title.
    void Message(const QString& text) override;

private:
    Form1& form_;
    platform::Dialogs& dialogs_;
};

}  // namespace quendrel
