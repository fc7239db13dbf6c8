#include "window_run_front_end.h"

#include "common/app_title.h"
#include "form1.h"
#include "platform/dialogs.h"
#include "sitelist/site_list_view.h"

#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QRadioButton>

namespace quendrel {

bool WindowRunFrontEnd::IsBusy() const { return form_.IsBusy(); }

int WindowRunFrontEnd::EntryCount() const { return form_.ListView1->entries().count(); }

QString WindowRunFrontEnd::EntryTextAt(int row) const { return form_.ListView1->entries().textAt(row); }

void WindowRunFrontEnd::ShowPicture(const QImage& picture) {
    if (picture.isNull()) {
        form_.Creator->clear();
        return;
    }
    form_.Creator->setPixmap(QPixmap::fromImage(picture));
    form_.Creator->resize(picture.size());
}

QString WindowRunFrontEnd::FolderText() const { return form_.Text1->text(); }

int WindowRunFrontEnd::SelectedMethod() const {
    if (form_.Option1->isChecked()) return 1;
    if (form_.Option2->isChecked()) return 2;
    return form_.Option3->isChecked() ? 3 : 0;
}

void WindowRunFrontEnd::ShowHourglass() { form_.ShowHourglass(); }

void WindowRunFrontEnd::ShowDefaultPointer() { form_.ShowDefaultPointer(); }

void WindowRunFrontEnd::Message(const QString& text) { dialogs_.message(text, AppTitle()); }

}  // namespace quendrel
