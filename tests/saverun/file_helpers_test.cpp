// Writing page files byte for byte and removing temporary files without fuss.
#include "saverun/file_helpers.h"

#include "platform/failure.h"
#include "support/fake_platform.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace quendrel {
namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

TEST(WriteTextFile, CreatesThenReplacesWithExactlyTheBytesGiven) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("www.example.com.htm"));
    const QByteArray latin1("<meta charset=\"iso-8859-1\">Caf\xe9 \x80\r\nno newline at end", 51);
    WriteTextFile(latin1, path);
    EXPECT_EQ(readAll(path), latin1);

    WriteTextFile("short", path);
    EXPECT_EQ(readAll(path), QByteArray("short"));
}

TEST(WriteTextFile, FailsForAMissingFolderOrANameThatIsAFolder) {
    QTemporaryDir dir;
    EXPECT_THROW(WriteTextFile("x", dir.filePath(QStringLiteral("no/such/folder/a.htm"))), Failure);
    EXPECT_THROW(WriteTextFile("x", dir.path()), Failure);
    EXPECT_THROW(WriteTextFile("x", QString()), Failure);
}

TEST(DeleteFileQuietly, RemovesWritableAndReadOnlyFilesAfterHandlingEvents) {
    QTemporaryDir dir;
    testing::FakeEventPump events;
    for (QFileDevice::Permissions permissions :
         {QFileDevice::ReadOwner | QFileDevice::WriteOwner, QFileDevice::Permissions(QFileDevice::ReadOwner),
          QFileDevice::Permissions()}) {
        const QString path = dir.filePath(QStringLiteral("page.htm"));
        WriteTextFile("<html></html>", path);
        ASSERT_TRUE(QFile::setPermissions(path, permissions));
        const int before = events.processed;
        DeleteFileQuietly(events, path);
        EXPECT_FALSE(QFileInfo::exists(path)) << "permissions " << int(permissions);
        EXPECT_EQ(events.processed, before + 1);
    }
}

TEST(DeleteFileQuietly, IsSilentWhenThereIsNothingToDelete) {
    QTemporaryDir dir;
    testing::FakeEventPump events;
    EXPECT_NO_THROW(DeleteFileQuietly(events, dir.filePath(QStringLiteral("missing.jpg"))));
    EXPECT_NO_THROW(DeleteFileQuietly(events, QString()));
    EXPECT_NO_THROW(DeleteFileQuietly(events, dir.path()));
    EXPECT_TRUE(QFileInfo(dir.path()).isDir()) << "a folder is not a file to delete";
    EXPECT_EQ(events.processed, 3);
}

}  // namespace
}  // namespace quendrel
