#include "saverun/process_runner.h"

#include "platform/posix_process_launcher.h"
#include "platform/qt_event_pump.h"
#include "saverun/command_line.h"
#include "saverun/page_ahead.h"
#include "support/fake_platform.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>
#include <vector>

namespace quendrel {
namespace {

using testing::FakeEventPump;
using testing::FakeProcessLauncher;

constexpr int kFileNotFound = -2147221451;

// The progress bar, recording what was shown and when (in pump milliseconds:
// the 100 ms pause of cycle n ends at n * 100).
class RecordingBar : public ProgressDisplay {
public:
    explicit RecordingBar(platform::EventPump& clock, QString text = {}, double value = 0)
        : clock_(clock), text_(std::move(text)), value_(value) {}

    struct Change {
        long long atMs;
        QString text;
        std::optional<double> value;
    };
    std::vector<Change> changes;

    QString text() const override { return text_; }
    void setText(const QString& text) override {
        text_ = text;
        changes.push_back({clock_.steadyMilliseconds(), text, std::nullopt});
    }
    double value() const override { return value_; }
    void setValue(double value) override {
        value_ = std::clamp(value, 0.0, 100.0);
        changes.push_back({clock_.steadyMilliseconds(), QString(), value});
    }

    std::vector<Change> textsAt(long long ms) const { return filtered(ms, false); }
    std::vector<Change> valuesAt(long long ms) const { return filtered(ms, true); }
    std::vector<double> allValues() const {
        std::vector<double> values;
        for (const Change& c : changes)
            if (c.value) values.push_back(*c.value);
        return values;
    }

private:
    std::vector<Change> filtered(long long ms, bool values) const {
        std::vector<Change> result;
        for (const Change& c : changes)
            if (c.atMs == ms && c.value.has_value() == values) result.push_back(c);
        return result;
    }

    platform::EventPump& clock_;
    QString text_;
    double value_;
};

long long cycleEnd(int cycle) { return cycle * 100LL; }

struct FakeRun {
    FakeProcessLauncher launcher;
    FakeEventPump events;

    int run(const QString& commandLine, ProgressDisplay* bar, const QString& status, int base,
            int items) {
        return RunProcessAndWait({launcher, events}, commandLine, 0, bar, status, base, items);
    }
};

TEST(RunProcessAndWaitTest, WaitingDisplayWithThreeEntriesFromBase33) {
    FakeRun r;
    r.launcher.runPolls = 400;  // ends in cycle 401
    r.launcher.exitWith = 4;
    RecordingBar bar(r.events, "Processing: http://a/", 33);

    EXPECT_EQ(r.run(R"("/q/iecapt" --url="http://a/")", &bar, "Processing: http://a/", 33, 3), 4);

    EXPECT_TRUE(bar.textsAt(cycleEnd(49)).empty());
    ASSERT_EQ(bar.textsAt(cycleEnd(50)).size(), 1u);
    EXPECT_EQ(bar.textsAt(cycleEnd(50))[0].text, "Processing: http://a/, Please wait.. 0");
    EXPECT_EQ(bar.textsAt(cycleEnd(51))[0].text, "Processing: http://a/, Please wait.. 1");
    EXPECT_EQ(bar.textsAt(cycleEnd(200))[0].text, "Processing: http://a/, Please wait.. 150");
    EXPECT_EQ(bar.textsAt(cycleEnd(401))[0].text, "Processing: http://a/, Please wait.. 351");

    ASSERT_EQ(bar.valuesAt(cycleEnd(50)).size(), 1u);
    EXPECT_EQ(*bar.valuesAt(cycleEnd(50))[0].value, 33);
    EXPECT_TRUE(bar.valuesAt(cycleEnd(51)).empty());
    EXPECT_EQ(*bar.valuesAt(cycleEnd(200))[0].value, 36);
    EXPECT_EQ(*bar.valuesAt(cycleEnd(350))[0].value, 39);
    EXPECT_EQ(bar.allValues(), std::vector<double>({33, 36, 39}));

    EXPECT_EQ(bar.changes.back().text, "Processing: http://a/");
    EXPECT_EQ(r.events.now, cycleEnd(401));
}

TEST(RunProcessAndWaitTest, TwentyEntriesKeepTheBaseValue) {
    FakeRun r;
    r.launcher.runPolls = 360;
    RecordingBar bar(r.events, "Processing: x", 55);
    r.run("prog", &bar, "Processing: x", 55, 20);
    EXPECT_EQ(bar.allValues(), std::vector<double>({55, 55, 55}));
}

TEST(RunProcessAndWaitTest, OneEntryFromBase100StaysAt100) {
    FakeRun r;
    r.launcher.runPolls = 360;
    RecordingBar bar(r.events, "Processing: x", 100);
    r.run("prog", &bar, "Processing: x", 100, 1);
    EXPECT_EQ(bar.allValues(), std::vector<double>({100, 100, 100}));
}

TEST(RunProcessAndWaitTest, EmptyStatusTextHasNoSeparatorAndRestoresProgressBar) {
    FakeRun r;
    r.launcher.runPolls = 60;
    RecordingBar bar(r.events);
    r.run("prog", &bar, QString(), 0, 2);
    EXPECT_EQ(bar.textsAt(cycleEnd(50))[0].text, "Please wait.. 0");
    EXPECT_EQ(bar.textsAt(cycleEnd(61))[0].text, "Please wait.. 11");
    EXPECT_EQ(bar.changes.back().text, "Progress Bar");
}

TEST(RunProcessAndWaitTest, MissingProgramReturnsAtOnceAndLeavesTheBarAlone) {
    FakeRun r;
    r.launcher.startError = 53;
    RecordingBar bar(r.events, "Processing: x", 10);
    EXPECT_EQ(r.run(R"("/nowhere/iecapt" --url="x")", &bar, "Processing: x", 10, 3), kFileNotFound);
    EXPECT_TRUE(bar.changes.empty());
    EXPECT_EQ(r.events.now, 0);
    EXPECT_EQ(r.events.processed, 0);
}

TEST(RunProcessAndWaitTest, EmptyCommandLineStartsNothing) {
    FakeRun r;
    EXPECT_EQ(r.run("   ", nullptr, QString(), 0, 1), kStartErrorBase + 5);
    EXPECT_TRUE(r.launcher.started.empty());
}

TEST(RunProcessAndWaitTest, ProgramEndingInTheFirstCycleOnlyRestoresTheText) {
    FakeRun r;
    r.launcher.exitWith = 7;
    RecordingBar bar(r.events, "Processing: x", 10);
    EXPECT_EQ(r.run("prog", &bar, "Processing: x", 10, 3), 7);
    ASSERT_EQ(bar.changes.size(), 1u);
    EXPECT_EQ(bar.changes[0].text, "Processing: x");
    EXPECT_EQ(r.events.now, cycleEnd(1));
}

TEST(RunProcessAndWaitTest, WithoutABarOnlyWaitsAndYields) {
    FakeRun r;
    r.launcher.runPolls = 80;
    r.launcher.exitWith = 2;
    EXPECT_EQ(r.run("prog", nullptr, "Processing: x", 10, 3), 2);
    EXPECT_EQ(r.events.now, cycleEnd(81));
}

TEST(RunProcessAndWaitTest, ExitCode259EndsTheWait) {
    FakeRun r;
    r.launcher.runPolls = 3;
    r.launcher.exitWith = 259;
    EXPECT_EQ(r.run("prog", nullptr, QString(), 0, 1), 259);
    EXPECT_EQ(r.events.now, cycleEnd(4));
}

TEST(RunProcessAndWaitTest, StartsTheSplitArgumentVector) {
    FakeRun r;
    r.run(R"("/opt/my q/iecapt" --url="http://a/ b" --out="/o/x y.jpg")", nullptr, QString(), 0, 1);
    ASSERT_EQ(r.launcher.started.size(), 1u);
    EXPECT_EQ(r.launcher.started[0],
              QStringList({"/opt/my q/iecapt", "--url=http://a/ b", "--out=/o/x y.jpg"}));
}

TEST(RunProcessAndWaitTest, HandlesWindowEventsThroughoutWithoutBlockingSleeps) {
    FakeRun r;
    r.launcher.runPolls = 99;
    std::vector<long long> eventTimes;
    r.events.onProcess = [&] { eventTimes.push_back(r.events.now); };
    RecordingBar bar(r.events);
    r.run("prog", &bar, "s", 0, 1);
    EXPECT_EQ(r.events.blockedMs, 0);
    // Every 100 ms of the wait has events handled in it.
    for (long long ms = 0; ms < cycleEnd(100); ms += 100)
        EXPECT_TRUE(std::any_of(eventTimes.begin(), eventTimes.end(),
                                [ms](long long t) { return t >= ms && t <= ms + 100; }))
            << "no events handled between " << ms << " and " << ms + 100 << " ms";
}

TEST(WindowStyleTest, OutOfRangeOrMissingMeansSix) {
    EXPECT_EQ(EffectiveWindowStyle(std::nullopt), 6);
    EXPECT_EQ(EffectiveWindowStyle(-1), 6);
    EXPECT_EQ(EffectiveWindowStyle(7), 6);
    EXPECT_EQ(EffectiveWindowStyle(0), 0);
    EXPECT_EQ(EffectiveWindowStyle(3), 3);
    EXPECT_EQ(EffectiveWindowStyle(6), 6);
}

struct BarValueCase {
    int base;
    int items;
    std::vector<int> valuesForSteps;  // k = 0, 1, 2, ...
};

class WaitingBarValueTest : public ::testing::TestWithParam<BarValueCase> {};

TEST_P(WaitingBarValueTest, StepsUpToTheCeilingInsideTheBar) {
    const BarValueCase& c = GetParam();
    for (std::size_t k = 0; k < c.valuesForSteps.size(); ++k)
        EXPECT_EQ(WaitingBarValue(c.base, c.items, static_cast<long long>(k)), c.valuesForSteps[k])
            << "base " << c.base << ", " << c.items << " entries, step " << k;
}

INSTANTIATE_TEST_SUITE_P(
    Table, WaitingBarValueTest,
    ::testing::Values(
        // step 3 (3.33), ceiling 63 (63.33)
        BarValueCase{33, 3, {33, 36, 39, 42, 45, 48, 51, 54, 57, 60, 63, 63, 63}},
        // 10 / 20 = 0.5 rounds to the even 0: the value stays
        BarValueCase{40, 20, {40, 40, 40}},
        BarValueCase{0, 25, {0, 0}},
        // step 10, ceiling 190: kept inside the bar
        BarValueCase{100, 1, {100, 100, 100}},
        // step 10, ceiling 90
        BarValueCase{0, 1, {0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 90}},
        // 10 / 4 = 2.5 rounds to 2; ceiling 25 + 50 - 2 = 73
        BarValueCase{50, 4, {50, 52, 54}},
        // 10 / 8 = 1.25 gives step 1; 12.5 + 1 - 1 = 12.5 rounds to the even 12
        BarValueCase{1, 8, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 12}},
        // 12.5 + 2 - 1 = 13.5 rounds to 14
        BarValueCase{2, 8, {2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 14}},
        // the base itself out of range
        BarValueCase{-5, 3, {0, 0, 1}},
        BarValueCase{150, 3, {100}},
        // an item count below 1 counts as 1
        BarValueCase{0, 0, {0, 10}}));

// Real processes: the POSIX launcher with Qt's event pump.

const QString kChild = QStringLiteral(QUENDREL_TEST_CHILD);

QString childCommand(const QString& arguments) {
    return QStringLiteral("\"%1\" %2").arg(kChild, arguments);
}

struct RealRun {
    platform::PosixProcessLauncher launcher;
    platform::QtEventPump events;

    int run(const QString& commandLine, ProgressDisplay* bar = nullptr, const QString& status = {},
            int base = 0, int items = 1) {
        return RunProcessAndWait({launcher, events}, commandLine, 0, bar, status, base, items);
    }
};

TEST(RunRealProcessTest, ReturnsTheExitCode) {
    RealRun r;
    EXPECT_EQ(r.run(childCommand("--exit=0")), 0);
    EXPECT_EQ(r.run(childCommand("--exit=3")), 3);
    // Exit statuses have 8 bits: 259 arrives as 3, and the wait still ends.
    EXPECT_EQ(r.run(childCommand("--exit=259")), 3);
    EXPECT_EQ(r.run("false"), 1);
}

TEST(RunRealProcessTest, ProgramKilledBySignalGives128PlusTheSignal) {
    RealRun r;
    EXPECT_EQ(r.run(childCommand("--signal=15")), 128 + 15);
}

TEST(RunRealProcessTest, ProgramsThatCannotStartGiveTheirErrorNumber) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // A script without an interpreter line must not be handed to a shell.
    const QString marker = dir.filePath("ran");
    const QString script = dir.filePath("script");
    {
        QFile file(script);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral("touch '%1'\n").arg(marker).toUtf8());
    }
    QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString notExecutable = dir.filePath("plain");
    {
        QFile file(notExecutable);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }

    RealRun r;
    EXPECT_EQ(r.run(QStringLiteral("\"%1\" x").arg(dir.filePath("missing"))), kFileNotFound);
    EXPECT_EQ(r.run("quendrel-no-such-program-anywhere"), kFileNotFound);
    EXPECT_EQ(r.run(QStringLiteral("\"%1/missing-folder/prog\"").arg(dir.path())), kFileNotFound);
    EXPECT_EQ(r.run(QStringLiteral("\"%1\"").arg(notExecutable)), kStartErrorBase + 75);
    EXPECT_EQ(r.run(QStringLiteral("\"%1\"").arg(dir.path())), kStartErrorBase + 75);
    EXPECT_EQ(r.run(QStringLiteral("\"%1\"").arg(script)), kStartErrorBase + 75);
    EXPECT_FALSE(QFile::exists(marker));
}

TEST(RunRealProcessTest, ArgumentsReachTheChildIntact) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString argvFile = dir.filePath("argv");
    const QStringList arguments = {
        "--argv-to=" + argvFile, "a b", "tab\there", R"(quote"inside)", R"(\"escaped)",
        R"(trailing\)", R"(C:\dir\file)", "", R"(" --out="/tmp/evil.jpg)", "$(touch /tmp/x) `id` ; |",
        "\xc3\xa9\xe2\x82\xac"};
    QString commandLine = QStringLiteral("\"%1\"").arg(kChild);
    for (const QString& argument : arguments) commandLine += ' ' + QuoteWindowsArgument(argument);

    RealRun r;
    ASSERT_EQ(r.run(commandLine), 0);
    QFile file(argvFile);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QList<QByteArray> received = file.readAll().split('\0');
    ASSERT_EQ(received.takeLast(), QByteArray());
    QStringList receivedArguments;
    for (const QByteArray& argument : received) receivedArguments << QString::fromUtf8(argument);
    EXPECT_EQ(receivedArguments, QStringList{kChild} + arguments);
}

TEST(RunRealProcessTest, AServiceGetsItsDescriptorsAndSettingsAndItsGroupEndsWithIt) {
    int three[2], four[2];
    ASSERT_EQ(::pipe2(three, O_CLOEXEC), 0);
    ASSERT_EQ(::pipe2(four, O_CLOEXEC), 0);
    platform::PosixProcessLauncher launcher;
    platform::StartExtras extras;
    extras.descriptors = {three[1], four[1]};
    extras.environment = {QStringLiteral("QUENDREL_TEST_SAID=hello")};
    extras.service = true;
    const long long pid = launcher.startWith({kChild, "--tell=QUENDREL_TEST_SAID", "--sleeper", "--sleep-ms=60000"},
                                             platform::ErrorOutput::Shared, extras);
    ::close(three[1]);
    ::close(four[1]);
    char said[64] = {};
    EXPECT_EQ(::read(three[0], said, 5), 5);
    EXPECT_STREQ(said, "hello");
    char group[64] = {};
    EXPECT_GT(::read(four[0], group, sizeof group - 1), 0);
    EXPECT_EQ(QByteArray(group).toLongLong(), pid) << "it leads no group of its own";
    launcher.stop(pid);
    // Its sleeping child held the pipe too: the pipe ends only when the group has gone.
    pollfd ended{three[0], POLLIN, 0};
    EXPECT_EQ(::poll(&ended, 1, 5000), 1);
    EXPECT_EQ(::read(three[0], said, sizeof said), 0) << "a process of its group outlived it";
    ::close(three[0]);
    ::close(four[0]);
}

TEST(RunRealProcessTest, KeepsHandlingEventsWhileTheProgramRuns) {
    RealRun r;
    bool fired = false;
    QTimer::singleShot(50, [&fired] { fired = true; });
    EXPECT_EQ(r.run(childCommand("--sleep-ms=300 --exit=5")), 5);
    EXPECT_TRUE(fired);
}

// Qt's pump with its clock running 50 times faster: the 100 ms pause lasts
// 2 ms, so a child of a second and a half outlives several bar steps.
class FastClockPump : public platform::EventPump {
public:
    static constexpr int kSpeed = 50;
    void processEvents() override { real_.processEvents(); }
    void waitForEvents(int milliseconds) override {
        real_.waitForEvents(std::max(1, milliseconds / kSpeed));
    }
    void sleepBlocking(int milliseconds) override { real_.sleepBlocking(milliseconds / kSpeed); }
    long long steadyMilliseconds() override { return real_.steadyMilliseconds() * kSpeed; }

private:
    platform::QtEventPump real_;
};

TEST(RunRealProcessTest, ProgramOutlivingSeveralStepsGetsTheWholeDisplay) {
    platform::PosixProcessLauncher launcher;
    FastClockPump events;
    RecordingBar bar(events, "Processing: x", 33);
    EXPECT_EQ(RunProcessAndWait({launcher, events}, childCommand("--sleep-ms=1500 --exit=9"), 0, &bar,
                                "Processing: x", 33, 3),
              9);
    const std::vector<double> values = bar.allValues();
    ASSERT_GE(values.size(), 2u) << "the child ended before the second step";
    for (std::size_t k = 0; k < values.size(); ++k) EXPECT_EQ(values[k], std::min(33.0 + 3 * k, 63.0));
    EXPECT_TRUE(bar.changes[bar.changes.size() - 2].text.startsWith("Processing: x, Please wait.. "));
    EXPECT_EQ(bar.changes.back().text, "Processing: x");
}

// A capture started ahead of its turn, with a stand-in capture program (a
// script the kernel runs by its interpreter line) that notes its process id.
class AheadCaptureTest : public ::testing::Test {
protected:
    void program(const QByteArray& body) {
        ASSERT_TRUE(folder.isValid());
        desktop.program = folder.path();
        QFile script(folder.filePath("iecapt"));
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\necho $$ > '" + folder.filePath("pid").toUtf8() + "'\nout=\"${2#--out=}\"\n" + body);
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    // Whether the stand-in's process still exists (also as an unreaped zombie).
    bool running() {
        QFile file(folder.filePath("pid"));
        if (!file.open(QIODevice::ReadOnly)) return false;
        return ::kill(file.readAll().trimmed().toInt(), 0) == 0;
    }
    void pump(int milliseconds) {
        const long long end = events.steadyMilliseconds() + milliseconds;
        while (events.steadyMilliseconds() < end) events.waitForEvents(50);
    }

    QTemporaryDir folder;
    testing::FakeDesktop desktop;
    platform::PosixProcessLauncher launcher;
    platform::QtEventPump events;
};

TEST_F(AheadCaptureTest, PictureReachesTheCapturePathOnlyAtItsTurn) {
    program("printf jpeg > \"$out\"\n");
    const QString capturePath = folder.filePath("entry.jpg");
    {
        AheadCapture capture({desktop, launcher, events}, "http://a.example/");
        ASSERT_TRUE(capture.prepared());
        pump(300);
        EXPECT_FALSE(QFile::exists(capturePath)) << "nothing lands in the output folder ahead of its turn";
        testing::RecordingProgress bar;
        EXPECT_EQ(capture.FinishInto(&bar, 1, capturePath), QString());
    }
    QFile picture(capturePath);
    ASSERT_TRUE(picture.open(QIODevice::ReadOnly));
    EXPECT_EQ(picture.readAll(), "jpeg");
}

TEST_F(AheadCaptureTest, AProgramThatWritesNothingGivesItsOwnReason) {
    // The reason comes through the launcher's kept standard error, also after
    // far more than a pipe holds by default, said while nobody asked.
    struct Case {
        const char* name;
        QByteArray body;
        const char* reason;
    };
    for (const Case& c : {Case{"says why", "echo 'iecapt: cannot load x: the name was not found' >&2\nexit 1\n",
                               "cannot load x: the name was not found"},
                          Case{"says much first",
                               "head -c 300000 /dev/zero | tr '\\0' w >&2\necho >&2\n"
                               "echo 'iecapt: time limit of 60000 ms reached, no image written' >&2\nexit 3\n",
                               "time limit of 60000 ms reached, no image written"},
                          Case{"says nothing", "exit 1\n", ""}}) {
        SCOPED_TRACE(c.name);
        program(c.body);
        AheadCapture capture({desktop, launcher, events}, "http://a.example/");
        pump(300);
        EXPECT_EQ(capture.FinishInto(nullptr, 1, folder.filePath("entry.jpg")), QString::fromUtf8(c.reason));
        EXPECT_FALSE(QFile::exists(folder.filePath("entry.jpg")));
    }
}

TEST_F(AheadCaptureTest, ProgramIsEndedPastItsLimitOrWhenReleased) {
    struct Case {
        const char* name;
        int limitMs;
        int pumpMs;
        bool finish;
    };
    for (const Case& c : {Case{"past its limit", 200, 600, true}, Case{"released unfinished", 60'000, 300, false}}) {
        SCOPED_TRACE(c.name);
        program("exec sleep 30\n");
        const QString capturePath = folder.filePath("entry.jpg");
        const long long start = events.steadyMilliseconds();
        {
            AheadCapture capture({desktop, launcher, events}, "http://a.example/", c.limitMs);
            pump(c.pumpMs);
            EXPECT_TRUE(running() != (c.limitMs < c.pumpMs));
            if (c.finish) {
                EXPECT_EQ(capture.FinishInto(nullptr, 1, capturePath),
                          QStringLiteral("the capture program did not end within 0.2 s"));
            }
        }
        EXPECT_FALSE(running());
        EXPECT_FALSE(QFile::exists(capturePath));
        EXPECT_LT(events.steadyMilliseconds() - start, 5000);
        QFile::remove(folder.filePath("pid"));
    }
}

}  // namespace
}  // namespace quendrel
