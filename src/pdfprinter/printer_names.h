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
// Written last, holding the OutputFile text: arms the printer for exactly one
// job. The backend takes it away with the job it writes to OutputFile, so no
// later job (of the tool or of any other program) replaces that file.
inline constexpr char kJobMarkValue[] = "JobMark";

}  // namespace marrowby
