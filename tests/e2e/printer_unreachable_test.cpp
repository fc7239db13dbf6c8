// A print system that is down or hangs: every call gives up quickly, and the
// PDF printer counts as missing.
#include "printer_e2e_support.h"
#include "saverun/printer_control.h"
#include "support/fake_platform.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cups/cups.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace {

using namespace printer_e2e;
using quendrel::platform::PrintFailure;

// Points libcups at another server for the length of a test.
class ServerOverride {
public:
    explicit ServerOverride(const QByteArray& server) { cupsSetServer(server.constData()); }
    ~ServerOverride() { cupsSetServer(nullptr); }
};

// A TCP port that accepts connections (the kernel does) and never answers.
class SilentServer {
public:
    SilentServer() {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(fd_, 16);
        socklen_t length = sizeof address;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
    }
    ~SilentServer() { ::close(fd_); }
    QByteArray server() const { return "127.0.0.1:" + QByteArray::number(port_); }

private:
    int fd_ = -1;
    int port_ = 0;
};

// Every call of the print system fails the way callers expect.
void expectEverythingFails(CupsPrintSystem& cups, const QString& pdf) {
    EXPECT_THROW(cups.printerDeviceNames(), quendrel::Failure);
    try {
        cups.defaultPrinterDeviceName();
        ADD_FAILURE() << "a default printer without a print system";
    } catch (const PrintFailure& failure) {
        EXPECT_EQ(failure.errorNumber(), quendrel::platform::kNoPrinterInformationError);
    }
    EXPECT_FALSE(cups.setDefaultPrinter(kPdfPrinter));
    EXPECT_THROW(cups.submitPdfToDefault(pdf, QStringLiteral("x")), quendrel::Failure);
    EXPECT_EQ(cups.jobState(1), JobState::Unknown);
    cups.cancelJob(1);

    quendrel::testing::FakeDialogs dialogs;
    quendrel::testing::FakePrinterControl values;
    quendrel::PrinterControl control(cups, values, dialogs, QStringLiteral("Quendrel"));
    EXPECT_FALSE(control.IsPdfPrinterInstalled());
    EXPECT_EQ(control.GetDefaultPrinter(), QString());
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_TRUE(dialogs.shown[0].text.startsWith(QStringLiteral("Can not continue.")));
    EXPECT_TRUE(dialogs.shown[1].text.startsWith(QStringLiteral("Error No: 484\r\n")));
}

class PrinterUnreachableTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        pdf = dir.filePath(QStringLiteral("a.pdf"));
        ASSERT_TRUE(writeFile(pdf, makePdf(QStringLiteral("x"))));
    }
    QTemporaryDir dir;
    QString pdf;
};

TEST_F(PrinterUnreachableTest, NoSchedulerAnswersAtOnce) {
    ServerOverride server(QFile::encodeName(dir.filePath(QStringLiteral("no-cupsd.sock"))));
    CupsPrintSystem cups;
    QElapsedTimer timer;
    timer.start();
    expectEverythingFails(cups, pdf);
    EXPECT_LT(timer.elapsed(), 5000);  // in fact a few milliseconds
}

TEST_F(PrinterUnreachableTest, AClosedPortAnswersAtOnce) {
    int port = 0;
    {
        SilentServer probe;  // a free port, closed again at once
        port = probe.server().split(':').last().toInt();
    }
    ServerOverride server("127.0.0.1:" + QByteArray::number(port));
    CupsPrintSystem cups;
    QElapsedTimer timer;
    timer.start();
    expectEverythingFails(cups, pdf);
    EXPECT_LT(timer.elapsed(), 5000);  // in fact a few milliseconds
}

TEST_F(PrinterUnreachableTest, ASchedulerThatNeverAnswersIsGivenUp) {
    SilentServer silent;
    ServerOverride server(silent.server());
    CupsPrintSystem cups(500, 500);
    QElapsedTimer timer;
    timer.start();
    EXPECT_THROW(cups.printerDeviceNames(), quendrel::Failure);
    EXPECT_EQ(cups.jobState(1), JobState::Unknown);
    // About 4.5 s here; without a reply limit libcups would wait far longer.
    EXPECT_LT(timer.elapsed(), 20000);
}

}  // namespace
