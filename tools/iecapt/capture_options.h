#pragma once
// The command line of iecapt.
#include "engine/chromium_process.h"

#include <QString>
#include <QStringList>

namespace iecapt {

inline constexpr int kDefaultMaxWaitMs = 60000;
inline constexpr int kLongestMaxWaitMs = 600000;

struct CaptureOptions {
    QString address;
    QString outputPath;
    int maxWaitMs = kDefaultMaxWaitMs;
    bool keepConsentDialogs = false;  // consent dialogs stay in the picture
    bool helpAsked = false;
};

struct ParsedOptions {
    CaptureOptions options;
    QString error;  // empty when the command line is usable
};

// Reads the arguments after the program name. Each option comes as
// --name=value or as --name followed by the value in the next argument.
// Unknown options, stray arguments, a missing or repeated --url or --out and
// a time limit outside 1..600000 ms are errors.
ParsedOptions parseCaptureOptions(const QStringList& arguments);

QString usageText();

// The engine to capture with: the one a run lends through its channel named
// by QUENDREL_ENGINE_FD, when that names an open socket; otherwise one of the
// program's own. The variable is taken out of the environment once read.
quendrel::engine::ChromiumOptions CaptureEngineOptions();

}  // namespace iecapt
