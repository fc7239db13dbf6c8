// The output folder box with its chooser, and the save method options: what
// they show and what they keep in the settings.
#include "common/error_report.h"
#include "common/product.h"
#include "common/settings_store.h"
#include "options/method_options.h"
#include "options/output_folder.h"
#include "platform/qt_dialogs.h"
#include "support/fake_platform.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <functional>

namespace quendrel {
namespace {

using testing::FakePlatform;
using testing::ShownBox;
using Writes = std::vector<std::pair<QString, QString>>;

class OutputFolderTest : public ::testing::Test {
protected:
    FakePlatform fake;
    SettingsStore settings{fake.settings};
    ErrorReport report{fake.dialogs, kSupportAddress};
    QLineEdit text1;
    OutputFolder folder{text1, fake.dialogs, settings, report};

    void choose(const QString& answer) {
        fake.dialogs.answers.push_back(answer);
        folder.PushButton3_Click();
    }
};

TEST_F(OutputFolderTest, AChosenFolderGetsOneSeparatorInTheBox) {
    struct Case { const char* name; QString chosen; QString shown; };
    const Case cases[] = {
        {"a folder", "/home/user/Output", "/home/user/Output/"},
        {"the root keeps its one separator", "/", "/"},
        {"a folder given with its separator", "/srv/pdf/", "/srv/pdf/"},
        {"blanks in the name", "/home/user/My PDFs", "/home/user/My PDFs/"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        text1.setText(QStringLiteral("typed"));
        fake.settings.writes.clear();
        choose(c.chosen);
        EXPECT_EQ(text1.text(), c.shown);
        // The chooser's answer is kept as it came; the box's change writes "Folder".
        EXPECT_EQ(fake.settings.writes, (Writes{{"LastFolderDot", c.chosen}, {"Folder", c.shown}}));
    }
}

TEST_F(OutputFolderTest, TheChooserOpensWhereItWasLastLeftWhateverTheBoxHolds) {
    choose(QStringLiteral("/home/user/Output"));
    QTest::keyClicks(&text1, QStringLiteral("X"));
    choose(QString());
    const auto asked = fake.dialogs.boxesOf(ShownBox::Folder);
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].text, QStringLiteral("Please select folder:"));
    EXPECT_EQ(asked[0].caption, QString());  // nothing chosen before
    EXPECT_EQ(asked[1].caption, QStringLiteral("/home/user/Output"));
}

TEST_F(OutputFolderTest, CancellingChangesNothing) {
    fake.settings.values[QStringLiteral("LastFolderDot")] = QStringLiteral("/old");
    text1.setText(QStringLiteral("/kept/"));
    fake.settings.writes.clear();
    choose(QString());
    EXPECT_EQ(text1.text(), QStringLiteral("/kept/"));
    EXPECT_TRUE(fake.settings.writes.empty());
    EXPECT_EQ(fake.dialogs.boxesOf(ShownBox::Folder).size(), 1u);
    EXPECT_TRUE(fake.dialogs.boxesOf(ShownBox::Warning).empty());
}

TEST_F(OutputFolderTest, EveryTypedCharacterIsWrittenToFolderOnly) {
    text1.clear();
    fake.settings.writes.clear();
    QTest::keyClicks(&text1, QStringLiteral("/tm"));
    EXPECT_EQ(fake.settings.writes, (Writes{{"Folder", "/"}, {"Folder", "/t"}, {"Folder", "/tm"}}));
}

TEST_F(OutputFolderTest, ASettingThatCannotBeWrittenIsReportedAndTheBoxStillChanges) {
    fake.settings.failWrites = true;
    choose(QStringLiteral("/home/user/Output"));
    const auto reports = fake.dialogs.boxesOf(ShownBox::Warning);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_TRUE(reports[0].text.contains(
        QStringLiteral("in Tollinex2021/08/31.Form1.PushButton3_Click at line 104\r\r")));
    EXPECT_EQ(text1.text(), QStringLiteral("/home/user/Output/"));
}

TEST(MethodOptions, EachClickWritesAllThreeInOrder) {
    FakePlatform fake;
    SettingsStore settings{fake.settings};
    QWidget frame;  // the options are exclusive within their frame
    QRadioButton* options[] = {new QRadioButton(&frame), new QRadioButton(&frame), new QRadioButton(&frame)};
    MethodOptions methods(options[0], options[1], options[2], settings);
    frame.show();
    for (int chosen = 0; chosen < 3; ++chosen) {
        SCOPED_TRACE(chosen + 1);
        fake.settings.writes.clear();
        QTest::mouseClick(options[chosen], Qt::LeftButton);
        Writes expected;
        for (int i = 0; i < 3; ++i)
            expected.emplace_back(QStringLiteral("Option%1").arg(i + 1), i == chosen ? "True" : "False");
        EXPECT_EQ(fake.settings.writes, expected);
    }
}

// The real chooser: Qt's own folder dialog, folders only, opening at the start
// folder so that accepting at once gives it back.
class QtFolderDialogTest : public ::testing::Test {
protected:
    platform::QtDialogs dialogs;
    QTemporaryDir dir;

    QString runWith(const QString& start, std::function<void(QFileDialog&)> act) {
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            act(*dialog);
        });
        return dialogs.folderName(QStringLiteral("Please select folder:"), start);
    }
    static void acceptAsIs(QFileDialog& dialog) { static_cast<QDialog&>(dialog).accept(); }
};

TEST_F(QtFolderDialogTest, TheStartFolderIsPreselected) {
    const QString start = dir.filePath(QStringLiteral("Output"));
    ASSERT_TRUE(QDir().mkpath(start));
    const QString chosen = runWith(start, [](QFileDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Please select folder:"));
        EXPECT_EQ(dialog.fileMode(), QFileDialog::Directory);
        EXPECT_TRUE(dialog.testOption(QFileDialog::ShowDirsOnly));
        EXPECT_TRUE(dialog.isModal());
        acceptAsIs(dialog);
    });
    EXPECT_EQ(chosen, start);
}

TEST_F(QtFolderDialogTest, TheRootCanBeTheStartFolder) {
    EXPECT_EQ(runWith(QStringLiteral("/"), acceptAsIs), QStringLiteral("/"));
}

TEST_F(QtFolderDialogTest, AMissingStartFolderIsIgnored) {
    const QString missing = dir.filePath(QStringLiteral("gone"));
    const QString chosen = runWith(missing, [&](QFileDialog& dialog) {
        dialog.setDirectory(dir.path());
        acceptAsIs(dialog);
    });
    EXPECT_EQ(chosen, dir.path());
}

TEST_F(QtFolderDialogTest, CancelGivesNothing) {
    EXPECT_EQ(runWith(dir.path(), [](QFileDialog& dialog) { dialog.reject(); }), QString());
}

}  // namespace
}  // namespace quendrel
