#pragma once
// The command line of quendrel-batch:
//   quendrel-batch [--method 1|2|3] [--folder DIR] [--skip-existing] [--keep-consent-dialogs] [--shard K/N] [LIST-FILE | -]
#include <QString>
#include <QStringList>
#include <optional>

namespace quendrel {

struct BatchOptions {
    std::optional<int> method;      // 1, 2 or 3; the window's saved one when not given
    std::optional<QString> folder;  // the window's saved one when not given
    bool skipExisting = false;
    bool keepConsentDialogs = false;  // consent dialogs printed as shown
    int shard = 0;                  // this machine's K of --shard K/N
    int shards = 1;                 // N
    QString listFile = QStringLiteral("-");  // "-": standard input
    bool help = false;
};

struct ParsedBatchOptions {
    BatchOptions options;
    QString error;  // what is wrong with the command line; empty when nothing
};

// Reads the arguments after the program's name.
ParsedBatchOptions ParseBatchOptions(const QStringList& arguments);

// The text of --help.
QString BatchUsage();

}  // namespace quendrel
