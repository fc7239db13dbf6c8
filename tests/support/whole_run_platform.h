#pragma once
// The platform of a whole save run in an end-to-end test: the real event
// pump, CUPS, printer control store and process launcher, with scripted
// dialogs, settings and desktop; and the main window over it, clicked as a
// user clicks it.
#include "app/main_window.h"
#include "platform/cups_print_system.h"
#include "platform/file_printer_control_store.h"
#include "platform/platform.h"
#include "platform/posix_process_launcher.h"
#include "platform/qt_event_pump.h"
#include "sitelist/site_list_view.h"
#include "support/fake_platform.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace quendrel::testing {

struct WholeRunPlatform {
    FakeDialogs dialogs;
    FakeSettings settings;
    FakeDesktop desktop;
    platform::QtEventPump events;
    platform::CupsPrintSystem cups;
    platform::FilePrinterControlStore control;
    platform::PosixProcessLauncher processes;
    platform::Platform platform{dialogs, settings, desktop, events, cups, control, processes};

    // The main window as it starts, the capture program beside the built
    // program, writing into the folder. Fails the test without the PDF printer.
    std::unique_ptr<MainWindow> openWindow(const QString& outFolder) {
        desktop.program = qEnvironmentVariable("QUENDREL_BUILD_DIR") + QStringLiteral("/bin");
        EXPECT_TRUE(cups.printerDeviceNames().contains(QStringLiteral("Marrowby PDF Writer")))
            << "cupsd must run with the PDF printer installed";
        auto window = std::make_unique<MainWindow>(platform);
        window->Load();
        window->form().Text1->setText(outFolder + QLatin1Char('/'));
        return window;
    }
    // Lists the entries, clicks the method and "Start Saving As PDF"; gives
    // the closing message.
    QString runEntries(MainWindow& window, const QStringList& entries, int method) {
        Form1& form = window.form();
        form.ListView1->entries().clear();
        dialogs.shown.clear();
        for (const QString& entry : entries) form.ListView1->entries().append(entry);
        QRadioButton* options[] = {form.Option1, form.Option2, form.Option3};
        QTest::mouseClick(options[method - 1], Qt::LeftButton);
        QTest::mouseClick(form.PushButton2, Qt::LeftButton);
        const auto boxes = dialogs.boxesOf(ShownBox::Message);
        return boxes.empty() ? QString() : boxes.back().text;
    }
};

}  // namespace quendrel::testing
