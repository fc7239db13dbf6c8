#include "batch_options.h"

#include <QRegularExpression>

namespace quendrel {
namespace {

// The option an argument names: "--method" of "--method" and "--method=2".
QString NameOf(const QString& argument) { return argument.section(QLatin1Char('='), 0, 0); }

// "--name value" or "--name=value": the value, and how many arguments it took.
std::optional<QString> valueOf(const QStringList& arguments, int& at) {
    const QString& argument = arguments[at];
    if (const qsizetype equals = argument.indexOf(QLatin1Char('=')); equals >= 0) return argument.mid(equals + 1);
    if (at + 1 >= arguments.size()) return std::nullopt;
    return arguments[++at];
}

}  // namespace

ParsedBatchOptions ParseBatchOptions(const QStringList& arguments) {
    ParsedBatchOptions parsed;
    BatchOptions& options = parsed.options;
    auto fail = [&](const QString& error) {
        parsed.error = error;
        return parsed;
    };
    bool listGiven = false;
    bool optionsEnded = false;
    for (int at = 0; at < arguments.size(); ++at) {
        const QString& argument = arguments[at];
        // Any other word that begins with a dash is an option ("-" alone is
        // standard input); each is named whole, never by a prefix.
        const bool isOption = !optionsEnded && argument.size() > 1 && argument.startsWith(QLatin1Char('-'));
        const QString name = isOption ? NameOf(argument) : QString();
        const bool takesNoValue = !argument.contains(QLatin1Char('='));
        if (isOption && argument == QLatin1String("--")) {
            optionsEnded = true;
        } else if (name == QLatin1String("--help") && takesNoValue) {
            options.help = true;
        } else if (name == QLatin1String("--skip-existing") && takesNoValue) {
            options.skipExisting = true;
        } else if (name == QLatin1String("--keep-consent-dialogs") && takesNoValue) {
            options.keepConsentDialogs = true;
        } else if (name == QLatin1String("--method")) {
            const std::optional<QString> value = valueOf(arguments, at);
            if (!value || (*value != QLatin1String("1") && *value != QLatin1String("2") && *value != QLatin1String("3")))
                return fail(QStringLiteral("--method takes 1, 2 or 3"));
            options.method = value->toInt();
        } else if (name == QLatin1String("--folder")) {
            const std::optional<QString> value = valueOf(arguments, at);
            if (!value || value->isEmpty()) return fail(QStringLiteral("--folder takes a folder"));
            options.folder = *value;
        } else if (name == QLatin1String("--shard")) {
            const std::optional<QString> value = valueOf(arguments, at);
            const QRegularExpressionMatch match =
                QRegularExpression(QStringLiteral("^(\\d{1,9})/(\\d{1,9})$")).match(value.value_or(QString()));
            if (!match.hasMatch()) return fail(QStringLiteral("--shard takes K/N, for example 0/3"));
            options.shard = match.captured(1).toInt();
            options.shards = match.captured(2).toInt();
            if (options.shards < 1 || options.shard >= options.shards)
                return fail(QStringLiteral("--shard K/N needs 0 <= K < N"));
        } else if (isOption && (name == QLatin1String("--help") || name == QLatin1String("--skip-existing"))) {
            return fail(QStringLiteral("%1 takes no value").arg(name));
        } else if (isOption) {
            return fail(QStringLiteral("unknown option %1").arg(name));
        } else if (listGiven) {
            return fail(QStringLiteral("only one list file can be given"));
        } else {
            options.listFile = argument;
            listGiven = true;
        }
    }
    return parsed;
}

QString BatchUsage() {
    return QStringLiteral(
        "Usage: quendrel-batch [--method 1|2|3] [--folder DIR] [--skip-existing] [--keep-consent-dialogs]\n"
        "                      [--shard K/N] [LIST-FILE | -]\n"
        "\n"
        "Saves every web address of the list as a PDF file in the folder, through the\n"
        "\"Marrowby PDF Writer\" printer, as Quendrel's window does, without a window.\n"
        "The list is read from LIST-FILE, or from standard input when it is - or missing:\n"
        "one address per line, as the window's list import reads it; empty lines are left out.\n"
        "LIST-FILE is a file or a pipe. A list with a line longer than 64 KiB, longer than\n"
        "64 MiB or with more than 1,000,000 entries is refused before anything starts.\n"
        "\n"
        "  --method 1|2|3   1: picture of the page, 2: the live page, 3: a downloaded copy\n"
        "                   (default: the method last chosen in the window)\n"
        "  --folder DIR     where the PDF files go; it must exist and be writable (default:\n"
        "                   the window's folder, or the current directory when that is gone)\n"
        "  --skip-existing  leave out entries whose PDF is already in the folder\n"
        "  --keep-consent-dialogs  print cookie and consent dialogs as the page shows them;\n"
        "                   by default a consent platform's dialog is refused with its own\n"
        "                   reject control (never accepted) or removed, as are sites' own walls\n"
        "  --shard K/N      only the entries whose position in the list, counted from 0,\n"
        "                   is K modulo N: the same list on N machines writes every PDF once\n"
        "  --help           this text\n"
        "\n"
        "Standard output: one JSON line per entry as it ends, with the keys address, pdf,\n"
        "status (written, failed or skipped), reason, seconds and consent (rejected,\n"
        "removed or none: what was done with the page's consent dialogs). Standard error: progress.\n"
        "Exit status: 0 every entry written or skipped, 1 some failed, 2 a bad command line\n"
        "or nothing could start, 130 or 143 when stopped by SIGINT or SIGTERM.\n"
        "The user's default printer is never changed.\n");
}

}  // namespace quendrel
