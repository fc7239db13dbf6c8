#include "list_text_reader.h"

#include "platform/failure.h"

#include <QIODevice>
#include <QStringDecoder>

namespace quendrel {
namespace {

// Large blocks keep the cost per line down to the yield and the append.
constexpr qint64 kBlockSize = 1 << 20;

// "64 KiB", "64 MiB", or a count of bytes.
QString SizeText(qint64 bytes) {
    if (bytes % (1 << 20) == 0) return QStringLiteral("%1 MiB").arg(bytes >> 20);
    if (bytes % (1 << 10) == 0) return QStringLiteral("%1 KiB").arg(bytes >> 10);
    return QStringLiteral("%1 bytes").arg(bytes);
}

// Whether a line end or the text's end comes before a bound is passed,
// counted as the blocks come in.
class BoundsWatch {
public:
    explicit BoundsWatch(ListTextBounds bounds) : bounds_(bounds) {}
    void take(const char* bytes, qint64 size) {
        total_ += size;
        if (bounds_.totalBytes > 0 && total_ > bounds_.totalBytes)
            throw ListTextTooLong(QStringLiteral("it is longer than %1").arg(SizeText(bounds_.totalBytes)));
        if (bounds_.lineBytes <= 0) return;
        for (qint64 i = 0; i < size; ++i) {
            line_ = (bytes[i] == '\r' || bytes[i] == '\n') ? 0 : line_ + 1;
            if (line_ > bounds_.lineBytes)
                throw ListTextTooLong(QStringLiteral("a line is longer than %1").arg(SizeText(bounds_.lineBytes)));
        }
    }

private:
    ListTextBounds bounds_;
    qint64 total_ = 0;
    qint64 line_ = 0;  // bytes of the line in hand so far
};

}  // namespace

void ReadListText(QIODevice& file, LineSplitter::Sink& sink, ListTextBounds bounds) {
    // Each piece handed to the decoder ends just after a CR or LF byte, which no
    // multi-byte character of an ASCII-based encoding contains, so no
    // character is ever cut between two pieces and each piece decodes alone.
    // A byte-order mark stays in the text as the character it is.
    QStringDecoder decoder(QStringConverter::System, QStringConverter::Flag::Stateless |
                                                         QStringConverter::Flag::ConvertInitialBom);
    LineSplitter lines(sink);
    BoundsWatch watch(bounds);
    QByteArray pending;  // bytes read but not yet decoded: the last, unfinished line
    for (;;) {
        const qsizetype before = pending.size();
        pending.resize(before + kBlockSize);
        const qint64 got = file.read(pending.data() + before, kBlockSize);
        if (got < 0) throw Failure(file.errorString());
        pending.resize(before + got);
        if (got == 0) break;
        watch.take(pending.constData() + before, got);
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
