#include "list_text_reader.h"

#include "platform/failure.h"

#include <QIODevice>
#include <QStringDecoder>

namespace quendrel {
namespace {

// Large blocks keep the cost per line down to the yield and the append.
constexpr qint64 kBlockSize = 1 << 20;

}  // namespace

void ReadListText(QIODevice& file, LineSplitter::Sink& sink) {
    // Each piece handed to the decoder ends just after a CR or LF byte, which no
    // multi-byte character of an ASCII-based encoding contains, so no
    // character is ever cut between two pieces and each piece decodes alone.
    // A byte-order mark stays in the text as the character it is.
    QStringDecoder decoder(QStringConverter::System, QStringConverter::Flag::Stateless |
                                                         QStringConverter::Flag::ConvertInitialBom);
    LineSplitter lines(sink);
    QByteArray pending;  // bytes read but not yet decoded: the last, unfinished line
    for (;;) {
        const qsizetype before = pending.size();
        pending.resize(before + kBlockSize);
        const qint64 got = file.read(pending.data() + before, kBlockSize);
        if (got < 0) throw Failure(file.errorString());
        pending.resize(before + got);
        if (got == 0) break;
        const char* bytes = pending.constData();
        qsizetype lineEnd = pending.size();
        while (lineEnd > before && bytes[lineEnd - 1] != '\r' && bytes[lineEnd - 1] != '\n')
            --lineEnd;
        if (lineEnd == before) continue;  // a line longer than the block: read on
        const QString text = decoder.decode(QByteArrayView(bytes, lineEnd));
        lines.feed(text);
        pending = pending.sliced(lineEnd);
    }
    // The last line needs no line end; a character cut off by the end of the
    // file becomes a replacement character.
    const QString rest = decoder.decode(pending);
    lines.feed(rest);
    lines.finish();
}

}  // namespace quendrel
