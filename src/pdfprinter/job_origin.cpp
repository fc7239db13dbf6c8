#include "pdfprinter/job_origin.h"

#include "pdfprinter/file_io.h"
#include "pdfprinter/printer_names.h"

#include <cups/cups.h>
#include <memory>

namespace marrowby {
namespace {

struct IppDeleter {
    void operator()(ipp_t* ipp) const { ippDelete(ipp); }
};
using Ipp = std::unique_ptr<ipp_t, IppDeleter>;

struct HttpCloser {
    void operator()(http_t* http) const { httpClose(http); }
};

std::string text(ipp_t* response, const char* name, ipp_tag_t tag) {
    ipp_attribute_t* attribute = ippFindAttribute(response, name, tag);
    const char* value = attribute ? ippGetString(attribute, 0, nullptr) : nullptr;
    return value ? value : "";
}

std::string printerUri(const std::string& queue) {
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", ippPort(), "/printers/%s",
                     queue.c_str());
    return uri;
}

// Sends one request and gives the answer when the scheduler granted it.
Ipp ask(http_t* http, ipp_t* request, const char* what, std::string& error) {
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    Ipp response(cupsDoRequest(http, request, "/"));
    if (!response || ippGetStatusCode(response.get()) > IPP_STATUS_OK_CONFLICTING) {
        error = std::string("the scheduler does not tell ") + what + ": " + cupsLastErrorString();
        return nullptr;
    }
    return response;
}

// The path of an ipp URI: "/printers/<queue>" for a job created on a queue.
std::string resourceOf(const std::string& uri) {
    char scheme[32], userpass[256], host[256], resource[1024];
    int port = 0;
    if (httpSeparateURI(HTTP_URI_CODING_ALL, uri.c_str(), scheme, sizeof scheme, userpass, sizeof userpass, host,
                        sizeof host, &port, resource, sizeof resource) < HTTP_URI_STATUS_OK)
        return {};
    return resource;
}

bool isThisMachine(const std::string& host) {
    return host == "localhost" || host == "127.0.0.1" || host == "::1" || host == "[::1]";
}

}  // namespace

std::optional<JobOrigin> askSchedulerAboutJob(int jobId, const std::string& queue, std::string& error) {
    std::unique_ptr<http_t, HttpCloser> http(
        httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, 10000, nullptr));
    if (!http) {
        error = "the scheduler does not answer";
        return std::nullopt;
    }
    const std::string uri = printerUri(queue);

    ipp_t* jobRequest = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
    ippAddString(jobRequest, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri.c_str());
    ippAddInteger(jobRequest, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "job-id", jobId);
    static const char* const jobAttributes[] = {"job-originating-user-name", "job-originating-host-name",
                                                "printer-uri"};
    ippAddStrings(jobRequest, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 3, nullptr,
                  jobAttributes);
    Ipp job = ask(http.get(), jobRequest, "who submitted the job", error);
    if (!job) return std::nullopt;

    ipp_t* printerRequest = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    ippAddString(printerRequest, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri.c_str());
    ippAddString(printerRequest, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr,
                 "printer-op-policy");
    Ipp printer = ask(http.get(), printerRequest, "the queue's operation policy", error);
    if (!printer) return std::nullopt;

    return JobOrigin{text(job.get(), "job-originating-user-name", IPP_TAG_NAME),
                     text(job.get(), "job-originating-host-name", IPP_TAG_NAME),
                     text(job.get(), "printer-uri", IPP_TAG_URI),
                     text(printer.get(), "printer-op-policy", IPP_TAG_NAME)};
}

std::string whyUserIsNotVouchedFor(const JobOrigin& origin, const std::string& user, const std::string& queue) {
    if (origin.queuePolicy != kJobPolicyName)
        return "the queue " + quoted(queue) + " runs under the operation policy " + quoted(origin.queuePolicy) +
               ", not " + quoted(kJobPolicyName) + ", so its job owners are unproven; reinstall the printer";
    if (origin.user != user)
        return "the job names the user " + quoted(user) + " but the scheduler says " + quoted(origin.user);
    if (!isThisMachine(origin.host)) return "jobs from other hosts are refused (" + quoted(origin.host) + ")";
    if (resourceOf(origin.createdOn) != "/printers/" + queue)
        return "the job was created on " + quoted(origin.createdOn) + " and moved to " + quoted(queue) +
               "; its owner is unproven";
    return {};
}

}  // namespace marrowby
