// The CUPS backend of "Marrowby PDF Writer": turns each job (already a PDF)
// into a file of the job's user. Started by CUPS as root; see job_user.h.
//
//   marrowby                                   device discovery line
//   marrowby job-id user title copies options [file]
//
// The job comes from `file` or standard input. Progress and failures go to
// standard error as INFO:/ERROR:/DEBUG: lines for the CUPS log, always valid
// UTF-8. Before anything else the backend checks that the scheduler
// established `user` as the account that submitted the job (job_origin.h),
// and refuses it otherwise. The job is then written by a child process with
// the user's rights, under this process's time limit (writer_supervisor.h).
#include "pdfprinter/file_io.h"
#include "pdfprinter/job_destination.h"
#include "pdfprinter/job_file_name.h"
#include "pdfprinter/job_origin.h"
#include "pdfprinter/job_user.h"
#include "pdfprinter/pdf_output.h"
#include "pdfprinter/printer_names.h"
#include "pdfprinter/writer_supervisor.h"

#include <cups/backend.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace marrowby;

volatile int g_cancelled = 0;

// The keeper: a cancelled job ends with SIGTERM; the writer is stopped and
// its half-written file removed by runJobWriter.
void onCancel(int) { g_cancelled = 1; }

// The writer: the half-written file must not stay.
void onTerminate(int) {
    removeTemporaryFileFromSignalHandler();
    ::_exit(CUPS_BACKEND_FAILED);
}

void handleTerminationWith(void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGTERM, &action, nullptr);
    ::signal(SIGPIPE, SIG_IGN);
}

void logLine(const char* level, const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", level, escapedForLog(text).c_str());
}

// One failure, one line in the CUPS log. With the queue's abort-job policy
// only this job is aborted; the printer goes on with the next one.
int fail(const std::string& reason) {
    logLine("ERROR", "PDF not written: " + reason);
    return CUPS_BACKEND_FAILED;
}

OutputResult saveIntoPdfFolder(JobInput& job, const JobUser& user, const std::string& title) {
    const std::string folder = user.home + "/PDF";
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        OutputResult result;
        result.error = "cannot create the folder " + quoted(folder) + ": " + std::strerror(errno);
        return result;
    }
    return writeJobInto(job, folder, pdfFileNameForTitle(title));
}

// Runs with the user's rights: only now is anything of the user's touched.
int writeJob(const JobUser& user, const std::string& title, const std::string& pointing, int input) {
    handleTerminationWith(onTerminate);
    // A job that is refused anyway leaves its pointing alone.
    JobInput job(input);
    if (std::string problem = job.readStart(); !problem.empty()) return fail(problem);

    const JobDestination destination = chooseJobDestination(user.home, pointing);
    removeAbandonedPointings(user.home, static_cast<long long>(std::time(nullptr)));
    if (destination.kind == JobDestination::Refused) return fail(destination.reason);
    OutputResult result;
    if (destination.kind == JobDestination::OutputFile) {
        result = writeJobTo(job, destination.target);
    } else {
        logLine("DEBUG", "Saving into the PDF folder: " + destination.reason);
        result = saveIntoPdfFolder(job, user, title);
    }
    if (!result.ok()) return fail(result.error);

    logLine("DEBUG", "Wrote " + std::to_string(job.bytesCopied()) + " bytes to " + quoted(result.path));
    logLine("INFO", "PDF file saved");
    return CUPS_BACKEND_OK;
}

int printJob(const std::string& userName, const std::string& title, const std::string& options, int input) {
    std::string error;
    std::optional<JobUser> user = lookUpJobUser(userName, error);
    if (!user) return fail(error);
    const JobOrigin origin = jobOriginOf(std::getenv("AUTH_UID"), std::getenv("AUTH_USERNAME"), options);
    if (std::string why = whyUserIsNotVouchedFor(origin, user->name, user->uid); !why.empty()) return fail(why);
    const std::string pointing = jobOptionValue(options, kPointingOption);

    const WriterOutcome outcome = runJobWriter(
        *user, input, [&](int jobInput) { return writeJob(*user, title, pointing, jobInput); }, g_cancelled);
    if (outcome.kind == WriterOutcome::Exited) return outcome.exitCode;  // the writer said what happened
    if (outcome.kind == WriterOutcome::Cancelled) {
        logLine("INFO", "PDF not written: the job was cancelled");
        return CUPS_BACKEND_FAILED;
    }
    return fail(outcome.reason);
}

}  // namespace

int main(int argc, char** argv) {
    handleTerminationWith(onCancel);
    // CUPS starts backends with umask 077; a saved PDF should get the mode of
    // a file the user made under the common umask: 0644.
    ::umask(022);
    if (argc == 1) {
        std::printf("direct %s:/ \"%s\" \"%s\"\n", kBackendScheme, kPrinterName, kPrinterName);
        return CUPS_BACKEND_OK;
    }
    if (argc != 6 && argc != 7) {
        std::fprintf(stderr, "Usage: %s job-id user title copies options [file]\n", argv[0]);
        return CUPS_BACKEND_FAILED;
    }
    // The spool file is CUPS's, readable by root only: open it before the
    // rights are dropped.
    FileDescriptor jobFile(argc == 7 ? ::open(argv[6], O_RDONLY | O_CLOEXEC | O_NOCTTY) : -1);
    if (argc == 7 && !jobFile.valid()) {
        const int err = errno;
        return fail("cannot open the print job " + quoted(argv[6]) + ": " + std::strerror(err));
    }
    const int input = argc == 7 ? jobFile.get() : STDIN_FILENO;
    return printJob(argv[2], argv[3], argv[5], input);
}
