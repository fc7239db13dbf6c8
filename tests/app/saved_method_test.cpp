// The save method the window restores at start-up from what was chosen before.
#include "app/main_window.h"
#include "support/fake_platform.h"

#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

namespace quendrel {
namespace {

using testing::FakePlatform;
using Writes = std::vector<std::pair<QString, QString>>;

class MethodOptionsTest : public ::testing::Test {
protected:
    FakePlatform fake;

    std::vector<bool> checked(MainWindow& window) {
        Form1& form = window.form();
        return {form.Option1->isChecked(), form.Option2->isChecked(), form.Option3->isChecked()};
    }
};

TEST_F(MethodOptionsTest, TheChosenMethodIsKeptForTheNextStart) {
    {
        MainWindow window(fake.platform);
        window.Load();
        window.form().show();
        fake.settings.writes.clear();
        QTest::mouseClick(window.form().Option3, Qt::LeftButton);
        EXPECT_EQ(fake.settings.writes,
                  (Writes{{"Option1", "False"}, {"Option2", "False"}, {"Option3", "True"}}));
        EXPECT_EQ(window.methodOptions().Selected(), 3);
    }
    MainWindow restarted(fake.platform);
    restarted.Load();
    EXPECT_EQ(checked(restarted), (std::vector<bool>{false, false, true}));
}

TEST_F(MethodOptionsTest, AFirstStartSelectsMethodOne) {
    MainWindow window(fake.platform);
    window.Load();
    EXPECT_EQ(checked(window), (std::vector<bool>{true, false, false}));
}

}  // namespace
}  // namespace quendrel
