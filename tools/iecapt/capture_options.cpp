#include "capture_options.h"

#include "engine/devtools_relay.h"

#include <QtGlobal>
#include <fcntl.h>
#include <sys/stat.h>

namespace iecapt {

namespace {

struct OptionValue {
    bool seen = false;
    QString value;
};

}  // namespace

QString usageText() {
    return QStringLiteral(
        "Usage: iecapt --url=ADDRESS --out=FILE.jpg [--max-wait=MILLISECONDS] [--keep-consent-dialogs]\n"
        "Renders the whole page at ADDRESS offscreen and writes it as a JPEG image.\n"
        "  --url=ADDRESS        the page to capture (a bare host name or file path is accepted)\n"
        "  --out=FILE           the JPEG to write; written only when the capture worked\n"
        "  --max-wait=MS        give up after MS milliseconds (default %1, at most %2)\n"
        "  --keep-consent-dialogs  leave cookie and consent dialogs in the picture; by default\n"
        "                       they are refused (never accepted) or removed, and a line\n"
        "                       \"iecapt: consent: rejected\" or \"...: removed\" says so\n"
        "Exit status: 0 written, 1 the capture failed, 2 bad command line, 3 time limit reached.\n")
        .arg(kDefaultMaxWaitMs)
        .arg(kLongestMaxWaitMs);
}

ParsedOptions parseCaptureOptions(const QStringList& arguments) {
    ParsedOptions parsed;
    OptionValue url;
    OptionValue out;
    OptionValue maxWait;
    auto fail = [&parsed](const QString& error) {
        parsed.error = error;
        return parsed;
    };

    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            parsed.options.helpAsked = true;
            continue;
        }
        if (argument == QLatin1String("--keep-consent-dialogs")) {
            parsed.options.keepConsentDialogs = true;
            continue;
        }
        if (!argument.startsWith(QLatin1String("--")))
            return fail(QStringLiteral("unexpected argument \"%1\"").arg(argument));
        const qsizetype equals = argument.indexOf(QLatin1Char('='));
        const QString name = argument.mid(2, equals < 0 ? -1 : equals - 2);
        OptionValue* target = nullptr;
        if (name == QLatin1String("url"))
            target = &url;
        else if (name == QLatin1String("out"))
            target = &out;
        else if (name == QLatin1String("max-wait"))
            target = &maxWait;
        else
            return fail(QStringLiteral("unknown option \"%1\"").arg(argument));
        // A second --url or --out is refused rather than one silently winning.
        if (target->seen) return fail(QStringLiteral("--%1 is given twice").arg(name));
        target->seen = true;
        if (equals >= 0) {
            target->value = argument.mid(equals + 1);
        } else {
            if (i + 1 >= arguments.size()) return fail(QStringLiteral("--%1 needs a value").arg(name));
            target->value = arguments[++i];
        }
    }
    if (parsed.options.helpAsked) return parsed;

    if (!url.seen || url.value.isEmpty()) return fail(QStringLiteral("no address given (--url=)"));
    if (!out.seen || out.value.isEmpty()) return fail(QStringLiteral("no output file given (--out=)"));
    parsed.options.address = url.value;
    parsed.options.outputPath = out.value;
    if (maxWait.seen) {
        bool ok = false;
        const int ms = maxWait.value.toInt(&ok);
        if (!ok || ms < 1 || ms > kLongestMaxWaitMs)
            return fail(QStringLiteral("--max-wait must be a number of milliseconds from 1 to %1")
                            .arg(kLongestMaxWaitMs));
        parsed.options.maxWaitMs = ms;
    }
    return parsed;
}

quendrel::engine::ChromiumOptions CaptureEngineOptions() {
    quendrel::engine::ChromiumOptions options;
    bool number = false;
    const int lent = qEnvironmentVariableIntValue(quendrel::engine::kHandedEngineVariable, &number);
    qunsetenv(quendrel::engine::kHandedEngineVariable);
    struct stat info {};
    if (!number || lent < 3 || ::fstat(lent, &info) != 0 || !S_ISSOCK(info.st_mode)) return options;
    ::fcntl(lent, F_SETFD, FD_CLOEXEC);
    options.lentEngine = lent;
    return options;
}

}  // namespace iecapt
