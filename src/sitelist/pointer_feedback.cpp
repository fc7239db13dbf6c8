#include "pointer_feedback.h"

#include "site_list_window.h"

#include <QEvent>
#include <QMouseEvent>
#include <QWidget>

namespace quendrel {

namespace {
const char* const kPointerRole = "quendrelPointer";
enum class Role { Hand = 1, Default = 2 };
}  // namespace

PointerFeedback::PointerFeedback(SiteListWindow& window, const QList<QWidget*>& handOver,
                                 const QList<QWidget*>& defaultOver)
    : window_(window) {
    const auto watch = [this](QWidget* widget, Role role) {
        widget->setProperty(kPointerRole, static_cast<int>(role));
        // Moves without a button pressed reach only widgets that track the mouse.
        widget->setMouseTracking(true);
        widget->installEventFilter(this);
    };
    for (QWidget* widget : handOver) watch(widget, Role::Hand);
    for (QWidget* widget : defaultOver) watch(widget, Role::Default);
}

void PointerFeedback::ShowHandPointer() {
    if (!window_.IsBusy()) window_.ShowHandPointer();
}

void PointerFeedback::ShowDefaultPointer() {
    if (!window_.IsBusy()) window_.ShowDefaultPointer();
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
