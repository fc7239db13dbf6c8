// The command line of quendrel-batch, its share of a list, and its JSON lines.
#include "batch/batch_front_end.h"
#include "batch/batch_list.h"
#include "batch/batch_options.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace quendrel {
namespace {

TEST(BatchOptions, ReadsWhatScriptsWriteAndRefusesTheRest) {
    struct Case {
        QStringList arguments;
        const char* error;  // a part of the error; "" when the line is good
        int method;         // 0: not given
        QString folder;
        bool skip;
        int shard, shards;
        QString list;
    };
    const QString in = QStringLiteral("-");
    const Case cases[] = {
        {{}, "", 0, {}, false, 0, 1, in},
        {{"--method", "2", "--folder", "/out", "list.txt"}, "", 2, "/out", false, 0, 1, "list.txt"},
        {{"--method=3", "--folder=/o u t", "--skip-existing", "-"}, "", 3, "/o u t", true, 0, 1, in},
        {{"--shard", "2/3", "l"}, "", 0, {}, false, 2, 3, "l"},
        {{"--", "--odd-name.txt"}, "", 0, {}, false, 0, 1, "--odd-name.txt"},
        {{"--method", "4"}, "--method takes 1, 2 or 3", 0, {}, false, 0, 1, in},
        {{"--method"}, "--method takes 1, 2 or 3", 0, {}, false, 0, 1, in},
        {{"--folder="}, "--folder takes a folder", 0, {}, false, 0, 1, in},
        {{"--shard", "3/3"}, "0 <= K < N", 0, {}, false, 0, 1, in},
        {{"--shard", "1/0"}, "0 <= K < N", 0, {}, false, 0, 1, in},
        {{"--shard", "-1/3"}, "K/N", 0, {}, false, 0, 1, in},
        {{"--shard", "1"}, "K/N", 0, {}, false, 0, 1, in},
        {{"--verbose"}, "unknown option --verbose", 0, {}, false, 0, 1, in},
        // An option is named whole: neither a longer word nor a prefix is taken for it.
        {{"--methodology", "2"}, "unknown option --methodology", 0, {}, false, 0, 1, in},
        {{"--meth=2"}, "unknown option --meth", 0, {}, false, 0, 1, in},
        {{"--folders", "/out"}, "unknown option --folders", 0, {}, false, 0, 1, in},
        {{"-m", "2"}, "unknown option -m", 0, {}, false, 0, 1, in},
        {{"--skip-existing=no"}, "--skip-existing takes no value", 0, {}, false, 0, 1, in},
        {{"a.txt", "b.txt"}, "only one list file", 0, {}, false, 0, 1, in},
    };
    for (const Case& c : cases) {
        const ParsedBatchOptions parsed = ParseBatchOptions(c.arguments);
        const std::string line = c.arguments.join(' ').toStdString();
        if (*c.error) {
            EXPECT_TRUE(parsed.error.contains(QString::fromUtf8(c.error))) << line << ": " << parsed.error.toStdString();
            continue;
        }
        EXPECT_EQ(parsed.error, QString()) << line;
        EXPECT_EQ(parsed.options.method.value_or(0), c.method) << line;
        EXPECT_EQ(parsed.options.folder.value_or(QString()), c.folder) << line;
        EXPECT_EQ(parsed.options.skipExisting, c.skip) << line;
        EXPECT_EQ(parsed.options.shard, c.shard) << line;
        EXPECT_EQ(parsed.options.shards, c.shards) << line;
        EXPECT_EQ(parsed.options.listFile, c.list) << line;
    }
}

TEST(BatchOptions, AListIsAFileOrAPipeWithinItsBounds) {
    QTemporaryDir dir;
    const auto file = [&](const char* name, const QByteArray& text) {
        QFile f(dir.filePath(QString::fromLatin1(name)));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly) && f.write(text) == text.size());
        return f.fileName();
    };
    const QByteArray longest(kListLineBytes, 'a');
    struct Case {
        QString list;
        const char* error;  // a part of the error; "" when the list is read
        qsizetype entries;
    } cases[] = {
        {file("ok.txt", "http://a/\n\nhttp://b/\r\n" + longest), "", 3},
        {file("long.txt", "http://a/\n" + longest + "a\nhttp://b/\n"), "a line is longer than 64 KiB", 0},
        {file("many.txt", QByteArray("x\n").repeated(kListEntries + 1)), "more than 1000000 entries", 0},
        {QStringLiteral("/dev/zero"), "it is not a file or a pipe", 0},
        {dir.path(), "it is not a file or a pipe", 0},
        {dir.filePath(QStringLiteral("missing.txt")), "cannot be read", 0},
    };
    for (const Case& c : cases) {
        const BatchList list = ReadBatchList(c.list);
        EXPECT_TRUE(list.error.contains(QString::fromUtf8(c.error))) << c.list.toStdString() << ": " << list.error.toStdString();
        EXPECT_EQ(list.error.isEmpty(), !*c.error) << c.list.toStdString();
        EXPECT_EQ(list.entries.size(), c.entries) << c.list.toStdString();
    }
}

TEST(BatchOptions, TheShardsOfAListTakeEveryEntryExactlyOnce) {
    QStringList entries;
    for (int i = 0; i < 10; ++i) entries << QStringLiteral("http://e/%1").arg(i);
    for (int shards = 1; shards <= 12; ++shards) {
        QStringList all;
        for (int shard = 0; shard < shards; ++shard) all += ShardOf(entries, shard, shards);
        EXPECT_EQ(all.size(), entries.size()) << shards;
        EXPECT_EQ(QSet<QString>(all.begin(), all.end()).size(), entries.size()) << shards;
    }
    EXPECT_EQ(ShardOf(entries, 1, 4), (QStringList{"http://e/1", "http://e/5", "http://e/9"}));
}

TEST(BatchOptions, AnEntrysJsonLineIsOneValidObjectWithItsKeysInOrder) {
    const EntryOutcome outcome{QStringLiteral("http://e/\"q\"\\\n\u00fc"), QStringLiteral("/out/e \"q\".pdf"),
                               EntryOutcome::Status::Failed, QStringLiteral("the server answered 404 Not Found"),
                               1.23456, engine::ConsentOutcome::Rejected};
    const QByteArray line = EntryJsonLine(outcome);
    ASSERT_TRUE(line.endsWith('\n'));
    EXPECT_EQ(line.count('\n'), 1);
    EXPECT_TRUE(line.startsWith("{\"address\":")) << line.toStdString();
    EXPECT_LT(line.indexOf("\"pdf\""), line.indexOf("\"status\""));
    EXPECT_LT(line.indexOf("\"status\""), line.indexOf("\"reason\""));
    EXPECT_LT(line.indexOf("\"reason\""), line.indexOf("\"seconds\""));
    QJsonParseError error;
    const QJsonObject object = QJsonDocument::fromJson(line, &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << line.toStdString();
    EXPECT_EQ(object.value("address").toString(), outcome.address);
    EXPECT_EQ(object.value("pdf").toString(), outcome.pdfPath);
    EXPECT_EQ(object.value("status").toString(), QStringLiteral("failed"));
    EXPECT_EQ(object.value("reason").toString(), outcome.reason);
    EXPECT_DOUBLE_EQ(object.value("seconds").toDouble(), 1.235);
    EXPECT_EQ(object.value("consent").toString(), QStringLiteral("rejected"));
}

}  // namespace
}  // namespace quendrel
