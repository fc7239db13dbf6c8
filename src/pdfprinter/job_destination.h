#pragma once
// Where one job of a user goes: to the file the tool pointed the printer at
// for this very job, into the user's PDF folder, or nowhere (the job fails).
// Reads the user's control values and takes the job's pointing, so it must
// run with the user's rights, once per job.
#include <string>
#include <string_view>

namespace marrowby {

struct JobDestination {
    enum Kind { OutputFile, PdfFolder, Refused };
    Kind kind = PdfFolder;
    std::string target;  // OutputFile: the file to write
    std::string reason;  // PdfFolder: why not OutputFile; Refused: what is wrong
};

// A pointing whose job never came (the tool was killed, the job was
// cancelled) is removed after this long. Its age never decides where a job
// goes: a job may wait for hours behind other jobs and still takes its own.
inline constexpr long long kAbandonedPointingSeconds = 24 * 60 * 60;

// True for a token the tool makes: 32 lowercase hex digits.
bool isPointingToken(std::string_view token);

// OutputFile only when "BypassSaveAs" is "1" and the job carries the token
// `pointing` of a pointing that is still there: it is taken with this job, so
// no other job is steered by it. Refused when the pointing is there but
// cannot be read, or "OutputFile" is not set; the PDF folder for every other job (no token, a token of
// a pointing already taken, or a control folder others could write in).
JobDestination chooseJobDestination(const std::string& home, std::string_view pointing);

// Removes pointings last written before `now` - kAbandonedPointingSeconds.
void removeAbandonedPointings(const std::string& home, long long now);

}  // namespace marrowby
