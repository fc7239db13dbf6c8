#include "saverun/command_line.h"

#include "platform/failure.h"

#include <gtest/gtest.h>

namespace quendrel {
namespace {

struct SplitCase {
    const char* commandLine;
    QStringList expected;
};

class SplitWindowsCommandLineTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitWindowsCommandLineTest, GivesTheArgumentVector) {
    const SplitCase& c = GetParam();
    EXPECT_EQ(SplitWindowsCommandLine(QString::fromUtf8(c.commandLine)), c.expected)
        << "command line: " << c.commandLine;
}

INSTANTIATE_TEST_SUITE_P(
    Table, SplitWindowsCommandLineTest,
    ::testing::Values(
        // blanks and tabs
        SplitCase{"", {}},
        SplitCase{" \t  ", {}},
        SplitCase{"prog", {"prog"}},
        SplitCase{"prog a b", {"prog", "a", "b"}},
        SplitCase{"  prog   a \t b  ", {"prog", "a", "b"}},
        // the program token: quotes run to the next quote, backslashes stay
        SplitCase{R"("/opt/my apps/iecapt" --url=x)", {"/opt/my apps/iecapt", "--url=x"}},
        SplitCase{R"("C:\Program Files\x.exe" a)", {R"(C:\Program Files\x.exe)", "a"}},
        SplitCase{R"("C:\dir\\" a)", {R"(C:\dir\\)", "a"}},
        SplitCase{R"(C:\dir\x.exe a)", {R"(C:\dir\x.exe)", "a"}},
        SplitCase{R"(C:\a"b c)", {R"(C:\a"b)", "c"}},
        SplitCase{R"("prog"x y)", {"prog", "x", "y"}},
        SplitCase{R"("unclosed program)", {"unclosed program"}},
        SplitCase{R"("" a)", {"", "a"}},
        // quotes group
        SplitCase{R"(p "abc" d e)", {"p", "abc", "d", "e"}},
        SplitCase{R"(p "a b"c "d" e)", {"p", "a bc", "d", "e"}},
        SplitCase{R"(p --out="/tmp/my file.jpg")", {"p", "--out=/tmp/my file.jpg"}},
        SplitCase{R"(p "a	b")", {"p", "a\tb"}},
        SplitCase{R"(p "unclosed arg)", {"p", "unclosed arg"}},
        SplitCase{R"(p "" x)", {"p", "", "x"}},
        SplitCase{R"(p "")", {"p", ""}},
        // backslashes
        SplitCase{R"(p a\\b d"e f"g h)", {"p", R"(a\\b)", "de fg", "h"}},
        SplitCase{R"(p a\\\"b c d)", {"p", R"(a\"b)", "c", "d"}},
        SplitCase{R"(p a\\\\"b c" d e)", {"p", R"(a\\b c)", "d", "e"}},
        SplitCase{R"(p "ab\"c" "\\" d)", {"p", R"(ab"c)", R"(\)", "d"}},
        SplitCase{R"(p \"a b\")", {"p", R"("a)", R"(b")"}},
        SplitCase{R"(p a\)", {"p", R"(a\)"}},
        SplitCase{R"(p C:\dir\ x)", {"p", R"(C:\dir\)", "x"}},
        // "" inside a quoted part is a literal quote and the part goes on
        SplitCase{R"(p a"b"" c d)", {"p", R"(ab" c d)"}},
        SplitCase{R"(p "a""b" c)", {"p", R"(a"b)", "c"}},
        // an unquoted address with a blank is split there
        SplitCase{R"("/q/iecapt" --url=http://a b --out="/o.jpg")",
                  {"/q/iecapt", "--url=http://a", "b", "--out=/o.jpg"}},
        SplitCase{"p \xc3\xa9t\xc3\xa9 \"\xe2\x82\xac x\"", {"p", "\xc3\xa9t\xc3\xa9", "\xe2\x82\xac x"}}));

// Arguments that would split, close a quote early or eat a backslash if they
// were pasted into a command line as they are.
const QStringList kHostileArguments = {
    QString(),
    QStringLiteral("plain"),
    QStringLiteral("a b"),
    QStringLiteral("a\tb"),
    QStringLiteral("line\nbreak"),
    QStringLiteral(R"(")"),
    QStringLiteral(R"("")"),
    QStringLiteral(R"(a"b)"),
    QStringLiteral(R"(a\"b)"),
    QStringLiteral(R"(a\\"b)"),
    QStringLiteral(R"(\)"),
    QStringLiteral(R"(a\)"),
    QStringLiteral(R"(a\\)"),
    QStringLiteral(R"(\\server\share\)"),
    QStringLiteral(R"(" --out="/tmp/evil.jpg)"),
    QStringLiteral(R"(http://x/\" --out=/tmp/evil.jpg)"),
    QStringLiteral(R"(http://x/?q="a b"&r=\\")"),
    QStringLiteral("--out=/tmp/evil.jpg"),
    QStringLiteral("\xc3\xa9 \xe2\x82\xac"),
};

TEST(QuoteWindowsArgumentTest, EveryArgumentComesBackWhole) {
    for (const QString& argument : kHostileArguments) {
        const QString line = QStringLiteral("p ") + QuoteWindowsArgument(argument) + QStringLiteral(" next");
        EXPECT_EQ(SplitWindowsCommandLine(line), QStringList({"p", argument, "next"}))
            << "argument: " << argument.toStdString() << "\nline: " << line.toStdString();
    }
}

TEST(QuoteWindowsArgumentTest, EscapesOnlyWhatMustBeEscaped) {
    EXPECT_EQ(QuoteWindowsArgument("a b"), R"("a b")");
    EXPECT_EQ(QuoteWindowsArgument(R"(C:\dir\x)"), R"("C:\dir\x")");
    EXPECT_EQ(QuoteWindowsArgument(R"(a\)"), R"("a\\")");
    EXPECT_EQ(QuoteWindowsArgument(R"(a"b)"), R"("a\"b")");
    EXPECT_EQ(QuoteWindowsArgument(R"(a\"b)"), R"("a\\\"b")");
    EXPECT_EQ(QuoteWindowsArgument(QString()), R"("")");
}

TEST(CaptureCommandLineTest, QuotesTheProgramAddressAndCapturePath) {
    EXPECT_EQ(CaptureCommandLine("/opt/quendrel", "http://example.com/", "/home/u/Out/example.com.jpg"),
              R"("/opt/quendrel/iecapt" --url="http://example.com/" --out="/home/u/Out/example.com.jpg")");
}

TEST(CaptureCommandLineTest, NoAddressCanSplitOrRedirectTheCapture) {
    const QString folder = QStringLiteral(R"(/opt/my apps\q)");
    const QString capture = QStringLiteral(R"(/home/u/My "PDF" files\ x/page.jpg)");
    for (const QString& address : kHostileArguments) {
        const QStringList argv = SplitWindowsCommandLine(CaptureCommandLine(folder, address, capture));
        EXPECT_EQ(argv, QStringList({folder + "/iecapt", "--url=" + address, "--out=" + capture}))
            << "address: " << address.toStdString();
    }
}

TEST(CaptureCommandLineTest, JoinsTheProgramToAFolderWithATrailingSlash) {
    EXPECT_EQ(SplitWindowsCommandLine(CaptureCommandLine("/opt/q/", "a", "/o.jpg")).front(), "/opt/q/iecapt");
}

TEST(CaptureCommandLineTest, RefusesAProgramFolderHoldingAQuote) {
    // No program token can carry it: the command line would start another program.
    EXPECT_THROW(CaptureCommandLine(R"(/opt/a"b)", "http://x/", "/o.jpg"), Failure);
}

}  // namespace
}  // namespace quendrel
