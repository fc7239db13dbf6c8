#pragma once
// The list of a command-line run and the share of it one machine takes.
#include <QString>
#include <QStringList>
#include <optional>

namespace quendrel {

// The entries of the list file ("-": standard input), cut by the line rules
// of the window's list import; empty entries, which name no page, are left
// out. Nothing when it cannot be read.
std::optional<QStringList> ReadBatchList(const QString& listFile);

// The entries whose position in the list, counted from 0, is `shard` modulo
// `shards`, in list order.
QStringList ShardOf(const QStringList& entries, int shard, int shards);

}  // namespace quendrel
