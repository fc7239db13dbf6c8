#pragma once
// The account a print job belongs to, and becoming that account. CUPS starts
// the backend as root; everything the job touches of the user's must be done
// with the user's own rights, so that a job can never write where its user
// could not.
#include <optional>
#include <string>
#include <sys/types.h>

namespace marrowby {

struct JobUser {
    std::string name;
    uid_t uid = 0;
    gid_t gid = 0;
    std::string home;
};

// Looks the job's user up among the system's accounts. Refuses root: jobs are
// never written with root's rights.
std::optional<JobUser> lookUpJobUser(const std::string& name, std::string& error);

// Drops every right of root for good: the user's groups, group and user ids,
// and then checks that root cannot be regained. Running as that user already
// is accepted as is.
bool becomeJobUser(const JobUser& user, std::string& error);

}  // namespace marrowby
