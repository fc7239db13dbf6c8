#include "batch_list.h"

#include "platform/failure.h"
#include "sitelist/list_text_reader.h"

#include <QFile>
#include <cstdio>

namespace quendrel {
namespace {

class CollectingSink : public LineSplitter::Sink {
public:
    QStringList entries;
    void yield() override {}
    void entry(const QString& text) override {
        if (!text.isEmpty()) entries << text;
    }
};

}  // namespace

std::optional<QStringList> ReadBatchList(const QString& listFile) {
    QFile file;
    const bool opened = listFile == QLatin1String("-") ? file.open(stdin, QIODevice::ReadOnly)
                                                       : (file.setFileName(listFile), file.open(QIODevice::ReadOnly));
    if (!opened) return std::nullopt;
    CollectingSink sink;
    try {
        ReadListText(file, sink);
    } catch (const Failure&) {
        return std::nullopt;  // a folder, or a file that fails on reading
    }
    return sink.entries;
}

QStringList ShardOf(const QStringList& entries, int shard, int shards) {
    QStringList mine;
    for (int position = shard; position < entries.size(); position += shards) mine << entries[position];
    return mine;
}

}  // namespace quendrel
