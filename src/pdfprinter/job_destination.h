#pragma once
// Where one job of a user goes: to the file the tool pointed the printer at,
// into the user's PDF folder, or nowhere (the job fails). Reads the user's
// control values and takes the mark that armed the printer, so it must run
// with the user's rights, once per job.
#include <string>

namespace marrowby {

struct JobDestination {
    enum Kind { OutputFile, PdfFolder, Refused };
    Kind kind = PdfFolder;
    std::string target;  // OutputFile: the file to write
    std::string reason;  // PdfFolder: why not OutputFile; Refused: what is wrong
};

// The tool submits its job right after it points the printer: a job created
// before the pointing, or this long after it, is not the pointed job.
inline constexpr long long kPointingLifetimeSeconds = 10 * 60;
// The clock of a home folder on a file server may run a little ahead.
inline constexpr long long kClockSlackSeconds = 10;

// OutputFile only when "BypassSaveAs" is "1" and this job, created at
// `jobCreatedAt` (seconds since the epoch), took a mark written shortly
// before that names the current "OutputFile"; Refused when so armed but
// "OutputFile" cannot be read; the PDF folder for every other job. A job
// created before the mark leaves it for the job it was written for; a mark
// too old for any job to come is taken away.
JobDestination chooseJobDestination(const std::string& home, long long jobCreatedAt);

}  // namespace marrowby
