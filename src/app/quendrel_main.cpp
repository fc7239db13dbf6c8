#include "quendrel_main.h"

#include "every_file_pattern.h"
#include "linux_platform.h"
#include "main_window.h"

#include <QApplication>
#include <QTimer>

namespace quendrel {

int RunQuendrel(int argc, char** argv, std::function<void(QWidget&)> onShown) {
    QApplication app(argc, argv);  // the command line is not read
    EveryFilePattern everyFile;
    app.installEventFilter(&everyFile);
    LinuxPlatform linux;
    MainWindow window(linux.platform);
    linux.dialogs.setOwner(&window.form());
    window.EndProcessOnClose();
    window.Load();
    window.form().show();
    if (onShown) QTimer::singleShot(0, &window.form(), [&] { onShown(window.form()); });
    return app.exec();
}

}  // namespace quendrel
