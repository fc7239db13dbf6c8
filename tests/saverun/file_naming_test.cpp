#include "saverun/file_naming.h"
#include "support/qstring_printer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace quendrel {
namespace {

struct NamingCase {
    const char* address;
    const char* capture;
    const char* pdfName;
};

// Addresses, their capture file names and their PDF names.
const NamingCase kTable[] = {
    {"http://site.example/", "site.example_.jpg", "site.example_.pdf"},
    {"http://site.example", "site.example.jpg", "site.example.pdf"},
    {"site.example/docs/page.html", "site.example_docs_page.html.jpg", "site.example_docs_page.html.pdf"},
    {"http://site.example/a?b=1", "site.example_a b=1.jpg", "site.example_a b=1.pdf"},
    {"https://site.example/", "https __site.example_.jpg", "https __site.example_.pdf"},
    {"HTTP://site.example", "HTTP __site.example.jpg", "HTTP __site.example.pdf"},
    {"http://a.example/x?u=http://b.example", "a.example_x u=b.example.jpg", "a.example_x u=b.example.pdf"},
    {"http://", ".jpg", ".pdf"},
    {"a\\b*c:d?e<f>g|h\"i", "a b c d e f g h\"i.jpg", "a b c d e f g h\"i.pdf"},
    {"  two  blanks ", "  two  blanks .jpg", "  two  blanks .pdf"},
};

// The same folder texts with either separator: the program's own '/' and '\'.
QString twin(const char* text, QChar separator) {
    return QString::fromUtf8(text).replace(QLatin1Char('\\'), separator);
}

class NamingWithSeparator : public ::testing::TestWithParam<char> {
protected:
    QChar sep() const { return QLatin1Char(GetParam()); }
    QString pdfPath(const QString& folder, const QString& address) {
        const QString capture = JoinPath(folder, CaptureName(address, QStringLiteral(".jpg")), sep());
        return JoinPath(folder, PdfNameFromPath(capture, sep()), sep());
    }
};

TEST_P(NamingWithSeparator, TableGivesCaptureAndPdfPaths) {
    const QString folder = twin("C:\\Out\\", sep());
    for (const NamingCase& c : kTable) {
        SCOPED_TRACE(c.address);
        const QString address = QString::fromUtf8(c.address);
        EXPECT_EQ(CaptureName(address, QStringLiteral(".jpg")), QString::fromUtf8(c.capture));
        EXPECT_EQ(pdfPath(folder, address), folder + QString::fromUtf8(c.pdfName));
    }
}

TEST_P(NamingWithSeparator, FolderFormsGiveTheSamePaths) {
    const QString address = QStringLiteral("http://site.example/");
    struct Case { const char* folder; const char* pdf; };
    for (const Case& c : {Case{"C:\\Out\\", "C:\\Out\\site.example_.pdf"},
                          Case{"C:\\Out", "C:\\Out\\site.example_.pdf"},
                          Case{"C:\\", "C:\\site.example_.pdf"},
                          Case{"\\\\server\\share\\", "\\\\server\\share\\site.example_.pdf"},
                          Case{"\\\\\\\\server\\share", "\\\\server\\share\\site.example_.pdf"}}) {
        SCOPED_TRACE(c.folder);
        EXPECT_EQ(pdfPath(twin(c.folder, sep()), address), twin(c.pdf, sep()));
    }
    EXPECT_EQ(JoinPath(twin("C:\\Out\\", sep()), QStringLiteral("site.example_.htm"), sep()),
              twin("C:\\Out\\site.example_.htm", sep()));
}

TEST_P(NamingWithSeparator, CollapseFoldsPairsOnceAndKeepsNetworkPrefix) {
    struct Case { const char* in; const char* out; };
    for (const Case& c : {Case{"a\\\\b", "a\\b"}, Case{"a\\\\\\b", "a\\\\b"},
                          Case{"a\\\\\\\\b", "a\\\\b"}, Case{"\\\\\\x\\\\y", "\\\\x\\y"},
                          Case{"\\\\\\\\", "\\\\"}, Case{"\\x\\\\y", "\\x\\y"}, Case{"", ""}}) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(CollapseBackslashes(twin(c.in, sep()), sep()), twin(c.out, sep()));
    }
}

INSTANTIATE_TEST_SUITE_P(BothSeparators, NamingWithSeparator, ::testing::Values('\\', '/'));

TEST(Naming, LinuxFoldersJoinCleanly) {
    EXPECT_EQ(JoinPath(QStringLiteral("/home/u/Desktop/"), QStringLiteral("x.pdf")),
              QStringLiteral("/home/u/Desktop/x.pdf"));
    EXPECT_EQ(JoinPath(QStringLiteral("/home/u/out"), QStringLiteral("x.pdf")),
              QStringLiteral("/home/u/out/x.pdf"));
    EXPECT_EQ(JoinPath(QStringLiteral("/"), QStringLiteral("x.pdf")), QStringLiteral("/x.pdf"));
}

TEST(Naming, SameCleanedAddressesShareTheirFiles) {
    EXPECT_EQ(CaptureName(QStringLiteral("site.example/a"), QStringLiteral(".jpg")),
              CaptureName(QStringLiteral("site.example_a"), QStringLiteral(".jpg")));
}

TEST(Naming, PdfNameKeepsInnerDots) {
    EXPECT_EQ(PdfNameFromPath(QStringLiteral("/o/a.b.c.htm")), QStringLiteral("a.b.c.pdf"));
    EXPECT_EQ(PdfNameFromPath(QStringLiteral("C:\\o\\a.b.jpg"), QLatin1Char('\\')), QStringLiteral("a.b.pdf"));
}

// A PDF written in the run numbers the names that lead to it, however the
// folder is written; other names and other folders stay as they are.
TEST(Naming, WrittenPdfsNumberTheNamesThatLeadToThem) {
    QTemporaryDir out;
    const QString folder = out.path();
    ASSERT_TRUE(QDir().mkpath(folder + "/other"));
    ASSERT_TRUE(QFile::link(folder, folder + "/other/link"));
    WrittenPdfs written;
    written.Add(folder + "/x.pdf");
    written.Add(folder + "/x (2).pdf");
    written.Add(folder + "/a.b.pdf");
    struct Case { QString path; QString unused; };
    const Case cases[] = {
        {folder + "/x.jpg", folder + "/x (3).jpg"},
        {folder + "/x.htm", folder + "/x (3).htm"},
        {folder + "/x.pdf", folder + "/x (3).pdf"},
        {folder + "/./x.jpg", folder + "/./x (3).jpg"},
        {folder + "/other/link/x.jpg", folder + "/other/link/x (3).jpg"},
        {folder + "/a.b.jpg", folder + "/a.b (2).jpg"},
        {folder + "/x (2).jpg", folder + "/x (2) (2).jpg"},
        {folder + "/X.jpg", folder + "/X.jpg"},
        {folder + "/y.jpg", folder + "/y.jpg"},
        {folder + "/other/x.jpg", folder + "/other/x.jpg"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        EXPECT_EQ(written.Unused(c.path), c.unused);
    }
    written.Clear();
    EXPECT_EQ(written.Unused(folder + "/x.jpg"), folder + "/x.jpg");
}

TEST(Naming, DisplayNameIsTheTextAfterTheLastBackslash) {
    EXPECT_EQ(DisplayNameOf(QStringLiteral("http://site.example/a/b")), QStringLiteral("http://site.example/a/b"));
    EXPECT_EQ(DisplayNameOf(QStringLiteral("C:\\lists\\sites.txt")), QStringLiteral("sites.txt"));
    EXPECT_EQ(DisplayNameOf(QStringLiteral("ends\\")), QString());
}

}  // namespace
}  // namespace quendrel
