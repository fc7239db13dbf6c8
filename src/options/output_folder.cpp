#include "output_folder.h"

#include "common/error_trap.h"
#include "common/product.h"
#include "common/saved_choices.h"
#include "common/settings_store.h"
#include "common/unguarded.h"
#include "platform/dialogs.h"

#include <QLineEdit>

namespace quendrel {

OutputFolder::OutputFolder(QLineEdit& folderBox, platform::Dialogs& dialogs,
                           SettingsStore& settings, ErrorReport& report)
    : text1_(folderBox), dialogs_(dialogs), settings_(settings), report_(report) {
    // Every change of the box's text, typed or set, is kept at once.
    QObject::connect(&text1_, &QLineEdit::textChanged, [this](const QString& text) {
        Unguarded([&] { settings_.WriteSetting(kFolderKey, text); });
    });
}

void OutputFolder::PushButton3_Click() {
    ErrorTrap trap(report_, HandlerLocation("PushButton3_Click"));
    QString start;
    QString chosen;
    trap.step(100, [&] { start = settings_.ReadSetting(kLastFolderDotKey, QString()); });
    trap.step(100, [&] {
        chosen = dialogs_.folderName(QStringLiteral("Please select folder:"), start);
    });
    if (trap.test(102, [&] { return chosen.isEmpty(); })) return;
    trap.step(104, [&] { settings_.WriteSetting(kLastFolderDotKey, chosen); });
    // The box's change writes "Folder".
    if (trap.test(104, [&] { return !chosen.endsWith(QLatin1Char('/')); }))
        trap.step(106, [&] { text1_.setText(chosen + QLatin1Char('/')); });
    else
        trap.step(108, [&] { text1_.setText(chosen); });
}

}  // namespace quendrel
