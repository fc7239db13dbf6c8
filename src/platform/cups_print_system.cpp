#include "cups_print_system.h"

#include <QByteArrayList>
#include <QFile>
#include <cups/cups.h>
#include <memory>
#include <pwd.h>
#include <unistd.h>

namespace quendrel::platform {
namespace {

// Answers "stop waiting" to libcups once the reply time is up.
int giveUpWaiting(http_t*, void*) { return 0; }

class Connection {
public:
    Connection(int connectTimeoutMs, int replyTimeoutMs)
        : http_(httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1,
                             connectTimeoutMs, nullptr)) {
        if (http_) httpSetTimeout(http_, replyTimeoutMs / 1000.0, giveUpWaiting, nullptr);
    }
    ~Connection() {
        if (http_) httpClose(http_);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    http_t* get() const { return http_; }
    explicit operator bool() const { return http_ != nullptr; }

private:
    http_t* http_;
};

class Destinations {
public:
    explicit Destinations(http_t* http) { count_ = cupsGetDests2(http, &dests_); }
    ~Destinations() { cupsFreeDests(count_, dests_); }
    Destinations(const Destinations&) = delete;
    Destinations& operator=(const Destinations&) = delete;
    int count() const { return count_; }
    cups_dest_t* data() const { return dests_; }
    cups_dest_t* begin() const { return dests_; }
    cups_dest_t* end() const { return dests_ + count_; }
    // An empty list is only an answer when the scheduler said so.
    bool failed() const {
        const ipp_status_t status = cupsLastError();
        return count_ == 0 && status > IPP_STATUS_OK_CONFLICTING && status != IPP_STATUS_ERROR_NOT_FOUND;
    }

private:
    cups_dest_t* dests_ = nullptr;
    int count_ = 0;
};

QString lastError() { return QString::fromUtf8(cupsLastErrorString()); }

QString noAnswer() { return QStringLiteral("The print system (CUPS) does not answer"); }

// Desktops show a queue by its description; a queue without one by its name.
QString deviceNameOf(const cups_dest_t& dest) {
    const char* info = cupsGetOption("printer-info", dest.num_options, dest.options);
    return QString::fromUtf8(info && *info ? info : dest.name);
}

// Instances (queue/instance in lpoptions) are option sets, not printers.
bool isPrinter(const cups_dest_t& dest) { return dest.instance == nullptr; }

// How lpoptions and lpstat name a destination.
QString destinationOf(const cups_dest_t& dest) {
    QString name = QString::fromUtf8(dest.name);
    if (dest.instance) name += QLatin1Char('/') + QString::fromUtf8(dest.instance);
    return name;
}

cups_dest_t* findDestination(const Destinations& dests, const QString& destination) {
    const QByteArray name = destination.section(QLatin1Char('/'), 0, 0).toUtf8();
    const QByteArray instance = destination.section(QLatin1Char('/'), 1).toUtf8();
    return cupsGetDest(name.constData(), instance.isEmpty() ? nullptr : instance.constData(), dests.count(),
                       dests.data());
}

// Writes the user's lpoptions with the chosen destination as the Default
// line, or with none when nothing is chosen; every other line stays.
bool writeDefault(http_t* http, const Destinations& dests, cups_dest_t* chosen) {
    for (cups_dest_t& dest : dests) dest.is_default = 0;
    if (chosen) chosen->is_default = 1;
    return cupsSetDests2(http, dests.count(), dests.data()) == 0;
}

// The user's own default as lpoptions holds it, read the way libcups reads
// it; an unreadable file is a failure, a missing one means none.
QString ownDefault() {
    QFile file(CupsPrintSystem::userOptionsPath());
    if (!file.exists()) return QString();
    if (!file.open(QIODevice::ReadOnly))
        throw PrintFailure(kNoPrinterInformationError,
                           QStringLiteral("The printer settings cannot be read: ") + file.errorString());
    return CupsPrintSystem::ownDefaultIn(file.readAll());
}

ipp_t* jobRequest(ipp_op_t operation, int jobId) {
    ipp_t* request = ippNewRequest(operation);
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", ippPort(), "/jobs/%d",
                     jobId);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, uri);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    return request;
}

struct IppDeleter {
    void operator()(ipp_t* ipp) const { ippDelete(ipp); }
};
using IppResponse = std::unique_ptr<ipp_t, IppDeleter>;

}  // namespace

CupsPrintSystem::CupsPrintSystem(int connectTimeoutMs, int replyTimeoutMs)
    : connectTimeoutMs_(connectTimeoutMs), replyTimeoutMs_(replyTimeoutMs) {}

QStringList CupsPrintSystem::printerDeviceNames() {
    Connection http(connectTimeoutMs_, replyTimeoutMs_);
    if (!http) throw Failure(noAnswer());
    Destinations dests(http.get());
    if (dests.failed()) throw Failure(QStringLiteral("The printers cannot be listed: ") + lastError());
    QStringList names;
    for (const cups_dest_t& dest : dests)
        if (isPrinter(dest)) names.append(deviceNameOf(dest));
    return names;
}

QString CupsPrintSystem::defaultPrinterDeviceName() { return defaultPrinter().deviceName; }

DefaultPrinter CupsPrintSystem::defaultPrinter() {
    Connection http(connectTimeoutMs_, replyTimeoutMs_);
    if (!http) throw PrintFailure(kNoPrinterInformationError, noAnswer());
    Destinations dests(http.get());
    if (dests.failed())
        throw PrintFailure(kNoPrinterInformationError,
                           QStringLiteral("The printers cannot be listed: ") + lastError());
    const cups_dest_t* dest = cupsGetDest(nullptr, nullptr, dests.count(), dests.data());
    if (!dest) return {DefaultPrinter::Origin::None, {}, {}};
    const QString destination = destinationOf(*dest);
    // A Default line that names a queue which is gone leads nowhere: the
    // default in force is then the server's.
    const bool own = ownDefault().compare(destination, Qt::CaseInsensitive) == 0;
    return {own ? DefaultPrinter::Origin::Own : DefaultPrinter::Origin::Server, destination, deviceNameOf(*dest)};
}

bool CupsPrintSystem::setDefaultPrinter(const QString& deviceName) {
    Connection http(connectTimeoutMs_, replyTimeoutMs_);
    if (!http) return false;
    Destinations dests(http.get());
    for (cups_dest_t& dest : dests)
        if (isPrinter(dest) && deviceNameOf(dest) == deviceName) return writeDefault(http.get(), dests, &dest);
    return false;
}

bool CupsPrintSystem::restoreDefaultPrinter(const DefaultPrinter& previous) {
    if (previous.origin == DefaultPrinter::Origin::Unread) return false;
    Connection http(connectTimeoutMs_, replyTimeoutMs_);
    if (!http) return false;
    Destinations dests(http.get());
    if (dests.failed()) return false;
    if (previous.origin != DefaultPrinter::Origin::Own) return writeDefault(http.get(), dests, nullptr);
    cups_dest_t* chosen = findDestination(dests, previous.destination);
    return chosen && writeDefault(http.get(), dests, chosen);
}

QString CupsPrintSystem::userOptionsPath() {
    // libcups writes root's choices into the server's folder.
    if (::getuid() == 0) return qEnvironmentVariable("CUPS_SERVERROOT", QStringLiteral("/etc/cups")) + QStringLiteral("/lpoptions");
    QByteArray home = qgetenv("HOME");
    if (home.isEmpty()) {
        const struct passwd* account = ::getpwuid(::getuid());
        if (account) home = account->pw_dir;
    }
    return QString::fromLocal8Bit(home) + QStringLiteral("/.cups/lpoptions");
}

QString CupsPrintSystem::ownDefaultIn(const QByteArray& lpoptions) {
    // Each line is a keyword and its words, blank-separated ("Default
    // queue/instance option=value ..."); the last Default line counts.
    QString destination;
    for (const QByteArray& line : lpoptions.split('\n')) {
        const QByteArrayList words = line.simplified().split(' ');
        if (words.size() >= 2 && words[0].compare("default", Qt::CaseInsensitive) == 0)
            destination = QString::fromUtf8(words[1]);
    }
    return destination;
}

int CupsPrintSystem::submitPdfToDefault(const QString& pdfPath, const QString& title) {
    QFile file(pdfPath);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("Cannot read the file to print: ") + file.errorString());
    Connection http(connectTimeoutMs_, replyTimeoutMs_);
    if (!http) throw Failure(noAnswer());
    Destinations dests(http.get());
    const cups_dest_t* dest = nullptr;
    if (jobPrinter_.isEmpty()) {
        dest = cupsGetDest(nullptr, nullptr, dests.count(), dests.data());
        if (!dest) throw Failure(QStringLiteral("There is no default printer to print to"));
    } else {
        for (const cups_dest_t& candidate : dests)
            if (!dest && isPrinter(candidate) && deviceNameOf(candidate) == jobPrinter_) dest = &candidate;
        if (!dest) throw Failure(QStringLiteral("There is no printer \"%1\" to print to").arg(jobPrinter_));
    }

    const QByteArray titleText = title.toUtf8();
    cups_option_t* options = nullptr;
    int optionCount = 0;
    for (auto option = jobOptions_.cbegin(); option != jobOptions_.cend(); ++option)
        optionCount = cupsAddOption(option.key().constData(), option.value().constData(), optionCount, &options);
    const int jobId = cupsCreateJob(http.get(), dest->name, titleText.constData(), optionCount, options);
    cupsFreeOptions(optionCount, options);
    if (jobId <= 0) throw Failure(QStringLiteral("The print job was refused: ") + lastError());

    auto abandon = [&](const QString& why) {
        const QString reason = why + lastError();
        cancelJob(jobId);
        throw Failure(reason);
    };
    if (cupsStartDocument(http.get(), dest->name, jobId, titleText.constData(), CUPS_FORMAT_PDF, 1) !=
        HTTP_STATUS_CONTINUE)
        abandon(QStringLiteral("The print job could not be started: "));
    char buffer[65536];
    for (;;) {
        const qint64 got = file.read(buffer, sizeof buffer);
        if (got < 0) {
            cupsFinishDocument(http.get(), dest->name);
            cancelJob(jobId);
            throw Failure(QStringLiteral("Cannot read the file to print: ") + file.errorString());
        }
        if (got == 0) break;
        if (cupsWriteRequestData(http.get(), buffer, static_cast<size_t>(got)) != HTTP_STATUS_CONTINUE)
            abandon(QStringLiteral("The print job could not be sent: "));
    }
    if (cupsFinishDocument(http.get(), dest->name) > IPP_STATUS_OK_CONFLICTING)
        abandon(QStringLiteral("The print job was not accepted: "));
    return jobId;
}

JobState CupsPrintSystem::jobState(int jobId) {
    Connection http(connectTimeoutMs_, replyTimeoutMs_);
    if (!http) return JobState::Unknown;
    ipp_t* request = jobRequest(IPP_OP_GET_JOB_ATTRIBUTES, jobId);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr, "job-state");
    IppResponse response(cupsDoRequest(http.get(), request, "/"));
    if (!response || cupsLastError() > IPP_STATUS_OK_CONFLICTING) return JobState::Unknown;
    ipp_attribute_t* state = ippFindAttribute(response.get(), "job-state", IPP_TAG_ENUM);
    if (!state) return JobState::Unknown;
    switch (static_cast<ipp_jstate_t>(ippGetInteger(state, 0))) {
    case IPP_JSTATE_PENDING:
    case IPP_JSTATE_HELD:
    case IPP_JSTATE_PROCESSING:
    case IPP_JSTATE_STOPPED:
        return JobState::Pending;
    case IPP_JSTATE_COMPLETED:
        return JobState::Finished;
    case IPP_JSTATE_CANCELED:
    case IPP_JSTATE_ABORTED:
        return JobState::Failed;
    }
    return JobState::Unknown;
}

void CupsPrintSystem::setJobOption(const QString& name, const QString& value) {
    if (value.isEmpty())
        jobOptions_.remove(name.toUtf8());
    else
        jobOptions_.insert(name.toUtf8(), value.toUtf8());
}

QString CupsPrintSystem::jobPrinterMessage(int jobId) {
    Connection http(connectTimeoutMs_, replyTimeoutMs_);
    if (!http) return {};
    ipp_t* request = jobRequest(IPP_OP_GET_JOB_ATTRIBUTES, jobId);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr,
                 "job-printer-state-message");
    IppResponse response(cupsDoRequest(http.get(), request, "/"));
    if (!response || cupsLastError() > IPP_STATUS_OK_CONFLICTING) return {};
    ipp_attribute_t* message = ippFindAttribute(response.get(), "job-printer-state-message", IPP_TAG_TEXT);
    return message ? QString::fromUtf8(ippGetString(message, 0, nullptr)) : QString();
}

void CupsPrintSystem::cancelJob(int jobId) {
    Connection http(connectTimeoutMs_, replyTimeoutMs_);
    if (!http) return;
    IppResponse response(cupsDoRequest(http.get(), jobRequest(IPP_OP_CANCEL_JOB, jobId), "/"));
}

}  // namespace quendrel::platform
