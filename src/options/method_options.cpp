#include "method_options.h"

#include "common/saved_choices.h"
#include "common/unguarded.h"

#include <QRadioButton>

namespace quendrel {

MethodOptions::MethodOptions(QRadioButton* option1, QRadioButton* option2,
                             QRadioButton* option3, SettingsStore& settings)
    : options_{option1, option2, option3}, settings_(settings) {
    for (QRadioButton* option : options_)
        QObject::connect(option, &QRadioButton::clicked, [this] { Unguarded([&] { StoreSelection(); }); });
}

void MethodOptions::StoreSelection() {
    SaveOptions(settings_, options_[0]->isChecked(), options_[1]->isChecked(), options_[2]->isChecked());
}

void MethodOptions::Restore(int n, bool selected) {
    QRadioButton* option = options_.at(static_cast<size_t>(n - 1));
    if (selected) {
        if (option->isChecked()) return;
        option->setChecked(true);
        StoreSelection();
        return;
    }
    // Exclusive buttons refuse to clear the checked one by themselves.
    option->setAutoExclusive(false);
    option->setChecked(false);
    option->setAutoExclusive(true);
}

int MethodOptions::Selected() const {
    for (size_t i = 0; i < options_.size(); ++i)
        if (options_[i]->isChecked()) return static_cast<int>(i) + 1;
    return 0;
}

}  // namespace quendrel
