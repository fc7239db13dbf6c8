#include "main_window.h"

#include "platform/platform.h"
#include "common/app_title.h"
#include "common/product.h"
#include "common/unguarded.h"
#include "sitelist/site_list_view.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <cstdio>
#include <cstdlib>

// The window's icon lives in the program's static library, where nothing else
// refers to it: without this call the linker leaves it out of the program.
static void keepWindowResources() { Q_INIT_RESOURCE(quendrel); }

namespace quendrel {

MainWindow::MainWindow(platform::Platform& platform)
    : platform_(platform),
      settings_(platform.settings),
      report_(platform.dialogs, kSupportAddress),
      progress_(*form_.ProgressBar1),
      options_(form_.Option1, form_.Option2, form_.Option3, settings_),
      startUp_(form_, platform, settings_, report_, options_),
      siteList_(form_, platform, report_),
      folder_(*form_.Text1, platform.dialogs, settings_, report_),
      printer_(platform.printers, platform.printerControl, platform.dialogs, AppTitle()),
      rendering_(platform, [this](const QImage& picture) { runFrontEnd_.ShowPicture(picture); }, progress_,
                 [this] { return runFrontEnd_.EntryCount(); }),
      runFrontEnd_(form_, platform.dialogs),
      saveRun_({runFrontEnd_, progress_, printer_, rendering_, platform.printers, platform.events, report_}) {
    keepWindowResources();
    wireSiteList();
    wireFolder();
    wireSaveRun();
}

void MainWindow::wireSiteList() {
    SiteListView* list = form_.ListView1;
    SiteListHandlers& handlers = siteList_;
    QObject::connect(form_.PushButton1, &QPushButton::clicked,
                     [&handlers] { handlers.editing.PushButton1_Click(); });
    QObject::connect(form_.PushButton7, &QPushButton::clicked,
                     [&handlers] { handlers.editing.PushButton7_Click(); });
    QObject::connect(form_.PushButton6, &QPushButton::clicked,
                     [&handlers] { handlers.import.PushButton6_Click(); });
    QObject::connect(form_.PushButton4, &QPushButton::clicked,
                     [&handlers] { handlers.samples.PushButton4_Click(); });
    QObject::connect(list, &SiteListView::listDoubleClicked,
                     [&handlers] { handlers.editing.ListView1_DblClick(); });
    QObject::connect(list, &SiteListView::deleteKeyPressed,
                     [&handlers] { handlers.editing.ListView1_KeyDown(); });
    QObject::connect(list, &SiteListView::filesDropped, [&handlers](const QStringList& paths) {
        handlers.editing.ListView1_OLEDragDrop(paths);
    });
    QObject::connect(list, &SiteListView::listMouseDown,
                     [&handlers] { handlers.drag.ListView1_MouseDown(); });
    QObject::connect(list, &SiteListView::entryClicked,
                     [&handlers] { handlers.drag.ListView1_ItemClick(); });
    QObject::connect(list, &SiteListView::listMouseMoved, [&handlers](QPoint at, int screenY) {
        handlers.drag.ListView1_MouseMove(at, screenY);
    });
    QObject::connect(list, &SiteListView::listMouseUp,
                     [&handlers] { handlers.drag.ListView1_MouseUp(); });
}

void MainWindow::wireFolder() {
    QObject::connect(form_.PushButton3, &QPushButton::clicked,
                     [this] { folder_.PushButton3_Click(); });
}

void MainWindow::wireSaveRun() {
    QObject::connect(form_.PushButton2, &QPushButton::clicked, [this] { saveRun_.PushButton2_Click(); });
}

void MainWindow::Unload() { Unguarded([&] { saveRun_.Abandon(); }); }

void MainWindow::EndProcessOnClose() {
    form_.onUnload = [this] {
        Unload();
        std::fflush(nullptr);
        std::_Exit(EXIT_SUCCESS);
    };
}

}  // namespace quendrel
