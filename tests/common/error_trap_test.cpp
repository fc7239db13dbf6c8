#include "common/error_report.h"
#include "common/error_trap.h"
#include "common/product.h"
#include "support/fake_platform.h"

#include <gtest/gtest.h>

namespace quendrel {
namespace {

using testing::FakeDialogs;
using testing::ShownBox;

TEST(ErrorReportText, FourLinesWithStepAndSupportAddress) {
    EXPECT_EQ(ErrorReport::Text(QStringLiteral("File not found"), HandlerLocation("Form_Load"), 132,
                                QStringLiteral("help@example.org")),
              QStringLiteral("File not found\r\nin Tollinex2021/08/31.Form1.Form_Load at line 132\r\r"
                             "Please email screenshot of this message to help@example.org"));
}

TEST(ErrorReportText, EmptyDescriptionLeavesFirstLineEmpty) {
    const QString text = ErrorReport::Text(QString(), HandlerLocation("PushButton7_Click"), 100,
                                           QStringLiteral("a@b"));
    EXPECT_TRUE(text.startsWith(QStringLiteral("\r\nin Tollinex2021/08/31.Form1.PushButton7_Click at line 100")));
}

class ErrorTrapTest : public ::testing::Test {
protected:
    FakeDialogs dialogs;
    ErrorReport report{dialogs, QStringLiteral("support@example.org")};
    ErrorTrap trap{report, HandlerLocation("PushButton1_Click")};
    QStringList done;

    QString firstLine(const ShownBox& box) { return box.text.section(QStringLiteral("\r\n"), 0, 0); }
};

TEST_F(ErrorTrapTest, FailureIsReportedAtItsStepAndTheHandlerGoesOn) {
    trap.step(100, [&] { done << "a"; });
    trap.step(102, [&] { throw Failure(QStringLiteral("Type mismatch")); });
    trap.step(104, [&] { done << "c"; });
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, ShownBox::Warning);
    EXPECT_EQ(dialogs.shown[0].caption, QStringLiteral("Application Error"));
    EXPECT_TRUE(dialogs.shown[0].text.contains(QStringLiteral("PushButton1_Click at line 102\r\r")));
    EXPECT_EQ(firstLine(dialogs.shown[0]), QStringLiteral("Type mismatch"));
    EXPECT_EQ(done, QStringList({"a", "c"}));
}

TEST_F(ErrorTrapTest, TwoFailuresGiveTwoBoxesInOrder) {
    trap.step(100, [&] { throw Failure(QStringLiteral("first")); });
    trap.step(100, [&] { done << "same step, next action"; });
    trap.step(104, [&] { throw std::runtime_error("second"); });
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_EQ(firstLine(dialogs.shown[0]), QStringLiteral("first"));
    EXPECT_EQ(firstLine(dialogs.shown[1]), QStringLiteral("second"));
    EXPECT_TRUE(dialogs.shown[1].text.contains(QStringLiteral("at line 104")));
    EXPECT_EQ(done, QStringList({"same step, next action"}));
}

TEST_F(ErrorTrapTest, FailedConditionalRunsTheGuardedAction) {
    if (trap.test(102, [&]() -> bool { throw Failure(QStringLiteral("no answer")); }))
        trap.step(104, [&] { done << "guarded"; });
    EXPECT_EQ(done, QStringList({"guarded"}));
    EXPECT_TRUE(dialogs.shown[0].text.contains(QStringLiteral("at line 102")));
}

TEST_F(ErrorTrapTest, ConditionalAnswersWhenItDoesNotFail) {
    EXPECT_FALSE(trap.test(102, [] { return false; }));
    EXPECT_TRUE(trap.test(102, [] { return true; }));
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(ErrorTrapTest, FailureInsideCalledRoutineIsReportedAtCallingStep) {
    auto routine = [](int depth) {
        if (depth > 0) throw Failure(QStringLiteral("deep"));
    };
    trap.step(100, [&] {
        routine(3);
        done << "rest of routine";
    });
    EXPECT_TRUE(done.isEmpty());
    EXPECT_TRUE(dialogs.shown[0].text.contains(QStringLiteral("at line 100")));
}

TEST_F(ErrorTrapTest, FailureWhileReportingIsNotTrappedAgain) {
    dialogs.onShow = [](const ShownBox&) { throw std::runtime_error("box broke"); };
    trap.step(100, [&] { throw Failure(QStringLiteral("x")); });
    trap.step(102, [&] { done << "went on"; });
    EXPECT_EQ(done, QStringList({"went on"}));
}

}  // namespace
}  // namespace quendrel
