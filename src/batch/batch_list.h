#pragma once
// The list of a command-line run and the share of it one machine takes.
#include <QString>
#include <QStringList>

namespace quendrel {

// The bounds of a list: a longer line, a longer text or more entries, and
// the list is refused whole before anything starts. Memory stays near the
// list's own size: a refused list is read at most a block past its bound.
inline constexpr qint64 kListLineBytes = 64 * 1024;
inline constexpr qint64 kListBytes = 64LL * 1024 * 1024;
inline constexpr qsizetype kListEntries = 1'000'000;

struct BatchList {
    QStringList entries;
    QString error;  // why the list is refused, in one line; empty when it was read
};

// The entries of the list file ("-": standard input), cut by the line rules
// of the window's list import; empty entries, which name no page, are left
// out. A regular file or a pipe is read (and standard input also when it is
// a terminal or a socket); anything else, a device or a folder, is refused
// without reading it, as is a list past a bound.
BatchList ReadBatchList(const QString& listFile);

// The entries whose position in the list, counted from 0, is `shard` modulo
// `shards`, in list order.
QStringList ShardOf(const QStringList& entries, int shard, int shards);

}  // namespace quendrel
