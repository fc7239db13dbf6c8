#pragma once
// The program's one window with everything behind it: the controls, the
// settings, the error report and the handlers, wired together over whatever
// platform it is given (the Linux one, or fakes in tests).
#include "common/error_report.h"
#include "form1.h"
#include "options/method_options.h"
#include "options/output_folder.h"
#include "progress_bar_display.h"
#include "saverun/engine_rendering.h"
#include "saverun/printer_control.h"
#include "saverun/save_run.h"
#include "common/settings_store.h"
#include "site_list_handlers.h"
#include "start_up.h"
#include "window_run_front_end.h"

namespace quendrel {

namespace platform { struct Platform; }

class MainWindow {
public:
    explicit MainWindow(platform::Platform& platform);
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    Form1& form() { return form_; }
    platform::Platform& platform() { return platform_; }
    SettingsStore& settings() { return settings_; }
    ErrorReport& errorReport() { return report_; }
    MethodOptions& methodOptions() { return options_; }
    ProgressDisplay& progress() { return progress_; }
    // The entries a save run works through.
    SiteList& siteList() { return siteList_.list; }
    SiteListHandlers& siteListHandlers() { return siteList_; }
    OutputFolder& outputFolder() { return folder_; }

    // The start-up sequence; the caller shows the window afterwards.
    void Load() { startUp_.Form_Load(); }
    // What must happen before the process ends when the window closes: a run
    // in progress is abandoned (see SaveRun::Abandon).
    void Unload();
    // Closing the window then ends the process at once, also in the middle of
    // a run, after Unload; every setting is already on disk.
    void EndProcessOnClose();
    SaveRun& saveRun() { return saveRun_; }

private:
    void wireSiteList();
    void wireFolder();
    void wireSaveRun();

    platform::Platform& platform_;
    SettingsStore settings_;
    ErrorReport report_;
    Form1 form_;
    ProgressBarDisplay progress_;
    MethodOptions options_;
    StartUp startUp_;
    SiteListHandlers siteList_;
    OutputFolder folder_;
    PrinterControl printer_;
    EngineRendering rendering_;
    WindowRunFrontEnd runFrontEnd_;
    SaveRun saveRun_;
};

}  // namespace quendrel
