#pragma once
// The start-up sequence of the main window, run before it is first shown.
#include <QString>

namespace quendrel {

namespace platform { struct Platform; }
class ErrorReport;
class Form1;
class MethodOptions;
class SettingsStore;

class StartUp {
public:
    StartUp(Form1& form, platform::Platform& platform, SettingsStore& settings,
            ErrorReport& report, MethodOptions& options);

    void Form_Load();

    // Start-up helpers, public for the tests.
    void ApplySkin();
    void VisitHomePage();
    void ShowPrinterInstallHelp();
    QString GetDesktopFolder();
    static int HomePageDraw(double secondsSinceMidnight);
    static QString PrinterInstallHelpText(const QString& programFolder);

private:
    Form1& form_;
    platform::Platform& platform_;
    SettingsStore& settings_;
    ErrorReport& report_;
    MethodOptions& options_;
};

}  // namespace quendrel
