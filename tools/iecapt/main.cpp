// iecapt: renders one web page offscreen with Qt WebEngine and writes the
// whole page as a JPEG image. Quendrel runs it beside itself for its picture
// method; it bounds its own run time and writes the image only when the
// capture worked.
#include "capture_options.h"
#include "hard_deadline.h"
#include "jpeg_output.h"
#include "page_capture.h"
#include "platform/page_settle.h"
#include "platform/web_engine_setup.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLoggingCategory>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <chrono>
#include <cstdio>

namespace {

// Time to wind the engine down after the limit before the process is ended outright.
constexpr int kShutdownGraceMs = 2000;
// What the time limit keeps back from the load for the settle and the capture,
// so a page that never finishes loading is still captured.
constexpr int kSettleAndCaptureMs = quendrel::platform::kPageSettleLimitMs + 15000;

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

    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Offscreen there is no OpenGL: the view draws with Qt Quick's software
    // renderer either way, and saying so up front spares the engine's warning.
    if (qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND")) qputenv("QT_QUICK_BACKEND", "software");
    // The engine's report of its graphics set-up is not for our callers;
    // QT_LOGGING_RULES can still turn it on.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.info=false"));
    quendrel::platform::prepareWebEngineEnvironment();
    // Qt and the engine read options from the command line; the page address
    // and file name are no business of theirs.
    static int qtArgc = 1;
    static char* qtArgv[] = {argv[0], nullptr};
    QApplication app(qtArgc, qtArgv);

    int exitCode = iecapt::kExitCaptureFailed;
    {
        iecapt::PageCapture capture(address, options.outputPath, loadLimitMs(options.maxWaitMs));
        QObject::connect(&capture, &iecapt::PageCapture::finished, &app,
                         [&app](int code, const QString& message) {
                             if (!message.isEmpty()) say(message);
                             app.exit(code);
                         });
        const qint64 left = std::max<qint64>(0, options.maxWaitMs - clock.elapsed());
        QTimer::singleShot(std::chrono::milliseconds(left), &capture, [&capture, &options] {
            capture.abandon(QStringLiteral("time limit of %1 ms reached, no image written")
                                .arg(options.maxWaitMs),
                            iecapt::kExitTimeLimit);
        });
        capture.start();
        exitCode = app.exec();
    }
    return exitCode;
}
