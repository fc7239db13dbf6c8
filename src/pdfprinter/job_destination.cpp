#include "pdfprinter/job_destination.h"

#include "pdfprinter/control_values.h"
#include "pdfprinter/printer_names.h"

namespace marrowby {
namespace {

JobDestination intoPdfFolder(std::string reason) {
    return {JobDestination::PdfFolder, {}, std::move(reason)};
}

}  // namespace

JobDestination chooseJobDestination(const std::string& home, long long jobCreatedAt) {
    const ControlValue bypass = readControlValue(home, kBypassSaveAsValue);
    if (bypass.status != ControlValue::Found || bypass.text != "1")
        return intoPdfFolder(bypass.status == ControlValue::Unreadable ? bypass.error : "BypassSaveAs is not \"1\"");

    const ControlValue armed = readControlValue(home, kJobMarkValue);
    if (armed.status != ControlValue::Found)
        return intoPdfFolder(armed.status == ControlValue::Unreadable
                                 ? armed.error
                                 : "the printer was not pointed at a file for this job");
    // A pointing someone else could have written never steers a job.
    if (std::string why = whyControlFolderIsNotPrivate(home); !why.empty()) return intoPdfFolder(why);
    if (jobCreatedAt < armed.writtenAt - kClockSlackSeconds)
        return intoPdfFolder("the job is older than the printer's pointing, which waits for its own job");
    const bool stale = jobCreatedAt > armed.writtenAt + kPointingLifetimeSeconds;

    // Taken before OutputFile is read: a pointing written after this job took
    // its mark keeps its own mark for its own job.
    const ControlValue mark = takeControlValue(home, kJobMarkValue);
    if (stale) return intoPdfFolder("the printer's pointing was too old for this job and is withdrawn");
    if (mark.status != ControlValue::Found || mark.text != armed.text || mark.writtenAt != armed.writtenAt)
        return intoPdfFolder("another job took the printer's pointing");

    const ControlValue output = readControlValue(home, kOutputFileValue);
    if (output.status == ControlValue::Unreadable) return {JobDestination::Refused, {}, output.error};
    if (output.status == ControlValue::Missing) return {JobDestination::Refused, {}, "OutputFile is not set"};
    if (output.text != mark.text) return intoPdfFolder("OutputFile changed after the printer was pointed at a file");
    return {JobDestination::OutputFile, output.text, {}};
}

}  // namespace marrowby
