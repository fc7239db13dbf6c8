#include "common/app_title.h"
#include "common/settings_store.h"
#include "platform/failure.h"
#include "platform/qt_settings_backend.h"
#include "support/fake_platform.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

namespace quendrel {
namespace {

TEST(TextToBoolean, ConvertsWordsInAnyCaseAndNumbers) {
    struct Case { const char* text; bool value; };
    for (const Case& c : {Case{"True", true}, Case{"TRUE", true}, Case{"true", true},
                          Case{"False", false}, Case{"fAlSe", false}, Case{"1", true},
                          Case{"0", false}, Case{"-1", true}, Case{"2.5", true}, Case{" 0 ", false}})
        EXPECT_EQ(TextToBoolean(QString::fromLatin1(c.text)), c.value) << c.text;
}

TEST(TextToBoolean, OtherTextIsATypeMismatch) {
    for (const char* text : {"yes", "", "Truex", "on"}) {
        try {
            TextToBoolean(QString::fromLatin1(text));
            ADD_FAILURE() << text;
        } catch (const Failure& failure) {
            EXPECT_EQ(failure.description(), QStringLiteral("Type mismatch"));
        }
    }
}

TEST(AppTitle, DropsTheLastWordThenShortensTo40) {
    EXPECT_EQ(AppTitleFrom(QStringLiteral("Red Green Blue")), QStringLiteral("Red Green"));
    EXPECT_EQ(AppTitleFrom(QStringLiteral("Quendrel")), QStringLiteral("Quendrel"));
    const QString longName = QStringLiteral(
        "Alpha Bravo Charlie Delta Echo Foxtrot Golf Hotel India");  // 55 characters
    const QString title = AppTitleFrom(longName);
    EXPECT_LE(title.size(), 40);
    EXPECT_EQ(title, QStringLiteral("Alpha Bravo Charlie Delta Echo Foxtrot"));
    EXPECT_EQ(AppTitleFrom(QString(50, QLatin1Char('x'))).size(), 40);
}

// The real store, in a settings folder of its own.
class QtSettingsBackendTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        QStandardPaths::setTestModeEnabled(true);
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, home.path());
    }
    QString file() const { return home.path() + QStringLiteral("/Marrowby/Quendrel.conf"); }
    QTemporaryDir home;
    platform::QtSettingsBackend backend;
};

TEST_F(QtSettingsBackendTest, WriteIsOnDiskAtOnceAndReadsBack) {
    EXPECT_FALSE(backend.read(QStringLiteral("Folder")).has_value());
    backend.write(QStringLiteral("Folder"), QStringLiteral("/data/out with blank/"));
    EXPECT_TRUE(QFile::exists(file()));
    EXPECT_EQ(backend.read(QStringLiteral("Folder")), QStringLiteral("/data/out with blank/"));
    backend.write(QStringLiteral("Folder"), QString());
    EXPECT_EQ(backend.read(QStringLiteral("Folder")), QString());  // empty is a value, not missing
}

TEST_F(QtSettingsBackendTest, CorruptFileReadsAsDefaultsAndWritesFailCleanly) {
    QDir().mkpath(home.path() + QStringLiteral("/Marrowby"));
    QFile corrupt(file());
    ASSERT_TRUE(corrupt.open(QIODevice::WriteOnly));
    static const char damaged[] = "[Quendrel\n\0\0\xff\xfe garbage = = =\n";
    corrupt.write(damaged, sizeof damaged - 1);
    corrupt.close();
    SettingsStore store(backend);
    EXPECT_EQ(store.ReadSetting(QStringLiteral("Option1"), QStringLiteral("1")), QStringLiteral("1"));
    try {
        store.WriteSetting(QStringLiteral("Option1"), QStringLiteral("True"));
    } catch (const Failure&) {
    }
}

TEST_F(QtSettingsBackendTest, UnwritableFolderFailsTheWrite) {
    if (geteuid() == 0) GTEST_SKIP() << "root writes anywhere";
    QDir().mkpath(home.path() + QStringLiteral("/Marrowby"));
    QFile::setPermissions(home.path() + QStringLiteral("/Marrowby"), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    EXPECT_THROW(backend.write(QStringLiteral("Folder"), QStringLiteral("x")), Failure);
}

}  // namespace
}  // namespace quendrel
