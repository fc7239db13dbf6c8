#include "common/app_title.h"
#include "app/main_window.h"
#include "sitelist/site_list_view.h"
#include "support/fake_platform.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace quendrel {
namespace {

using testing::FakePlatform;
using testing::ShownBox;

class StartUpTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(program.isValid());
        fake.desktop.program = program.path();
        fake.printers.devices = {QStringLiteral("Office Laser"), QStringLiteral("Marrowby PDF Writer")};
    }
    MainWindow& load() {
        window = std::make_unique<MainWindow>(fake.platform);
        window->Load();
        return *window;
    }
    void writeProgramFile(const QString& name, const QByteArray& bytes) {
        QDir(program.path()).mkpath(QFileInfo(program.path() + "/" + name).path());
        QFile file(program.path() + "/" + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    std::vector<ShownBox> errors() const { return fake.dialogs.boxesOf(ShownBox::Warning); }
    std::vector<ShownBox> messages() const { return fake.dialogs.boxesOf(ShownBox::Message); }
    int selected() { return window->methodOptions().Selected(); }

    QTemporaryDir program;
    FakePlatform fake;
    std::unique_ptr<MainWindow> window;
};

TEST_F(StartUpTest, FirstStartShowsDesktopFolderAndMethodOne) {
    MainWindow& w = load();
    EXPECT_EQ(w.form().Text1->text(), QStringLiteral("/home/user/Desktop/"));
    EXPECT_EQ(fake.settings.values[QStringLiteral("Folder")], QStringLiteral("/home/user/Desktop/"));
    EXPECT_EQ(selected(), 1);
    EXPECT_EQ(w.form().windowTitle(), QStringLiteral("Quendrel"));
    EXPECT_FALSE(w.form().windowIcon().isNull());
    EXPECT_EQ(AppTitle(), QStringLiteral("Quendrel"));
    EXPECT_EQ(w.form().ListView1->model()->headerData(0, Qt::Horizontal).toString(),
              QStringLiteral(" Web Site(s)"));
    EXPECT_EQ(w.form().ListView1->columnWidth(0), 467);
    EXPECT_TRUE(fake.dialogs.shown.empty());
}

TEST_F(StartUpTest, StoredOptionsSelectTheMethod) {
    struct Case { const char* o1; const char* o2; const char* o3; int method; };
    const Case cases[] = {
        {"False", "True", "False", 2},
        {"True", "True", nullptr, 2},  // the later option wins
        {"False", "False", "False", 0},
        {"1", nullptr, nullptr, 1},
        {"false", "0", "TRUE", 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.o1) + "/" + (c.o2 ? c.o2 : "-") + "/" + (c.o3 ? c.o3 : "-"));
        fake.settings.values.clear();
        fake.settings.values[QStringLiteral("Option1")] = QString::fromLatin1(c.o1);
        if (c.o2) fake.settings.values[QStringLiteral("Option2")] = QString::fromLatin1(c.o2);
        if (c.o3) fake.settings.values[QStringLiteral("Option3")] = QString::fromLatin1(c.o3);
        load();
        EXPECT_EQ(selected(), c.method);
        EXPECT_TRUE(errors().empty());
    }
    // With both stored true, selecting Method 2 stored Method 1 as not selected.
    fake.settings.values = {{QStringLiteral("Option1"), QStringLiteral("True")},
                            {QStringLiteral("Option2"), QStringLiteral("True")}};
    load();
    EXPECT_EQ(fake.settings.values[QStringLiteral("Option1")], QStringLiteral("False"));
    EXPECT_EQ(fake.settings.values[QStringLiteral("Option2")], QStringLiteral("True"));
}

TEST_F(StartUpTest, UnreadableOptionIsReportedAtItsStepAndKeepsTheLayoutState) {
    fake.settings.values[QStringLiteral("Option1")] = QStringLiteral("yes");
    fake.settings.values[QStringLiteral("Option3")] = QStringLiteral("maybe");
    load();
    ASSERT_EQ(errors().size(), 2u);
    EXPECT_TRUE(errors()[0].text.startsWith(
        QStringLiteral("Type mismatch\r\nin Tollinex2021/08/31.Form1.Form_Load at line 134\r\r")));
    EXPECT_TRUE(errors()[1].text.contains(QStringLiteral("at line 138")));
    EXPECT_EQ(selected(), 1);
}

TEST_F(StartUpTest, ClearedFolderStaysEmpty) {
    fake.settings.values[QStringLiteral("Folder")] = QString();
    EXPECT_EQ(load().form().Text1->text(), QString());
}

TEST_F(StartUpTest, NoDesktopFolderAbandonsTheFolderStep) {
    fake.desktop.desktop.clear();
    fake.settings.values[QStringLiteral("Folder")] = QStringLiteral("/srv/pdf/");
    MainWindow& w = load();
    EXPECT_EQ(w.form().Text1->text(), QString());
    ASSERT_EQ(errors().size(), 1u);
    EXPECT_TRUE(errors()[0].text.contains(QStringLiteral("Form_Load at line 132")));
    EXPECT_EQ(selected(), 1);  // start-up went on
}

TEST_F(StartUpTest, PrinterInstructionsWhenThePrinterIsMissing) {
    struct Case { QStringList devices; bool unreachable; bool shown; };
    const Case cases[] = {
        {{QStringLiteral("Marrowby PDF Writer")}, false, false},
        {{QStringLiteral("Office Laser")}, false, true},
        {{QStringLiteral("marrowby pdf writer")}, false, true},
        {{QStringLiteral("Marrowby PDF Writer ")}, false, true},
        {{}, true, true},  // no print system running
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.devices.join(QLatin1Char(',')).toStdString());
        fake.dialogs.shown.clear();
        fake.printers.devices = c.devices;
        fake.printers.unreachable = c.unreachable;
        load();
        ASSERT_EQ(messages().size(), c.shown ? 1u : 0u);
        if (!c.shown) continue;
        const QStringList lines = messages()[0].text.split(QStringLiteral("\r\n"));
        EXPECT_EQ(lines.value(0),
                  QStringLiteral("Marrowby PDF Writer is not installed. Please follow these instructions:"));
        EXPECT_EQ(lines.value(1), QString());
        EXPECT_EQ(lines.size(), 6);
        EXPECT_TRUE(lines.value(3).contains(program.path() + QStringLiteral("/install-printer.sh")));
        EXPECT_EQ(messages()[0].caption, QStringLiteral("Quendrel"));
        EXPECT_TRUE(errors().empty());
    }
}

TEST_F(StartUpTest, ValidSkinChangesTheColours) {
    writeProgramFile(QStringLiteral("x/o.cjs"), "QPushButton { font-style: italic; }");
    MainWindow& w = load();
    EXPECT_TRUE(errors().empty());
    EXPECT_NE(w.form().palette().color(QPalette::Window), QColor(Qt::white));
    EXPECT_NE(w.form().Option2->palette().color(QPalette::Window), QColor(Qt::white));
    EXPECT_EQ(w.form().Text1->palette().color(QPalette::Base), QColor(Qt::white));
    EXPECT_FALSE(w.form().styleSheet().isEmpty());
}

TEST_F(StartUpTest, BrokenSkinIsReportedAt100AndStartUpGoesOn) {
    writeProgramFile(QStringLiteral("x/o.cjs"), "QPushButton { color: red; ]]] {{{ ");
    MainWindow& w = load();
    ASSERT_EQ(errors().size(), 1u);
    EXPECT_TRUE(errors()[0].text.contains(QStringLiteral("in Tollinex2021/08/31.Form1.Form_Load at line 100")));
    EXPECT_TRUE(w.form().styleSheet().isEmpty());
    EXPECT_EQ(w.form().Text1->text(), QStringLiteral("/home/user/Desktop/"));
}

TEST_F(StartUpTest, BinarySkinIsReportedAt100) {
    writeProgramFile(QStringLiteral("x/o.cjs"), QByteArray("\x00\x01\xff\xfe", 4));
    load();
    ASSERT_EQ(errors().size(), 1u);
    EXPECT_TRUE(errors()[0].text.contains(QStringLiteral("at line 100")));
}

TEST_F(StartUpTest, HandPointerThatIsNoPictureIsReportedAt106) {
    writeProgramFile(QStringLiteral("HAND-M.CUR"), "this is no picture");
    MainWindow& w = load();
    ASSERT_EQ(errors().size(), 1u);
    EXPECT_TRUE(errors()[0].text.contains(QStringLiteral("at line 106")));
    EXPECT_EQ(w.form().customPointer.shape(), Qt::PointingHandCursor);
}

TEST_F(StartUpTest, HomePageOpensOnlyOnDrawSeven) {
    double seven = -1, other = -1;
    for (int s = 0; s < 100000 && (seven < 0 || other < 0); ++s) {
        const int draw = StartUp::HomePageDraw(s / 10.0);
        ASSERT_GE(draw, 1);
        ASSERT_LE(draw, 100);
        (draw == 7 ? seven : other) = s / 10.0;
    }
    ASSERT_GE(seven, 0);
    fake.desktop.clock = other;
    load();
    EXPECT_TRUE(fake.desktop.opened.isEmpty());
    fake.desktop.clock = seven;
    load();
    EXPECT_EQ(fake.desktop.opened, QStringList({QStringLiteral("http://www.marrowby.com/")}));
    fake.desktop.failOpen = true;
    load();
    ASSERT_EQ(errors().size(), 1u);
    EXPECT_TRUE(errors()[0].text.contains(QStringLiteral("at line 108")));
}

}  // namespace
}  // namespace quendrel
