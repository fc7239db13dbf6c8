// The capture program's command line: every misuse is refused before any
// page is loaded, with a message and the usage on stderr.
#include "support/iecapt_run.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace quendrel {
namespace {

using Outcome = testing::IecaptOutcome;
using testing::RunIecapt;

struct MisuseCase {
    const char* what;
    QStringList arguments;
    const char* message;
};

TEST(IecaptOptionsTest, MisusesAreRefusedWithTheUsage) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString out = "--out=" + folder.filePath("x.jpg");
    const std::vector<MisuseCase> cases = {
        {"nothing", {}, "no address given"},
        {"no output", {"--url=http://127.0.0.1/"}, "no output file given"},
        {"no address", {out}, "no address given"},
        {"empty address", {"--url=", out}, "no address given"},
        {"unknown option", {"--url=http://127.0.0.1/", out, "--delay=5"}, "unknown option \"--delay=5\""},
        {"stray argument", {"--url=http://127.0.0.1/a", "b", out}, "unexpected argument \"b\""},
        {"second output", {"--url=http://127.0.0.1/", out, "--out=/tmp/other.jpg"}, "--out is given twice"},
        {"second address", {"--url=http://127.0.0.1/", "--url=http://127.0.0.1/b", out}, "--url is given twice"},
        {"value missing", {out, "--url"}, "--url needs a value"},
        {"bad time limit", {"--url=http://127.0.0.1/", out, "--max-wait=soon"}, "--max-wait must be"},
        {"zero time limit", {"--url=http://127.0.0.1/", out, "--max-wait=0"}, "--max-wait must be"},
    };
    for (const MisuseCase& c : cases) {
        const Outcome outcome = RunIecapt(c.arguments);
        EXPECT_EQ(outcome.exitCode, 2) << c.what;
        EXPECT_TRUE(outcome.errors.startsWith(QStringLiteral("iecapt: ") + c.message))
            << c.what << ": " << outcome.errors.toStdString();
        EXPECT_TRUE(outcome.errors.contains("Usage: iecapt --url=ADDRESS --out=FILE.jpg")) << c.what;
        EXPECT_FALSE(QFile::exists(folder.filePath("x.jpg"))) << c.what;
    }
}

TEST(IecaptOptionsTest, HelpGoesToStandardOutput) {
    const Outcome outcome = RunIecapt({"--help"});
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_TRUE(outcome.output.startsWith("Usage: iecapt")) << outcome.output.toStdString();
}

}  // namespace
}  // namespace quendrel
