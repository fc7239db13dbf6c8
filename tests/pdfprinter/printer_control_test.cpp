// The tool's control of the PDF printer and the default printer, over fakes.
#include "platform/cups_print_system.h"
#include "saverun/job_failure.h"
#include "saverun/printer_control.h"
#include "support/fake_platform.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

using quendrel::PrinterControl;
using Origin = quendrel::platform::DefaultPrinter::Origin;
using quendrel::testing::FakePlatform;
using quendrel::testing::ShownBox;

const QString kTitle = QStringLiteral("Quendrel Title");
const QString kMissingMessage = QStringLiteral(
    "Can not continue.\r\n"
    "There is no \"Marrowby PDF Writer\" printer installed.\r\n"
    "Please install \"Quendrel\" again.");

class PrinterControlTest : public ::testing::Test {
protected:
    FakePlatform fake;
    PrinterControl control{fake.printers, fake.printerControl, fake.dialogs, kTitle};
};

TEST_F(PrinterControlTest, FindsThePrinterByItsExactDeviceName) {
    fake.printers.devices = {"Office Laser", "Marrowby PDF Writer", "Marrowby PDF Writer"};
    EXPECT_TRUE(control.isPdfPrinterPresent());
    EXPECT_TRUE(control.IsPdfPrinterInstalled());
    EXPECT_TRUE(fake.dialogs.shown.empty());
}

TEST_F(PrinterControlTest, NamesThatOnlyLookAlikeDoNotCount) {
    const QStringList lookAlikes[] = {
        {},
        {"marrowby pdf writer"},
        {"MARROWBY PDF WRITER", "Marrowby PDF writer"},
        {"Marrowby_PDF_Writer"},
        {"Marrowby PDF Writer ", " Marrowby PDF Writer"},
        {"Marrowby PDF Writer (copy)"},
    };
    for (const QStringList& devices : lookAlikes) {
        fake.printers.devices = devices;
        EXPECT_FALSE(control.isPdfPrinterPresent()) << devices.join('|').toStdString();
    }
    EXPECT_TRUE(fake.dialogs.shown.empty());
}

TEST_F(PrinterControlTest, AMissingPrinterStopsWithTheThreeLineMessage) {
    fake.printers.devices = {"Office Laser", "marrowby pdf writer"};
    EXPECT_FALSE(control.IsPdfPrinterInstalled());
    ASSERT_EQ(fake.dialogs.shown.size(), 1u);
    EXPECT_EQ(fake.dialogs.shown[0].kind, ShownBox::Message);
    EXPECT_EQ(fake.dialogs.shown[0].text, kMissingMessage);
    EXPECT_EQ(fake.dialogs.shown[0].caption, kTitle);
}

TEST_F(PrinterControlTest, APrintSystemThatDoesNotAnswerHasNoPrinter) {
    fake.printers.devices = {"Marrowby PDF Writer"};
    fake.printers.unreachable = true;
    EXPECT_FALSE(control.isPdfPrinterPresent());
    EXPECT_FALSE(control.IsPdfPrinterInstalled());
    ASSERT_EQ(fake.dialogs.shown.size(), 1u);
    EXPECT_EQ(fake.dialogs.shown[0].text, kMissingMessage);
}

TEST_F(PrinterControlTest, ReadsTheDefaultAsThePrintSystemNamesItAndWhereItComesFrom) {
    struct Case {
        const char* own;
        const char* server;
        Origin origin;
        const char* destination;
        const char* device;
    };
    const Case cases[] = {
        {"Office Laser", "", Origin::Own, "Office Laser", "Office Laser"},
        {"Office Laser/duplex", "Hall Printer", Origin::Own, "Office Laser/duplex", "Office Laser"},
        {"", "Hall Printer", Origin::Server, "Hall Printer", "Hall Printer"},
        {"", "Hall Printer/draft", Origin::Server, "Hall Printer/draft", "Hall Printer"},
        {"", "", Origin::None, "", ""},  // a fresh account: no failure, no message
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.own) + "|" + c.server);
        fake.printers.ownDefault = c.own;
        fake.printers.serverDefault = c.server;
        const quendrel::platform::DefaultPrinter read = control.ReadDefaultPrinter();
        EXPECT_EQ(read.origin, c.origin);
        EXPECT_EQ(read.destination, c.destination);
        EXPECT_EQ(read.deviceName, c.device);
        EXPECT_EQ(control.GetDefaultPrinter(), c.device);
    }
    EXPECT_TRUE(fake.dialogs.shown.empty());
}

TEST_F(PrinterControlTest, AnUnreadableDefaultShowsTheFourLineMessageAndGivesEmpty) {
    fake.printers.defaultUnreadable = true;
    EXPECT_EQ(control.GetDefaultPrinter(), QString());
    EXPECT_EQ(control.ReadDefaultPrinter().origin, Origin::Unread);
    ASSERT_EQ(fake.dialogs.shown.size(), 2u);
    EXPECT_EQ(fake.dialogs.shown[0].kind, ShownBox::Message);
    EXPECT_EQ(fake.dialogs.shown[0].text,
              "Error No: 484\r\nThe answer of the print system cannot be read\r\n"
              "Has occured in modPrinters.GetDefaultPrinter\r\nPlease contact Technical Support");
    EXPECT_EQ(fake.dialogs.shown[0].caption, kTitle);
}

TEST(UserPrinterOptions, TheLastDefaultLineNamesTheUsersOwnDefault) {
    struct Case {
        const char* lpoptions;
        const char* destination;
    };
    const Case cases[] = {
        {"", ""},
        {"Dest Office sides=two-sided-long-edge\n", ""},
        {"Default Office\n", "Office"},
        {"Dest Office/duplex sides=two-sided-long-edge\nDefault Office/duplex sides=two-sided-long-edge\n",
         "Office/duplex"},
        {"default\tHall   copies=2", "Hall"},  // any letter case, blanks or tabs, no final line end
        {"Default Office\nDefault Hall\n", "Hall"},
        {"  Default Office\r\n", "Office"},
        {"DefaultOffice\nDefaults Office\nDefault\n", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(quendrel::platform::CupsPrintSystem::ownDefaultIn(c.lpoptions), c.destination) << c.lpoptions;
}

// A print system whose failure carries its own number.
class NumberedFailurePrintSystem : public quendrel::testing::FakePrintSystem {
public:
    quendrel::platform::DefaultPrinter defaultPrinter() override {
        throw quendrel::platform::PrintFailure(1282, QStringLiteral("The print system (CUPS) does not answer"));
    }
};

TEST_F(PrinterControlTest, TheMessageNamesThePrintSystemsErrorNumber) {
    NumberedFailurePrintSystem printers;
    PrinterControl withNumbers(printers, fake.printerControl, fake.dialogs, kTitle);
    EXPECT_EQ(withNumbers.GetDefaultPrinter(), QString());
    ASSERT_EQ(fake.dialogs.shown.size(), 1u);
    EXPECT_EQ(fake.dialogs.shown[0].text,
              "Error No: 1282\r\nThe print system (CUPS) does not answer\r\n"
              "Has occured in modPrinters.GetDefaultPrinter\r\nPlease contact Technical Support");
}

TEST_F(PrinterControlTest, MakingADefaultAnswersTrueOrFalseAndNeverShowsAnything) {
    fake.printers.devices = {"Office Laser", "Marrowby PDF Writer"};
    EXPECT_TRUE(control.MakeDefaultPrinter("Marrowby PDF Writer"));
    EXPECT_EQ(fake.printers.defaultDevice(), "Marrowby PDF Writer");
    EXPECT_FALSE(control.MakeDefaultPrinter("No Such Printer"));
    EXPECT_FALSE(control.MakeDefaultPrinter(QString()));  // an unreadable earlier default
    fake.printers.refuseDefault = true;
    EXPECT_FALSE(control.MakeDefaultPrinter("Office Laser"));
    EXPECT_EQ(fake.printers.defaultDevice(), "Marrowby PDF Writer");
    EXPECT_TRUE(fake.dialogs.shown.empty());
}

// A print system that fails by throwing where it should answer false.
class ThrowingPrintSystem : public quendrel::testing::FakePrintSystem {
public:
    bool setDefaultPrinter(const QString&) override { throw quendrel::Failure(QStringLiteral("broken")); }
};

TEST_F(PrinterControlTest, AFailureWhileMakingADefaultIsFalseNotAnError) {
    ThrowingPrintSystem printers;
    PrinterControl throwing(printers, fake.printerControl, fake.dialogs, kTitle);
    EXPECT_FALSE(throwing.MakeDefaultPrinter("Marrowby PDF Writer"));
    EXPECT_TRUE(fake.dialogs.shown.empty());
}

TEST_F(PrinterControlTest, PointingThePrinterWritesThePathThenBypassThenPointsTheNextJobOnly) {
    const QString path = QStringLiteral("/home/user/Desktop/www.example.com \"x\".pdf");
    control.PointPdfPrinterAt(path);
    const QString token = fake.printers.jobOptions["marrowby-pointing"];
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9a-f]{32}$")).match(token).hasMatch()) << token.toStdString();
    using Write = std::pair<QString, QString>;
    EXPECT_EQ(fake.printerControl.writes,
              (std::vector<Write>{{"OutputFile", path}, {"BypassSaveAs", "1"}, {"Job" + token, path}}));
    control.PointPdfPrinterAt("/second.pdf");
    EXPECT_EQ(fake.printerControl.values["OutputFile"], "/second.pdf");
    EXPECT_EQ(fake.printerControl.writes.size(), 6u);
    // Each pointing is its own: a job carrying the first one cannot take the second.
    EXPECT_NE(fake.printers.jobOptions["marrowby-pointing"], token);
}

TEST_F(PrinterControlTest, FailedWritesOfTheControlValuesAreSilent) {
    fake.printerControl.fail = true;
    control.PointPdfPrinterAt("/x.pdf");
    EXPECT_EQ(fake.printerControl.writes.size(), 3u);  // every one attempted
    EXPECT_TRUE(fake.dialogs.shown.empty());
}

// The printer's own words for a failed job, and what the closing report says.
TEST(FailedJobReason, NamesWhatAUserCanActOnAndOtherwiseThePrintersWords) {
    const std::pair<const char*, const char*> cases[] = {
        {"PDF not written: cannot write \"/mnt/.marrowby-1.part\": No space left on device", "the disk is full"},
        {"PDF not written: cannot write \"/home/u/x.pdf\": Disk quota exceeded", "the disk is full"},
        {"PDF not written: the folder \"/gone\" does not exist", "the folder does not exist"},
        {"PDF not written: cannot write into the folder \"/ro\": Permission denied", "no right to write into the folder"},
        {"PDF not written: the print job is not a PDF document", "printer job failed: the print job is not a PDF document"},
        {"", "printer job failed"},
    };
    for (const auto& [message, reason] : cases)
        EXPECT_EQ(quendrel::ReasonForFailedJob(QString::fromUtf8(message)), QString::fromUtf8(reason)) << message;
}

}  // namespace
