#include "support/fake_platform.h"

namespace quendrel::testing {

QString FakeDialogs::record(ShownBox box) {
    shown.push_back(box);
    if (onShow) onShow(box);
    if (box.kind == ShownBox::Message || box.kind == ShownBox::Warning) return QString();
    if (answers.empty()) return QString();
    QString answer = answers.front();
    answers.pop_front();
    return answer;
}

void FakeDialogs::message(const QString& text, const QString& caption) {
    record({ShownBox::Message, text, caption});
}

void FakeDialogs::warning(const QString& text, const QString& caption) {
    record({ShownBox::Warning, text, caption});
}

QString FakeDialogs::inputText(const QString& prompt, const QString& caption) {
    return record({ShownBox::Input, prompt, caption});
}

QString FakeDialogs::openFileName(const QString& title, const QStringList& filters) {
    filtersAsked = filters;
    return record({ShownBox::OpenFile, title, QString()});
}

QString FakeDialogs::folderName(const QString& title, const QString& startFolder) {
    return record({ShownBox::Folder, title, startFolder});
}

std::vector<ShownBox> FakeDialogs::boxesOf(ShownBox::Kind kind) const {
    std::vector<ShownBox> result;
    for (const ShownBox& box : shown)
        if (box.kind == kind) result.push_back(box);
    return result;
}

std::optional<QString> FakeSettings::read(const QString& key) {
    auto it = values.find(key);
    if (it == values.end()) return std::nullopt;
    return it->second;
}

void FakeSettings::write(const QString& key, const QString& value) {
    if (failWrites) throw Failure(QStringLiteral("Cannot write the setting ") + key);
    values[key] = value;
    writes.emplace_back(key, value);
}

void FakeDesktop::openInBrowser(const QString& address) {
    if (failOpen) throw Failure(QStringLiteral("No web browser"));
    opened.append(address);
}

void FakeEventPump::processEvents() {
    ++processed;
    if (onProcess) onProcess();
}

void FakeEventPump::waitForEvents(int milliseconds) {
    if (longestWaitMs > 0 && milliseconds > longestWaitMs) milliseconds = longestWaitMs;
    now += milliseconds > 0 ? milliseconds : 0;
    processEvents();
}

void FakeEventPump::sleepBlocking(int milliseconds) {
    now += milliseconds;
    blockedMs += milliseconds;
}

QStringList FakePrintSystem::printerDeviceNames() {
    if (unreachable) throw Failure(QStringLiteral("The print system does not answer"));
    return devices;
}

platform::DefaultPrinter FakePrintSystem::defaultPrinter() {
    using Origin = platform::DefaultPrinter::Origin;
    if (defaultUnreadable) throw Failure(QStringLiteral("The answer of the print system cannot be read"));
    const Origin origin = !ownDefault.isEmpty() ? Origin::Own : !serverDefault.isEmpty() ? Origin::Server : Origin::None;
    return {origin, defaultDestination(), defaultDevice()};
}

bool FakePrintSystem::setDefaultPrinter(const QString& deviceName) {
    defaultsSet.push_back(deviceName);
    if (refuseDefault || !devices.contains(deviceName)) return false;
    ownDefault = deviceName;
    return true;
}

bool FakePrintSystem::restoreDefaultPrinter(const platform::DefaultPrinter& previous) {
    using Origin = platform::DefaultPrinter::Origin;
    if (previous.origin == Origin::Unread) return false;
    const QString destination = previous.origin == Origin::Own ? previous.destination : QString();
    defaultsSet.push_back(destination);
    if (refuseDefault) return false;
    if (!destination.isEmpty() && !devices.contains(destination.section(QLatin1Char('/'), 0, 0))) return false;
    ownDefault = destination;
    return true;
}

int FakePrintSystem::submitPdfToDefault(const QString& pdfPath, const QString& title) {
    if (failSubmit) throw Failure(QStringLiteral("The print job was refused"));
    const int id = static_cast<int>(jobs.size()) + 1;
    jobs.push_back({id, pdfPath, title, defaultDevice(), jobOptions});
    return id;
}

void FakePrintSystem::setJobOption(const QString& name, const QString& value) {
    if (value.isEmpty())
        jobOptions.erase(name);
    else
        jobOptions[name] = value;
}

platform::JobState FakePrintSystem::jobState(int jobId) {
    auto it = stateScript.find(jobId);
    if (it == stateScript.end() || it->second.empty()) return platform::JobState::Finished;
    platform::JobState state = it->second.front();
    if (it->second.size() > 1) it->second.pop_front();
    return state;
}

bool FakePrinterControl::write(const QString& name, const QString& value) {
    writes.emplace_back(name, value);
    if (fail) return false;
    values[name] = value;
    return true;
}

long long FakeProcessLauncher::start(const QStringList& argv, platform::ErrorOutput errors) {
    started.push_back(argv);
    errorModes.push_back(errors);
    if (startError) throw platform::StartFailure(*startError, QStringLiteral("File not found"));
    if (onStart) onStart(argv);
    return 1000 + static_cast<long long>(started.size());
}

std::optional<int> FakeProcessLauncher::exitCode(long long) {
    if (runPolls > 0) {
        --runPolls;
        return std::nullopt;
    }
    return exitWith;
}

QByteArray FakeProcessLauncher::takeErrorOutput(long long processId) {
    const auto index = static_cast<std::size_t>(processId - 1001);
    const bool kept = index < errorModes.size() && errorModes[index] == platform::ErrorOutput::Kept;
    return kept ? errorOutput : QByteArray();
}

}  // namespace quendrel::testing
