#pragma once
// The three save-method options and their settings "Option1".."Option3".
#include <array>

class QRadioButton;

namespace quendrel {

class SettingsStore;

class MethodOptions {
public:
    // A click on any option stores the selection from now on.
    MethodOptions(QRadioButton* option1, QRadioButton* option2, QRadioButton* option3,
                  SettingsStore& settings);

    // A click on any option: all three states are written, in order.
    void StoreSelection();
    // Sets option n (1..3) as start-up restores it. Selecting one that is not
    // selected counts as the user's selection and is stored; clearing one
    // stores nothing and may leave no option selected.
    void Restore(int n, bool selected);
    // The first selected option, 1..3, or 0 when none is.
    int Selected() const;

private:
    std::array<QRadioButton*, 3> options_;
    SettingsStore& settings_;
};

}  // namespace quendrel
