#pragma once
// Who the scheduler says a job belongs to, and whether it vouched for that.
// The backend writes a job with its user's rights, so the user must be the
// account that submitted it on this machine: the queue's operation policy
// makes cupsd authenticate job creation (on its local socket by the peer's
// own credentials). A job created elsewhere and moved here, a queue set up
// without the policy, or a job from another host carries a name that is only
// a claim.
#include <optional>
#include <string>

namespace marrowby {

struct JobOrigin {
    std::string user;         // job-originating-user-name
    std::string host;         // job-originating-host-name
    std::string createdOn;    // the printer-uri the job was created with
    std::string queuePolicy;  // the queue's printer-op-policy now
};

// Asks the scheduler about the job and its queue. Gives nothing, with the
// reason in `error`, when it cannot be asked.
std::optional<JobOrigin> askSchedulerAboutJob(int jobId, const std::string& queue, std::string& error);

// Empty when the scheduler vouched for `user` as the submitter of this job on
// `queue`; otherwise why the job must not be written.
std::string whyUserIsNotVouchedFor(const JobOrigin& origin, const std::string& user, const std::string& queue);

}  // namespace marrowby
