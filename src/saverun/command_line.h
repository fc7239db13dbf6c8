#pragma once
// Command lines are written the way Windows programs write them: one string,
// arguments separated by blanks, double quotes grouping, backslashes escaping
// quotes. Programs are started from the argument vector that these rules give,
// never through a shell.
#include <QString>
#include <QStringList>

namespace quendrel {

// Splits a command line into its argument vector.
// - The first token, the program, ends at the next blank or tab; when it
//   begins with a double quote it runs to the next double quote instead, and
//   backslashes in it are plain characters.
// - In every later token blanks and tabs outside quotes separate arguments;
//   a double quote opens or closes a quoted part; 2n backslashes before a
//   quote give n backslashes and the quote opens or closes, 2n+1 give n
//   backslashes and a literal quote; backslashes before anything else are
//   plain; "" inside a quoted part gives one literal quote and the part goes on.
// A quoted empty part ("") is an empty argument; a command line of blanks only
// gives an empty vector.
QStringList SplitWindowsCommandLine(const QString& commandLine);

// Encloses one argument in double quotes so that SplitWindowsCommandLine gives
// it back unchanged as one argument, whatever blanks, quotes or backslashes it
// holds. Not for the program token, which cannot carry a double quote.
QString QuoteWindowsArgument(const QString& argument);

// The command line that runs the capture program beside the executable for one
// address: the quoted program path, then --url= and --out= each followed by a
// quoted value. Splitting it gives exactly
//   [programFolder + "/iecapt", "--url=" + address, "--out=" + capturePath],
// so an address holding blanks, quotes or a second --out= can neither split
// nor redirect the capture. Throws Failure when the program folder holds a
// double quote, which no program token can carry.
QString CaptureCommandLine(const QString& programFolder, const QString& address,
                           const QString& capturePath);

}  // namespace quendrel
