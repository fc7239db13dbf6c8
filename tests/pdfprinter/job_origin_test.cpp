// Whether the scheduler vouched for a job's user: only a job created on the
// printer's own queue, under its policy, from this machine, by that user.
#include "pdfprinter/job_origin.h"
#include "pdfprinter/printer_names.h"

#include <gtest/gtest.h>

namespace {

using marrowby::JobOrigin;

TEST(JobOriginTest, OnlyAJobTheSchedulerAuthenticatedOnThisQueueIsVouchedFor) {
    const std::string queue = "Marrowby_PDF_Writer";
    const JobOrigin sound{"alice", "localhost", "ipp://%2Frun%2Fcups%2Fcups.sock:631/printers/Marrowby_PDF_Writer",
                          marrowby::kJobPolicyName};
    struct Case {
        const char* name;
        JobOrigin origin;
        bool vouched;
    };
    auto with = [&](auto change) {
        JobOrigin origin = sound;
        change(origin);
        return origin;
    };
    const Case cases[] = {
        {"created here over the local socket", sound, true},
        {"created here over loopback TCP",
         with([](JobOrigin& o) { o.createdOn = "ipp://localhost:631/printers/Marrowby_PDF_Writer"; }), true},
        {"queue under the default policy", with([](JobOrigin& o) { o.queuePolicy = "default"; }), false},
        {"queue without a policy answer", with([](JobOrigin& o) { o.queuePolicy.clear(); }), false},
        {"another user", with([](JobOrigin& o) { o.user = "bob"; }), false},
        {"another host", with([](JobOrigin& o) { o.host = "printhost.example.org"; }), false},
        {"moved from another queue",
         with([](JobOrigin& o) { o.createdOn = "ipp://localhost/printers/OfficeLaser"; }), false},
        {"created on a class", with([](JobOrigin& o) { o.createdOn = "ipp://localhost/classes/Marrowby_PDF_Writer"; }),
         false},
        {"a queue whose name starts like ours",
         with([](JobOrigin& o) { o.createdOn = "ipp://localhost/printers/Marrowby_PDF_Writer2"; }), false},
        {"no creation address", with([](JobOrigin& o) { o.createdOn.clear(); }), false},
    };
    for (const Case& c : cases) {
        const std::string why = marrowby::whyUserIsNotVouchedFor(c.origin, "alice", queue);
        EXPECT_EQ(why.empty(), c.vouched) << c.name << ": " << why;
    }
}

}  // namespace
