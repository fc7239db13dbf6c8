#pragma once
// Runs another program to its end while the window stays usable, and turns the
// progress bar into a "please wait" display while it waits.
#include "progress_display.h"

#include <QString>
#include <optional>

namespace quendrel {

namespace platform {
class EventPump;
class ProcessLauncher;
}  // namespace platform

// Added to the start error's number when a program cannot be started
// (0x80040000 as a signed 32-bit number): 53, file not found, gives -2147221451.
inline constexpr int kStartErrorBase = -2147221504;

// The window style the program is started with: 0 to 6 as given, anything
// else (or nothing) 6. On Linux the started programs are headless, so the
// style shows nothing; it is kept so that callers say what they mean.
int EffectiveWindowStyle(std::optional<int> windowStyle);

// What the runner needs from outside: the process starter and the event pump.
struct ProcessRunnerPlatform {
    platform::ProcessLauncher& processes;
    platform::EventPump& events;
};

// Splits the command line by the Windows rules, starts the program without a
// shell and waits for it in cycles of 100 ms, handling window events all the
// time. Gives the program's exit code (128 + the signal number for a program
// killed by a signal), or the start error's number plus kStartErrorBase when
// the program cannot start; then the bar is not touched.
//
// With a bar: from the 50th cycle on its text is the status text, ", " when
// that is not empty, "Please wait.. " and the count of cycles since the 50th;
// in cycles 50, 200, 350, ... its value becomes baseValue plus one step
// (10 / itemCount, rounded half to even) per 150 cycles, held below a ceiling
// of 100 / itemCount + baseValue - step (rounded likewise) and always inside
// 0..100. At the end its text is the status text again, or "Progress Bar"
// when the status text is empty. An item count below 1 counts as 1.
//
// There is no time limit here: the program must bound its own run time.
// Failures of the bar or of the pump are not caught.
int RunProcessAndWait(ProcessRunnerPlatform platform, const QString& commandLine,
                      std::optional<int> windowStyle, ProgressDisplay* progressBar,
                      const QString& statusText, int baseValue, int itemCount);

// The waiting part of RunProcessAndWait, for a program started earlier (a
// capture started ahead of its turn): the cycles, the bar and the exit code
// as there, counted from this call.
int WaitForProcess(ProcessRunnerPlatform platform, long long processId, ProgressDisplay* progressBar,
                   const QString& statusText, int baseValue, int itemCount);

// The bar value shown in cycle 50 + 150 * stepsTaken of a wait, inside 0..100.
int WaitingBarValue(int baseValue, int itemCount, long long stepsTaken);

}  // namespace quendrel
