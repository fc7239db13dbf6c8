#include "saverun/look_ahead_queue.h"

#include <gtest/gtest.h>

namespace quendrel {
namespace {

// Work that notes its start and its release in one shared log.
class LoggedWork : public AheadWork {
public:
    LoggedWork(QStringList& log, QString name) : log_(log), name_(std::move(name)) { log_ << "start " + name_; }
    ~LoggedWork() override { log_ << "end " + name_; }
    QString name() const { return name_; }

private:
    QStringList& log_;
    QString name_;
};

QList<AheadEntry> entries(const QString& words) {
    QList<AheadEntry> list;
    for (const QString& word : words.split(' ', Qt::SkipEmptyParts))
        list.push_back({word.section(':', 0, 0), word.section(':', 1).toInt()});
    return list;
}

TEST(LookAheadQueueTest, KeepsMatchingWorkInOrderAndReleasesTheRestFirst) {
    struct Case {
        const char* name;
        QString before, coming;
        QStringList log;  // after the queue held `before`
        size_t size;
    };
    const Case cases[] = {
        {"next entry joins", "a:2 b:2", "a:2 b:2 c:2", {"start c:2"}, 3},
        {"taken one gone", "b:2 c:2", "c:2 d:2", {"end b:2", "start d:2"}, 2},
        {"method changed", "a:2 b:2", "a:3 b:3", {"end a:2", "end b:2", "start a:3", "start b:3"}, 2},
        {"no method prepares nothing", "a:2", "a:0 b:0", {"end a:2"}, 0},
        {"end of run", "a:1 b:1", "", {"end a:1", "end b:1"}, 0},
        {"same address twice", "a:2 a:2", "a:2 a:2 a:2", {"start a:2"}, 3},
        {"order changed", "a:2 b:2 c:2", "c:2 a:2", {"end a:2", "end b:2", "start a:2"}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QStringList log;
        const auto start = [&](const AheadEntry& entry) -> std::unique_ptr<AheadWork> {
            if (entry.method == 0) return nullptr;
            return std::make_unique<LoggedWork>(log, entry.address + ":" + QString::number(entry.method));
        };
        LookAheadQueue queue;
        queue.Plan(entries(c.before), start);
        log.clear();
        queue.Plan(entries(c.coming), start);
        EXPECT_EQ(log, c.log);
        EXPECT_EQ(queue.size(), c.size);
    }
}

TEST(LookAheadQueueTest, GivesOnlyTheFirstEntrysWorkToItsOwnCall) {
    QStringList log;
    LookAheadQueue queue;
    queue.Plan(entries("a:2 b:2"), [&](const AheadEntry& entry) {
        return std::make_unique<LoggedWork>(log, entry.address);
    });
    EXPECT_EQ(queue.Take({"b", 2}), nullptr) << "work for a later entry stays for it";
    EXPECT_EQ(queue.Take({"a", 3}), nullptr) << "work of another method serves no one";
    std::unique_ptr<AheadWork> work = queue.Take({"a", 2});
    ASSERT_NE(work, nullptr);
    EXPECT_EQ(static_cast<LoggedWork&>(*work).name(), "a");
    EXPECT_EQ(queue.size(), 1u);
    work.reset();
    queue.Clear();
    EXPECT_EQ(log, QStringList({"start a", "start b", "end a", "end b"}));
}

TEST(LookAheadQueueTest, CapturesBeyondTheLimitAreNotPrepared) {
    const struct {
        const char* coming;
        const char* kept;
    } cases[] = {
        {"a:1 b:1 c:1 d:1", "a:1 b:1"},
        {"a:2 b:1 c:3 d:1 e:1", "a:2 b:1 c:3 d:1"},
        {"a:2 b:3", "a:2 b:3"},
        {"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.coming);
        EXPECT_EQ(WithinCaptureLimit(entries(QString::fromLatin1(c.coming)), 2), entries(QString::fromLatin1(c.kept)));
    }
}

}  // namespace
}  // namespace quendrel
