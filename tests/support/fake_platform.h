#pragma once
// Scripted stand-ins for every platform interface. A test sets up answers,
// runs the code, and reads back what was asked and shown.
#include "platform/failure.h"
#include "platform/platform.h"
#include "saverun/progress_display.h"

#include <QMap>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <vector>

namespace quendrel::testing {

struct ShownBox {
    enum Kind { Message, Warning, Input, OpenFile, Folder } kind;
    QString text;     // message text, prompt or title
    QString caption;  // caption, or the start folder of a folder chooser
};

class FakeDialogs : public platform::Dialogs {
public:
    std::vector<ShownBox> shown;
    std::deque<QString> answers;  // for input, open-file and folder dialogs, in order
    // Called while a box is open, as a user would act before pressing OK.
    std::function<void(const ShownBox&)> onShow;

    void message(const QString& text, const QString& caption) override;
    void warning(const QString& text, const QString& caption) override;
    QString inputText(const QString& prompt, const QString& caption) override;
    QString openFileName(const QString& title, const QStringList& filters) override;
    QString folderName(const QString& title, const QString& startFolder) override;

    QStringList filtersAsked;
    std::vector<ShownBox> boxesOf(ShownBox::Kind kind) const;

private:
    QString record(ShownBox box);
};

class FakeSettings : public platform::SettingsBackend {
public:
    std::map<QString, QString> values;
    std::vector<std::pair<QString, QString>> writes;  // every write, in order
    bool failWrites = false;
    std::optional<QString> read(const QString& key) override;
    void write(const QString& key, const QString& value) override;
};

class FakeDesktop : public platform::Desktop {
public:
    QString program = QStringLiteral("/opt/quendrel");
    QString desktop = QStringLiteral("/home/user/Desktop");
    double clock = 3600.0;
    QStringList opened;
    bool failOpen = false;
    QString programFolder() override { return program; }
    QString desktopFolder() override { return desktop; }
    void openInBrowser(const QString& address) override;
    double secondsSinceMidnight() override { return clock; }
};

// Time moves only when the code under test waits or sleeps.
class FakeEventPump : public platform::EventPump {
public:
    long long now = 0;
    int processed = 0;
    long long blockedMs = 0;
    int longestWaitMs = 0;  // when set, an event ends every wait after this long
    std::function<void()> onProcess;  // runs as a pending event would
    void processEvents() override;
    void waitForEvents(int milliseconds) override;
    void sleepBlocking(int milliseconds) override;
    long long steadyMilliseconds() override { return now; }
};

// Printers by device name. Destinations are named as the print system names
// them, "device" or "device/instance".
class FakePrintSystem : public platform::PrintSystem {
public:
    QStringList devices;
    bool unreachable = false;
    QString ownDefault;     // the user's own default destination; empty: none of their own
    QString serverDefault;  // the server's default destination; empty: none
    bool defaultUnreadable = false;
    bool refuseDefault = false;
    // Every switch and restore asked for, by destination; empty text for a
    // restore to no default of the user's own.
    std::vector<QString> defaultsSet;
    // The destination in force, and the device it prints on.
    QString defaultDestination() const { return ownDefault.isEmpty() ? serverDefault : ownDefault; }
    QString defaultDevice() const { return defaultDestination().section(QLatin1Char('/'), 0, 0); }
    struct Job { int id; QString path; QString title; QString printer; std::map<QString, QString> options; };
    std::map<QString, QString> jobOptions;  // what the next job carries
    std::map<int, QString> printerMessages;
    std::vector<Job> jobs;
    std::map<int, std::deque<platform::JobState>> stateScript;  // answers per job, last repeats
    bool failSubmit = false;
    std::vector<int> cancelled;

    QStringList printerDeviceNames() override;
    QString defaultPrinterDeviceName() override { return defaultPrinter().deviceName; }
    platform::DefaultPrinter defaultPrinter() override;
    bool setDefaultPrinter(const QString& deviceName) override;
    bool restoreDefaultPrinter(const platform::DefaultPrinter& previous) override;
    int submitPdfToDefault(const QString& pdfPath, const QString& title) override;
    void setJobOption(const QString& name, const QString& value) override;
    platform::JobState jobState(int jobId) override;
    QString jobPrinterMessage(int jobId) override { return printerMessages[jobId]; }
    void cancelJob(int jobId) override { cancelled.push_back(jobId); }
};

class FakePrinterControl : public platform::PrinterControlStore {
public:
    std::vector<std::pair<QString, QString>> writes;
    std::map<QString, QString> values;
    bool fail = false;
    bool write(const QString& name, const QString& value) override;
};

class FakeProcessLauncher : public platform::ProcessLauncher {
public:
    using ProcessLauncher::start;
    std::vector<QStringList> started;
    std::vector<platform::ErrorOutput> errorModes;  // per start, in order
    std::optional<int> startError;  // errno-like number to fail with
    int runPolls = 0;               // exitCode() answers "running" this many times
    int exitWith = 0;
    QByteArray errorOutput;         // what every program started with its errors kept says
    std::function<void(const QStringList&)> onStart;
    long long start(const QStringList& argv, platform::ErrorOutput errors) override;
    std::optional<int> exitCode(long long processId) override;
    void stop(long long processId) override { stopped.push_back(processId); }
    QByteArray takeErrorOutput(long long processId) override;
    std::vector<long long> stopped;
};

// The progress bar, keeping every text and value it was given.
class RecordingProgress : public ProgressDisplay {
public:
    explicit RecordingProgress(QString text = QStringLiteral("Progress Bar"), double value = 0)
        : shown(std::move(text)), level(value) {}
    QString shown;
    double level;
    std::vector<QString> texts;
    std::vector<double> values;
    QString text() const override { return shown; }
    void setText(const QString& text) override { texts.push_back(shown = text); }
    double value() const override { return level; }
    void setValue(double value) override { values.push_back(level = value); }
};

// All fakes together, with a Platform over them.
struct FakePlatform {
    FakeDialogs dialogs;
    FakeSettings settings;
    FakeDesktop desktop;
    FakeEventPump events;
    FakePrintSystem printers;
    FakePrinterControl printerControl;
    FakeProcessLauncher processes;
    platform::Platform platform{dialogs, settings, desktop, events, printers, printerControl, processes};
};

}  // namespace quendrel::testing
