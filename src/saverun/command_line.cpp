#include "command_line.h"

#include "platform/failure.h"

namespace quendrel {

namespace {

bool isBlank(QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); }

const QChar kQuote = QLatin1Char('"');
const QChar kBackslash = QLatin1Char('\\');

}  // namespace

QStringList SplitWindowsCommandLine(const QString& commandLine) {
    QStringList arguments;
    const qsizetype length = commandLine.size();
    qsizetype i = 0;
    while (i < length && isBlank(commandLine[i])) ++i;
    if (i >= length) return arguments;

    // The program name knows no escapes: a path like C:\dir\ must survive as written.
    QString program;
    if (commandLine[i] == kQuote) {
        ++i;
        while (i < length && commandLine[i] != kQuote) program += commandLine[i++];
        if (i < length) ++i;
    } else {
        while (i < length && !isBlank(commandLine[i])) program += commandLine[i++];
    }
    arguments << program;

    for (;;) {
        while (i < length && isBlank(commandLine[i])) ++i;
        if (i >= length) break;
        QString argument;
        bool quoted = false;
        while (i < length) {
            const QChar c = commandLine[i];
            if (c == kBackslash) {
                const qsizetype first = i;
                while (i < length && commandLine[i] == kBackslash) ++i;
                const qsizetype count = i - first;
                if (i < length && commandLine[i] == kQuote) {
                    argument += QString(count / 2, kBackslash);
                    if (count % 2 == 1) {
                        argument += kQuote;
                        ++i;
                    }
                    // With an even count the quote is left for the next round,
                    // where it opens or closes a quoted part.
                } else {
                    argument += QString(count, kBackslash);
                }
                continue;
            }
            if (c == kQuote) {
                if (quoted && i + 1 < length && commandLine[i + 1] == kQuote) {
                    argument += kQuote;
                    i += 2;
                    continue;
                }
                quoted = !quoted;
                ++i;
                continue;
            }
            if (!quoted && isBlank(c)) break;
            argument += c;
            ++i;
        }
        arguments << argument;
    }
    return arguments;
}

QString QuoteWindowsArgument(const QString& argument) {
    QString quoted(kQuote);
    qsizetype backslashes = 0;
    for (const QChar c : argument) {
        if (c == kBackslash) {
            ++backslashes;
            continue;
        }
        if (c == kQuote) {
            // Backslashes before a quote are escapes: double them, then escape the quote.
            quoted += QString(backslashes * 2 + 1, kBackslash);
            quoted += kQuote;
        } else {
            quoted += QString(backslashes, kBackslash);
            quoted += c;
        }
        backslashes = 0;
    }
    // The closing quote follows them, so trailing backslashes are doubled too.
    quoted += QString(backslashes * 2, kBackslash);
    quoted += kQuote;
    return quoted;
}

QString CaptureCommandLine(const QString& programFolder, const QString& address,
                           const QString& capturePath) {
    if (programFolder.contains(kQuote))
        throw Failure(QStringLiteral("The capture program cannot be started from the folder %1: "
                                     "its name holds a double quote")
                          .arg(programFolder));
    QString folder = programFolder;
    while (folder.endsWith(QLatin1Char('/'))) folder.chop(1);
    return kQuote + folder + QStringLiteral("/iecapt") + kQuote +
           QStringLiteral(" --url=") + QuoteWindowsArgument(address) +
           QStringLiteral(" --out=") + QuoteWindowsArgument(capturePath);
}

}  // namespace quendrel
