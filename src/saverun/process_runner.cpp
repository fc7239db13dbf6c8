#include "process_runner.h"

#include "command_line.h"
#include "platform/event_pump.h"
#include "platform/process_launcher.h"

#include <QStringList>
#include <algorithm>
#include <cmath>
#include <cstdint>

namespace quendrel {

namespace {

constexpr int kCycleMilliseconds = 100;
constexpr int kCyclesBeforeText = 50;
constexpr int kCyclesPerStep = 150;

// The Windows shell answers an empty command line with "Invalid procedure call
// or argument".
constexpr int kInvalidArgumentError = 5;

// Halfway values go to the even neighbour, independent of the floating-point
// environment's rounding mode.
double roundHalfEven(double x) {
    const double nearest = std::round(x);
    if (std::fabs(x - std::trunc(x)) == 0.5) return 2.0 * std::round(x / 2.0);
    return nearest;
}

int startErrorResult(int errorNumber) {
    // Wraps like the 32-bit sum it stands for.
    return static_cast<int>(static_cast<std::uint32_t>(errorNumber) +
                            static_cast<std::uint32_t>(kStartErrorBase));
}

// The 100 ms pause of a cycle. Window events keep being handled while it lasts,
// but the pump sleeps until an event arrives, so an idle wait costs no CPU.
void pauseHandlingEvents(platform::EventPump& events, int milliseconds) {
    platform::WaitFor(events, milliseconds);
}

QString waitingText(const QString& statusText, long long tick) {
    QString text = statusText;
    if (!text.isEmpty()) text += QStringLiteral(", ");
    return text + QStringLiteral("Please wait.. ") + QString::number(tick);
}

}  // namespace

int EffectiveWindowStyle(std::optional<int> windowStyle) {
    if (!windowStyle || *windowStyle < 0 || *windowStyle > 6) return 6;
    return *windowStyle;
}

int WaitingBarValue(int baseValue, int itemCount, long long stepsTaken) {
    const double items = itemCount < 1 ? 1.0 : static_cast<double>(itemCount);
    const double step = roundHalfEven(100.0 / items / 10.0);
    const double ceiling = roundHalfEven(100.0 / items + baseValue - step);
    const double candidate = baseValue + static_cast<double>(stepsTaken) * step;
    const double value = candidate >= ceiling ? ceiling : candidate;
    return static_cast<int>(std::clamp(value, 0.0, 100.0));
}

int RunProcessAndWait(ProcessRunnerPlatform platform, const QString& commandLine,
                      std::optional<int> windowStyle, ProgressDisplay* progressBar,
                      const QString& statusText, int baseValue, int itemCount) {
    // Headless programs have no window to show, hide or minimise.
    (void)EffectiveWindowStyle(windowStyle);

    const QStringList argv = SplitWindowsCommandLine(commandLine);
    if (argv.isEmpty()) return startErrorResult(kInvalidArgumentError);
    long long processId = 0;
    try {
        processId = platform.processes.start(argv);
    } catch (const platform::StartFailure& failure) {
        return startErrorResult(failure.errorNumber());
    }

    return WaitForProcess(platform, processId, progressBar, statusText, baseValue, itemCount);
}

int WaitForProcess(ProcessRunnerPlatform platform, long long processId, ProgressDisplay* progressBar,
                   const QString& statusText, int baseValue, int itemCount) {
    platform::EventPump& events = platform.events;
    int lastExitCode = 0;
    bool ended = false;
    long long cycles = 0;
    // The end is learnt from the process state, not from the exit code, so a
    // program that exits with 259 (Windows' "still active") is not waited on forever.
    while (!ended) {
        if (const std::optional<int> code = platform.processes.exitCode(processId)) {
            lastExitCode = *code;
            ended = true;
        }
        events.processEvents();
        pauseHandlingEvents(events, kCycleMilliseconds);
        if (progressBar) {
            events.processEvents();
            ++cycles;
            if (cycles >= kCyclesBeforeText) {
                events.processEvents();
                const long long tick = cycles - kCyclesBeforeText;
                progressBar->setText(waitingText(statusText, tick));
                if (tick % kCyclesPerStep == 0)
                    progressBar->setValue(WaitingBarValue(baseValue, itemCount, tick / kCyclesPerStep));
            }
            events.processEvents();
        }
        events.processEvents();
    }

    if (progressBar)
        progressBar->setText(statusText.isEmpty() ? QStringLiteral("Progress Bar") : statusText);
    return lastExitCode;
}

}  // namespace quendrel
