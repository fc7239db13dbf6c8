// iecapt: renders one web page offscreen with the system's Chromium and
// writes the whole page as a JPEG image. Quendrel runs it beside itself for
// its picture method; it bounds its own run time and writes the image only
// when the capture worked. It needs no display.
#include "capture_options.h"
#include "deadline_pump.h"
#include "hard_deadline.h"
#include "jpeg_output.h"
#include "page_capture.h"
#include "engine/page_settle.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QUrl>
#include <algorithm>
#include <cstdio>

namespace {

// Time to wind the engine down after the limit before the process is ended outright.
constexpr int kShutdownGraceMs = 2000;
// What the time limit keeps back from the load for the settle and the capture,
// so a page that never finishes loading is still captured.
constexpr int kSettleAndCaptureMs = quendrel::engine::kPageSettleLimitMs + 15000;

int loadLimitMs(int maxWaitMs) { return std::max(1000, maxWaitMs - kSettleAndCaptureMs); }

void say(const QString& message) {
    std::fprintf(stderr, "iecapt: %s\n", message.toLocal8Bit().constData());
    std::fflush(stderr);
}

}  // namespace
int main(int argc, char** argv) {
    QElapsedTimer clock;
    clock.start();

    QStringList arguments;
    for (int i = 1; i < argc; ++i) arguments << QFile::decodeName(argv[i]);
    const iecapt::ParsedOptions parsed = iecapt::parseCaptureOptions(arguments);
    if (parsed.options.helpAsked) {
        std::fputs(iecapt::usageText().toLocal8Bit().constData(), stdout);
        return iecapt::kExitCaptured;
    }
    if (!parsed.error.isEmpty()) {
        say(parsed.error);
        std::fputs(iecapt::usageText().toLocal8Bit().constData(), stderr);
        return iecapt::kExitUsage;
    }
    const iecapt::CaptureOptions& options = parsed.options;
    const QUrl address = QUrl::fromUserInput(options.address);
    if (!address.isValid()) {
        say(QStringLiteral("\"%1\" is not a usable address").arg(options.address));
        return iecapt::kExitCaptureFailed;
    }
    // Known before the engine starts, so a bad target costs no page load.
    if (const QString problem = iecapt::outputProblem(options.outputPath); !problem.isEmpty()) {
        say(QStringLiteral("cannot write the image: %1").arg(problem));
        return iecapt::kExitCaptureFailed;
    }

    iecapt::HardDeadline lastResort(options.maxWaitMs + kShutdownGraceMs, iecapt::kExitTimeLimit);

    // The engine draws the page; pictures are assembled and written in
    // memory. No window system is needed, so none is loaded.
    // Qt reads options from the command line; the page address and file name
    // are no business of its.
    static int qtArgc = 1;
    static char* qtArgv[] = {argv[0], nullptr};
    QCoreApplication app(qtArgc, qtArgv);

    // Both limits count from the program's start.
    const long long started = quendrel::platform::QtEventPump().steadyMilliseconds() - clock.elapsed();
    iecapt::DeadlinePump events(started + options.maxWaitMs);
    int exitCode = iecapt::kExitCaptureFailed;
    try {
        const iecapt::CaptureOutcome outcome =
            iecapt::capturePage(events, address, options.outputPath, started + loadLimitMs(options.maxWaitMs),
                                !options.keepConsentDialogs);
        if (outcome.consent != quendrel::engine::ConsentOutcome::None)
            say(QStringLiteral("consent: ") + quendrel::engine::ConsentWord(outcome.consent));
        if (!outcome.message.isEmpty()) say(outcome.message);
        exitCode = outcome.exitCode;
    } catch (const iecapt::TimeLimitReached&) {
        // The engine has ended with the capture by now.
        say(QStringLiteral("time limit of %1 ms reached, no image written").arg(options.maxWaitMs));
        exitCode = iecapt::kExitTimeLimit;
    }
    return exitCode;
}
