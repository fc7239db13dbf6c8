#pragma once
// Names shared by the tool and the PDF printer's backend. Qt-free so the
// backend can use them too.

namespace marrowby {

// The printer's device name: what desktops show, what the tool looks for and
// makes the default, and what its messages name.
inline constexpr char kPrinterName[] = "Marrowby PDF Writer";
// The product the printer is installed with; named when it is missing.
inline constexpr char kProductName[] = "Quendrel";
// The CUPS queue; a queue name cannot hold blanks.
inline constexpr char kQueueName[] = "Marrowby_PDF_Writer";
// The backend's URI scheme and file name under the CUPS backend folder.
inline constexpr char kBackendScheme[] = "marrowby";

// The two per-user control values the tool writes before each job.
inline constexpr char kOutputFileValue[] = "OutputFile";
inline constexpr char kBypassSaveAsValue[] = "BypassSaveAs";
// A pointing serves exactly the job it was made for. The tool gives each
// pointing a fresh random token: it writes the job's file as the value
// kPointingValuePrefix + token, and the job carries the token as its option
// kPointingOption. The backend takes that value with the job that carries
// the token, so no other job (a later one, one of another run of the tool,
// or one of any other program) is ever steered by it.
inline constexpr char kPointingOption[] = "marrowby-pointing";
inline constexpr char kPointingValuePrefix[] = "Job";

}  // namespace marrowby
