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

// OutputFile only when "BypassSaveAs" is "1" and this job took a mark that
// names the current "OutputFile"; Refused when so armed but "OutputFile"
// cannot be read; the PDF folder for every other job.
JobDestination chooseJobDestination(const std::string& home);

}  // namespace marrowby
