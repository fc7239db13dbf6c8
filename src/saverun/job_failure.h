#pragma once
// Why a print job failed, in a user's words, from what the printer said.
#include <QString>

namespace quendrel {

// "the disk is full", "the folder does not exist" or "no right to write into
// the folder" when the printer's message says so; otherwise "printer job
// failed", followed by the printer's own words when it gave any.
QString ReasonForFailedJob(const QString& printerMessage);

}  // namespace quendrel
