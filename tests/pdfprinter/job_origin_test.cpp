// Whether the scheduler vouched for a job's user: only when cupsd itself
// authenticated that very account, on this machine.
#include "pdfprinter/job_origin.h"

#include <gtest/gtest.h>

namespace {

TEST(JobOriginTest, OnlyAnAccountTheSchedulerAuthenticatedIsVouchedFor) {
    const char* local = "finishings=3 job-originating-host-name=localhost time-at-creation=1796729474";
    struct Case {
        const char* name;
        const char* authUid;
        const char* authUsername;
        const char* options;
        bool vouched;
    };
    const Case cases[] = {
        {"authenticated on the local socket", "1002", "alice", local, true},
        {"loopback address", "1002", "alice", "job-originating-host-name=127.0.0.1", true},
        {"host first, quoted", "1002", "alice", "job-originating-host-name='localhost' copies=1", true},
        {"never authenticated (other policy, or moved here)", nullptr, nullptr, local, false},
        {"an empty AUTH_UID", "", "alice", local, false},
        {"another uid", "1003", "alice", local, false},
        {"another name", "1002", "bob", local, false},
        {"a uid with more digits", "10020", "alice", local, false},
        {"another host", "1002", "alice", "job-originating-host-name=printhost.example.org", false},
        {"no host at all", "1002", "alice", "copies=1", false},
        {"the host only inside another option's value", "1002", "alice",
         "job-name='job-originating-host-name=localhost' job-originating-host-name=evil.example.org", false},
    };
    for (const Case& c : cases) {
        const std::string why =
            marrowby::whyUserIsNotVouchedFor(marrowby::jobOriginOf(c.authUid, c.authUsername, c.options), "alice", 1002);
        EXPECT_EQ(why.empty(), c.vouched) << c.name << ": " << why;
    }
}

TEST(JobOriginTest, TheJobsCreationTimeIsReadFromItsOptions) {
    const std::pair<const char*, long long> cases[] = {
        {"finishings=3 time-at-creation=1796729474 time-at-processing=1796729475", 1796729474},
        {"time-at-creation=", 0},
        {"time-at-creation=12ab", 0},
        {"time-at-creation=-5", 0},
        {"copies=1", 0},
    };
    for (const auto& [options, expected] : cases)
        EXPECT_EQ(marrowby::jobOriginOf("1", "a", options).createdAt, expected) << options;
}

}  // namespace
