#include "pdfprinter/job_origin.h"

#include "pdfprinter/file_io.h"

#include <cstdlib>

namespace marrowby {
namespace {

bool isThisMachine(const std::string& host) {
    return host == "localhost" || host == "127.0.0.1" || host == "::1" || host == "[::1]";
}

}  // namespace

std::string jobOptionValue(const std::string& options, const std::string& name) {
    std::size_t at = 0;
    while (at < options.size()) {
        while (at < options.size() && options[at] == ' ') ++at;
        std::string key, value;
        while (at < options.size() && options[at] != '=' && options[at] != ' ') key += options[at++];
        if (at < options.size() && options[at] == '=') {
            ++at;
            char quote = 0;
            while (at < options.size() && (quote || options[at] != ' ')) {
                const char c = options[at++];
                if (c == '\\' && at < options.size()) {
                    value += options[at++];
                } else if (quote && c == quote) {
                    quote = 0;
                } else if (!quote && (c == '\'' || c == '"')) {
                    quote = c;
                } else {
                    value += c;
                }
            }
        }
        if (key == name) return value;
    }
    return {};
}

JobOrigin jobOriginOf(const char* authUid, const char* authUsername, const std::string& options) {
    JobOrigin origin{authUid ? authUid : "", authUsername ? authUsername : "",
                     jobOptionValue(options, "job-originating-host-name")};
    const std::string created = jobOptionValue(options, "time-at-creation");
    char* end = nullptr;
    const long long seconds = std::strtoll(created.c_str(), &end, 10);
    if (!created.empty() && *end == '\0' && seconds > 0) origin.createdAt = seconds;
    return origin;
}

std::string whyUserIsNotVouchedFor(const JobOrigin& origin, const std::string& user, uid_t uid) {
    if (origin.authUid.empty())
        return "the scheduler did not establish who submitted the job for " + quoted(user) +
               " (a queue without the printer's operation policy, or a job moved here from another queue)";
    if (origin.authUid != std::to_string(uid) || origin.authUsername != user)
        return "the job names the user " + quoted(user) + " but the scheduler authenticated " +
               quoted(origin.authUsername) + " (uid " + origin.authUid + ")";
    if (!isThisMachine(origin.host)) return "jobs from other hosts are refused (" + quoted(origin.host) + ")";
    return {};
}

}  // namespace marrowby
