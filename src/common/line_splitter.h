#pragma once
// Cuts the text of a list file into entries, fed in pieces of any size.
//
// A line ends at CR LF or at a CR alone. An LF alone does not end a line but
// splits it: each part before an LF is an entry of its own, and what follows
// the last LF is one more entry, empty when the line ends in the LF. Nothing is
// trimmed. Before each line and before each LF-separated part the sink is told
// to yield, so that the window can stay responsive.
#include <QString>
#include <QStringView>

namespace quendrel {

class LineSplitter {
public:
    class Sink {
    public:
        virtual ~Sink() = default;
        virtual void yield() = 0;
        virtual void entry(const QString& text) = 0;
    };

    explicit LineSplitter(Sink& sink) : sink_(sink) {}

    void feed(QStringView text);
    // The end of the text: a last line without a line end becomes an entry.
    void finish();

private:
    void emitEntry(QStringView tail);

    Sink& sink_;
    QString part_;  // the current part, when it began in an earlier piece
    bool inLine_ = false;
    bool afterCr_ = false;  // an LF right here belongs to the CR before it
};

}  // namespace quendrel
