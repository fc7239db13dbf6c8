#pragma once
// Reading a list file's text into entries, the way the window's list import
// reads it: in the user's locale encoding, cut by the line rules of
// line_splitter.h.
#include "line_splitter.h"

class QIODevice;

namespace quendrel {

// Reads `file` to its end, handing each entry to the sink in order. Throws
// Failure when the file cannot be read.
void ReadListText(QIODevice& file, LineSplitter::Sink& sink);

}  // namespace quendrel
