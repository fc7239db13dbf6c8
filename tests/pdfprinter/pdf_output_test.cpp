// Writing a job into its PDF file: complete and in place, or not at all.
#include "pdfprinter/pdf_output.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using marrowby::JobInput;
using marrowby::OutputResult;

// A job as CUPS hands it over: a descriptor to read the document from.
class JobSource {
public:
    explicit JobSource(const QByteArray& bytes) {
        path_ = dir_.filePath("job");
        QFile file(path_);
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
        file.close();
        fd_ = ::open(path_.toLocal8Bit().constData(), O_RDONLY | O_CLOEXEC);
    }
    ~JobSource() { ::close(fd_); }
    int fd() const { return fd_; }

private:
    QTemporaryDir dir_;
    QString path_;
    int fd_ = -1;
};

QByteArray pdfBytes(int size) {
    QByteArray bytes("%PDF-1.4\n%\xe2\xe3\xcf\xd3\n");
    for (int i = 0; bytes.size() < size; ++i) bytes.append(static_cast<char>(i * 7 + 3));
    return bytes;
}

QByteArray contentsOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class PdfOutputTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    std::string at(const QString& name) const { return dir.filePath(name).toStdString(); }
    // A file of the test's own with these contents and permission bits.
    void makeFile(const QString& name, const QByteArray& contents, mode_t mode) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
        file.close();
        ASSERT_EQ(::chmod(at(name).c_str(), mode), 0);
    }
    QStringList entries() const {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                          QDir::Name);
    }

    OutputResult writeTo(const QByteArray& job, const std::string& target) {
        JobSource source(job);
        JobInput input(source.fd());
        const std::string problem = input.readStart();
        if (!problem.empty()) return OutputResult{problem, {}};
        return marrowby::writeJobTo(input, target);
    }
    OutputResult writeInto(const QByteArray& job, const std::string& folder, const std::string& name) {
        JobSource source(job);
        JobInput input(source.fd());
        const std::string problem = input.readStart();
        if (!problem.empty()) return OutputResult{problem, {}};
        return marrowby::writeJobInto(input, folder, name);
    }
};

TEST_F(PdfOutputTest, TheJobIsCopiedByteForByte) {
    const QByteArray job = pdfBytes(1 << 20);
    const OutputResult result = writeTo(job, at("out file.pdf"));
    ASSERT_TRUE(result.ok()) << result.error;
    EXPECT_EQ(result.path, at("out file.pdf"));
    EXPECT_EQ(contentsOf(dir.filePath("out file.pdf")), job);
    EXPECT_EQ(entries(), QStringList{"out file.pdf"});
}

TEST_F(PdfOutputTest, AnExistingFileIsReplacedAndKeepsItsPermissions) {
    makeFile("out.pdf", "old contents, much longer than the new ones will be......................", 0640);

    const QByteArray job = pdfBytes(100);
    const mode_t previous = ::umask(077);  // the kept mode does not depend on it
    const bool ok = writeTo(job, at("out.pdf")).ok();
    ::umask(previous);
    ASSERT_TRUE(ok);
    EXPECT_EQ(contentsOf(dir.filePath("out.pdf")), job);
    struct stat st {};
    ASSERT_EQ(::stat(at("out.pdf").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(entries(), QStringList{"out.pdf"});
}

TEST_F(PdfOutputTest, ANewFileGetsMode0644LessTheUmask) {
    const mode_t previous = ::umask(027);
    const bool ok = writeTo(pdfBytes(100), at("new.pdf")).ok();
    ::umask(previous);
    ASSERT_TRUE(ok);
    struct stat st {};
    ASSERT_EQ(::stat(at("new.pdf").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST_F(PdfOutputTest, ASymbolicLinkAtTheTargetIsReplacedNotFollowed) {
    QTemporaryDir elsewhere;
    const QString victim = elsewhere.filePath("victim");
    QFile file(victim);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("untouched");
    file.close();
    ASSERT_EQ(::symlink(victim.toLocal8Bit().constData(), at("link.pdf").c_str()), 0);

    const QByteArray job = pdfBytes(100);
    ASSERT_TRUE(writeTo(job, at("link.pdf")).ok());
    EXPECT_EQ(contentsOf(victim), QByteArray("untouched"));
    struct stat st {};
    ASSERT_EQ(::lstat(at("link.pdf").c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(contentsOf(dir.filePath("link.pdf")), job);
}

TEST_F(PdfOutputTest, UnusableTargetsWriteNothing) {
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder"));
    const std::string targets[] = {
        "",
        "relative/out.pdf",
        "out.pdf",
        at("missing/out.pdf"),
        at("folder"),
        at("folder/"),
        at("folder/.."),
        at("plain.txt/out.pdf"),
        at("fifo"),
    };
    QFile plain(dir.filePath("plain.txt"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    ASSERT_EQ(::mkfifo(at("fifo").c_str(), 0600), 0);

    for (const std::string& target : targets) {
        const OutputResult result = writeTo(pdfBytes(100), target);
        EXPECT_FALSE(result.ok()) << target;
        EXPECT_FALSE(result.error.empty()) << target;
    }
    EXPECT_EQ(entries(), (QStringList{"fifo", "folder", "plain.txt"}));
    EXPECT_TRUE(QDir(dir.filePath("folder")).isEmpty());
}

TEST_F(PdfOutputTest, OnlyPdfJobsAreWritten) {
    const QByteArray notPdf[] = {QByteArray(), QByteArray("%!PS-Adobe-3.0\n"), QByteArray("hello"),
                                 QByteArray("%PD")};
    for (const QByteArray& job : notPdf) {
        const OutputResult result = writeTo(job, at("out.pdf"));
        EXPECT_FALSE(result.ok()) << job.constData();
    }
    EXPECT_TRUE(entries().isEmpty());
}

TEST_F(PdfOutputTest, IntoAFolderTakenNamesAreNeverReplaced) {
    const QByteArray first = pdfBytes(100);
    const QByteArray second = pdfBytes(200);
    const QByteArray third = pdfBytes(300);
    EXPECT_EQ(writeInto(first, dir.path().toStdString(), "Title.pdf").path, at("Title.pdf"));
    EXPECT_EQ(writeInto(second, dir.path().toStdString(), "Title.pdf").path, at("Title (2).pdf"));
    EXPECT_EQ(writeInto(third, dir.path().toStdString(), "Title.pdf").path, at("Title (3).pdf"));
    EXPECT_EQ(contentsOf(dir.filePath("Title.pdf")), first);
    EXPECT_EQ(contentsOf(dir.filePath("Title (2).pdf")), second);
    EXPECT_EQ(contentsOf(dir.filePath("Title (3).pdf")), third);
    EXPECT_EQ(entries().size(), 3);

    // A link under the name, dangling or not, is neither followed nor replaced.
    makeFile("elsewhere.pdf", "kept", 0644);
    ASSERT_EQ(::symlink(at("elsewhere.pdf").c_str(), at("Linked.pdf").c_str()), 0);
    ASSERT_EQ(::symlink(at("nowhere.pdf").c_str(), at("Dangling.pdf").c_str()), 0);
    EXPECT_EQ(writeInto(first, dir.path().toStdString(), "Linked.pdf").path, at("Linked (2).pdf"));
    EXPECT_EQ(writeInto(first, dir.path().toStdString(), "Dangling.pdf").path, at("Dangling (2).pdf"));
    EXPECT_EQ(contentsOf(dir.filePath("elsewhere.pdf")), QByteArray("kept"));
    EXPECT_FALSE(QFile::exists(dir.filePath("nowhere.pdf")));
}

TEST_F(PdfOutputTest, IntoAMissingFolderWritesNothing) {
    const OutputResult result = writeInto(pdfBytes(100), at("no such folder"), "Title.pdf");
    EXPECT_FALSE(result.ok());
    EXPECT_TRUE(entries().isEmpty());
}

TEST_F(PdfOutputTest, UnwritableFoldersAndReadOnlyFilesAreNotWritten) {
    if (::geteuid() == 0) GTEST_SKIP() << "root may write anywhere; the end-to-end tests cover this as a user";
    ASSERT_TRUE(QDir(dir.path()).mkdir("locked"));
    ASSERT_EQ(::chmod(at("locked").c_str(), 0500), 0);
    EXPECT_FALSE(writeTo(pdfBytes(100), at("locked/out.pdf")).ok());
    EXPECT_FALSE(writeInto(pdfBytes(100), at("locked"), "Title.pdf").ok());
    ::chmod(at("locked").c_str(), 0700);
    EXPECT_TRUE(QDir(dir.filePath("locked")).isEmpty());

    makeFile("read-only.pdf", "kept", 0444);
    EXPECT_FALSE(writeTo(pdfBytes(100), at("read-only.pdf")).ok());
    EXPECT_EQ(contentsOf(dir.filePath("read-only.pdf")), QByteArray("kept"));
}

}  // namespace
