#pragma once
// Whether the scheduler vouched for a job's user. The backend writes a job
// with its user's rights, so that user must be the account that submitted
// it on this machine, not a name the client merely claimed (`lp -U`). The
// queue's operation policy makes cupsd authenticate job creation, on its
// local socket by the peer's own credentials; cupsd then hands the backend
// the account it established as AUTH_UID and AUTH_USERNAME. A job without
// them was never authenticated: created under another policy, or on another
// queue and moved here.
#include <string>
#include <sys/types.h>

namespace marrowby {

struct JobOrigin {
    std::string authUid;       // AUTH_UID as cupsd set it; empty when unset
    std::string authUsername;  // AUTH_USERNAME
    std::string host;          // job-originating-host-name from the job's options
    long long createdAt = 0;   // time-at-creation from the job's options; 0 when unknown
};

// The value of one option in cupsd's options argument ("name=value
// name='quoted value' ..."), unquoted; empty when the job has no such option.
std::string jobOptionValue(const std::string& options, const std::string& name);

// What cupsd tells the backend about the job's origin: its environment and
// the options argument ("name=value name='quoted value' ...").
JobOrigin jobOriginOf(const char* authUid, const char* authUsername, const std::string& options);

// Empty when the scheduler established the account `user` / `uid` as the
// submitter of the job on this machine; otherwise why the job must not be
// written.
std::string whyUserIsNotVouchedFor(const JobOrigin& origin, const std::string& user, uid_t uid);

}  // namespace marrowby
