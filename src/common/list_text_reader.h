#pragma once
// Reading a list file's text into entries, the way the window's list import
// and the command line read it: in the user's locale encoding, cut by the
// line rules of line_splitter.h.
#include "line_splitter.h"
#include "platform/failure.h"

class QIODevice;

namespace quendrel {

// How much of a list is read before the reading gives up. 0: no bound.
struct ListTextBounds {
    qint64 lineBytes = 0;   // of one line, its line end left out
    qint64 totalBytes = 0;  // of the whole text
};

// The text passed one of its bounds; the reading stopped there.
class ListTextTooLong : public Failure {
public:
    using Failure::Failure;
};

// Reads `file` to its end, handing each entry to the sink in order. Throws
// Failure when the file cannot be read, ListTextTooLong when it passes a
// bound: then at most a block (1 MiB) beyond the bound has been read.
void ReadListText(QIODevice& file, LineSplitter::Sink& sink, ListTextBounds bounds = {});

}  // namespace quendrel
