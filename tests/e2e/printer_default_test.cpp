// The user's default printer, read and switched through CUPS for this user
// only (~/.cups/lpoptions), and the presence test over the real queues.
#include "printer_e2e_support.h"
#include "saverun/printer_control.h"
#include "support/fake_platform.h"
#include "user_default_printer.h"

namespace {

using namespace printer_e2e;
using default_printer_e2e::DefaultCase;
using default_printer_e2e::lpstatDefault;
using Origin = quendrel::platform::DefaultPrinter::Origin;

// A second queue whose description differs from the PDF printer's only in
// letter case; install-printer.sh --with-test-queue creates it.
const QString kLookAlike = QStringLiteral("marrowby pdf writer");

class PrinterDefaultTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(printerReady());
        ASSERT_TRUE(cups.printerDeviceNames().contains(kLookAlike))
            << "the queue described \"marrowby pdf writer\" is missing; create it with "
               "scripts/install-printer.sh --with-test-queue (as root)";
        systemOptions = readFile(QStringLiteral("/etc/cups/lpoptions"));
    }

    void TearDown() override {
        // Whatever this user chose, nobody else's default changed.
        EXPECT_EQ(readFile(QStringLiteral("/etc/cups/lpoptions")), systemOptions);
    }

    QString userDefaultLine() const {
        const QByteArray options = readFile(lpoptions.path()).value_or(QByteArray());
        for (const QByteArray& line : options.split('\n'))
            if (line.startsWith("Default ")) return QString::fromUtf8(line);
        return QString();
    }

    LpoptionsGuard lpoptions;
    CupsPrintSystem cups;
    std::optional<QByteArray> systemOptions;
    quendrel::testing::FakeDialogs dialogs;
    quendrel::platform::FilePrinterControlStore controlValues;
    quendrel::PrinterControl control{cups, controlValues, dialogs, QStringLiteral("Quendrel")};
};

TEST_F(PrinterDefaultTest, TheDefaultIsTheUsersOwn) {
    ASSERT_TRUE(cups.setDefaultPrinter(kPdfPrinter));
    EXPECT_EQ(cups.defaultPrinterDeviceName(), kPdfPrinter);
    EXPECT_EQ(userDefaultLine(), QStringLiteral("Default Marrowby_PDF_Writer"));
    // lp and every other CUPS program of this user see the same default.
    const std::optional<QString> lpstat = runTool(QStringLiteral("lpstat"), {QStringLiteral("-d")});
    ASSERT_TRUE(lpstat.has_value());
    EXPECT_TRUE(lpstat->contains(kQueue)) << lpstat->toStdString();
}

TEST_F(PrinterDefaultTest, DeviceNamesAreExactAndCaseCounts) {
    const QStringList devices = cups.printerDeviceNames();
    EXPECT_EQ(devices.count(kPdfPrinter), 1);
    EXPECT_EQ(devices.count(kLookAlike), 1);

    ASSERT_TRUE(cups.setDefaultPrinter(kLookAlike));
    EXPECT_EQ(cups.defaultPrinterDeviceName(), kLookAlike);
    EXPECT_NE(userDefaultLine(), QStringLiteral("Default Marrowby_PDF_Writer"));

    const QString before = userDefaultLine();
    EXPECT_FALSE(cups.setDefaultPrinter(QStringLiteral("MARROWBY PDF WRITER")));
    EXPECT_FALSE(cups.setDefaultPrinter(QStringLiteral("No Such Printer")));
    EXPECT_FALSE(cups.setDefaultPrinter(QString()));
    EXPECT_EQ(userDefaultLine(), before);
    EXPECT_EQ(cups.defaultPrinterDeviceName(), kLookAlike);
}

TEST_F(PrinterDefaultTest, ARunSwitchesToThePdfPrinterAndBack) {
    ASSERT_TRUE(cups.setDefaultPrinter(kLookAlike));
    ASSERT_TRUE(control.IsPdfPrinterInstalled());
    const QString previous = control.GetDefaultPrinter();
    EXPECT_EQ(previous, kLookAlike);

    EXPECT_TRUE(control.MakeDefaultPrinter(kPdfPrinter));
    EXPECT_EQ(cups.defaultPrinterDeviceName(), kPdfPrinter);
    EXPECT_TRUE(control.MakeDefaultPrinter(previous));
    EXPECT_EQ(cups.defaultPrinterDeviceName(), kLookAlike);
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(PrinterDefaultTest, EveryKindOfDefaultIsReadWithoutAMessageAndPutBackExactly) {
    for (const DefaultCase& c : default_printer_e2e::kDefaultCases) {
        SCOPED_TRACE(c.what);
        dialogs.shown.clear();
        const auto queues = default_printer_e2e::arrange(c);
        for (const auto& queue : queues) ASSERT_TRUE(queue->made());
        const QByteArray choicesBefore = readFile(lpoptions.path()).value_or(QByteArray());
        const QString inForce = lpstatDefault();
        const QString own = QString::fromUtf8(c.ownDestination);
        EXPECT_EQ(inForce, own.isEmpty() ? QString::fromUtf8(c.serverQueue) : own);

        const quendrel::platform::DefaultPrinter before = control.ReadDefaultPrinter();
        EXPECT_EQ(before.origin, !own.isEmpty() ? Origin::Own : *c.serverQueue ? Origin::Server : Origin::None);
        EXPECT_EQ(before.destination, inForce);
        EXPECT_EQ(control.GetDefaultPrinter(), before.deviceName);

        ASSERT_TRUE(control.MakeDefaultPrinter(kPdfPrinter));
        EXPECT_EQ(lpstatDefault(), kQueue);
        EXPECT_TRUE(control.MakeDefaultPrinter(before));
        EXPECT_EQ(lpstatDefault(), inForce);
        // Exactly the user's own choices again: no Default line where there
        // was none, the instance with its options where there was one.
        EXPECT_EQ(readFile(lpoptions.path()).value_or(QByteArray()), choicesBefore);
        EXPECT_TRUE(dialogs.shown.empty());
    }
}

}  // namespace
