#include "line_splitter.h"

namespace quendrel {

namespace {
constexpr char16_t kCr = u'\r';
constexpr char16_t kLf = u'\n';
}  // namespace

void LineSplitter::emitEntry(QStringView tail) {
    if (part_.isEmpty()) {
        sink_.entry(tail.toString());
    } else {
        part_.append(tail);
        sink_.entry(part_);
        part_.clear();
    }
}

void LineSplitter::feed(QStringView text) {
    const qsizetype size = text.size();
    const char16_t* chars = text.utf16();
    qsizetype start = 0;  // where the current part begins in this piece
    qsizetype i = 0;
    while (i < size) {
        const char16_t c = chars[i];
        if (afterCr_) {
            afterCr_ = false;
            if (c == kLf) {
                start = ++i;
                continue;
            }
        }
        if (!inLine_) {
            sink_.yield();
            inLine_ = true;
        }
        if (c == kCr) {
            emitEntry(text.sliced(start, i - start));
            inLine_ = false;
            afterCr_ = true;
            start = ++i;
        } else if (c == kLf) {
            sink_.yield();
            emitEntry(text.sliced(start, i - start));
            start = ++i;
        } else {
            ++i;
        }
    }
    if (start < size) part_.append(text.sliced(start));
}

void LineSplitter::finish() {
    if (inLine_) emitEntry(QStringView());
    inLine_ = false;
    afterCr_ = false;
}

}  // namespace quendrel
