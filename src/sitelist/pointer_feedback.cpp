// Compiled into quendrel_core (src/app/CMakeLists.txt).
#include "pointer_feedback.h"

#include "app/form1.h"

#include <QEvent>
#include <QGroupBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>

namespace quendrel {

namespace {
const char* const kPointerRole = "quendrelPointer";
enum class Role { Hand = 1, Default = 2 };
}  // namespace

PointerFeedback::PointerFeedback(Form1& form) : form_(form) {
    const auto watch = [this](QWidget* widget, Role role) {
        widget->setProperty(kPointerRole, static_cast<int>(role));
        // Moves without a button pressed reach only widgets that track the mouse.
        widget->setMouseTracking(true);
        widget->installEventFilter(this);
    };
    for (QPushButton* button : {form.PushButton1, form.PushButton2, form.PushButton3,
                                form.PushButton4, form.PushButton6, form.PushButton7})
        watch(button, Role::Hand);
    for (QWidget* widget : std::initializer_list<QWidget*>{&form, form.Frame1, form.Frame2, form.Text1})
        watch(widget, Role::Default);
}

void PointerFeedback::ShowHandPointer() {
    if (!form_.IsBusy()) form_.setCursor(form_.customPointer);
}

void PointerFeedback::ShowDefaultPointer() {
    if (!form_.IsBusy()) form_.ShowDefaultPointer();
}

bool PointerFeedback::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::MouseMove) return false;
    auto* widget = static_cast<QWidget*>(watched);
    // A move over a child that has no rule of its own (an option button, the
    // progress bar) is passed up to its parent; it changes nothing.
    const QPoint position = static_cast<QMouseEvent*>(event)->position().toPoint();
    if (QWidget* child = widget->childAt(position); child && child->isVisible()) return false;
    switch (static_cast<Role>(widget->property(kPointerRole).toInt())) {
    case Role::Hand:
        ShowHandPointer();
        break;
    case Role::Default:
        ShowDefaultPointer();
        break;
    }
    return false;
}

}  // namespace quendrel
