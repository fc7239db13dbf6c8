#include "pdfprinter/job_destination.h"

#include "pdfprinter/control_values.h"
#include "pdfprinter/printer_names.h"

namespace marrowby {
namespace {

JobDestination intoPdfFolder(std::string reason) {
    return {JobDestination::PdfFolder, {}, std::move(reason)};
}

}  // namespace

JobDestination chooseJobDestination(const std::string& home) {
    const ControlValue bypass = readControlValue(home, kBypassSaveAsValue);
    if (bypass.status != ControlValue::Found || bypass.text != "1")
        return intoPdfFolder(bypass.status == ControlValue::Unreadable ? bypass.error : "BypassSaveAs is not \"1\"");

    // Taken before OutputFile is read: a pointing written after this job took
    // its mark keeps its own mark for its own job.
    const ControlValue mark = takeControlValue(home, kJobMarkValue);
    if (mark.status != ControlValue::Found)
        return intoPdfFolder(mark.status == ControlValue::Unreadable
                                 ? mark.error
                                 : "the printer was not pointed at a file for this job");

    const ControlValue output = readControlValue(home, kOutputFileValue);
    if (output.status == ControlValue::Unreadable) return {JobDestination::Refused, {}, output.error};
    if (output.status == ControlValue::Missing) return {JobDestination::Refused, {}, "OutputFile is not set"};
    if (output.text != mark.text) return intoPdfFolder("OutputFile changed after the printer was pointed at a file");
    return {JobDestination::OutputFile, output.text, {}};
}

}  // namespace marrowby
