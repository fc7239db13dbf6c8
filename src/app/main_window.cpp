#include "main_window.h"

#include "platform/platform.h"
#include "product.h"

#include <QLineEdit>
#include <QRadioButton>
#include <cstdio>

namespace quendrel {

MainWindow::MainWindow(platform::Platform& platform)
    : platform_(platform),
      settings_(platform.settings),
      report_(platform.dialogs, kSupportAddress),
      progress_(*form_.ProgressBar1),
      options_(form_.Option1, form_.Option2, form_.Option3, settings_),
      startUp_(form_, platform, settings_, report_, options_) {
    wireOptions();
}

namespace {
// The folder box and the options carry no error trap: a setting that cannot be
// written is said on stderr and the choice stays on screen.
template <typename Action>
void unguarded(Action&& action) {
    try {
        action();
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "quendrel: %s\n", failure.what());
    }
}
}  // namespace

void MainWindow::wireOptions() {
    QObject::connect(form_.Text1, &QLineEdit::textChanged, [this](const QString& text) {
        unguarded([&] { settings_.WriteSetting(QStringLiteral("Folder"), text); });
    });
    for (QRadioButton* option : {form_.Option1, form_.Option2, form_.Option3})
        QObject::connect(option, &QRadioButton::clicked,
                         [this] { unguarded([&] { options_.StoreSelection(); }); });
}

}  // namespace quendrel
