#include "batch_front_end.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonArray>
#include <algorithm>

namespace quendrel {

namespace {

// A JSON string, quoted and escaped.
QByteArray JsonString(const QString& text) {
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);  // without the array's brackets
}

}  // namespace

QByteArray EntryJsonLine(const EntryOutcome& outcome) {
    static const char* const kStatus[] = {"written", "failed", "skipped"};
    // Keys in the order a reader expects them, which QJsonObject would sort.
    return "{\"address\":" + JsonString(outcome.address) + ",\"pdf\":" + JsonString(outcome.pdfPath) +
           ",\"status\":\"" + kStatus[static_cast<int>(outcome.status)] + "\",\"reason\":" +
           JsonString(outcome.reason) + ",\"seconds\":" + QByteArray::number(outcome.seconds, 'f', 3) +
           ",\"consent\":" + JsonString(engine::ConsentWord(outcome.consent)) + "}\n";
}

BatchFrontEnd::BatchFrontEnd(QStringList entries, QString folder, int method, bool skipExisting, std::FILE* out,
                             BatchProgress& progress)
    : entries_(std::move(entries)),
      folder_(std::move(folder)), method_(method), skipExisting_(skipExisting), out_(out), progress_(progress) {}

void BatchFrontEnd::Message(const QString& text) {
    QString line = text;
    line.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    progress_.Say(line);
}

bool BatchFrontEnd::SkipsEntry(const QString& pdfPath) { return skipExisting_ && QFileInfo::exists(pdfPath); }

void BatchFrontEnd::EntryEnded(const EntryOutcome& outcome) {
    ++ended_;
    if (outcome.status == EntryOutcome::Status::Failed) ++failed_;
    const QByteArray line = EntryJsonLine(outcome);
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), out_);
    std::fflush(out_);  // a reader of the pipe sees each entry as it ends
}

void BatchProgress::setText(const QString& text) {
    text_ = text;
    if (!text.startsWith(QLatin1String("Processing: "))) return;  // the run's own resting text
    if (terminal_) {
        draw();
    } else if (value_ != printedValue_) {  // one line per entry, however often its text changes
        printedValue_ = value_;
        std::fprintf(err_, "%3.0f%% %s\n", value_, text.toLocal8Bit().constData());
        std::fflush(err_);
    }
}

void BatchProgress::setValue(double value) { value_ = std::clamp(value, 0.0, 100.0); }

void BatchProgress::draw() {
    constexpr int kWidth = 30;
    const int filled = static_cast<int>(value_ * kWidth / 100);
    QString shown = text_;
    if (shown.size() > 60) shown = shown.left(57) + QStringLiteral("...");
    std::fprintf(err_, "\r\033[K[%s%s] %3.0f%% %s", QByteArray(filled, '#').constData(),
                 QByteArray(kWidth - filled, '-').constData(), value_, shown.toLocal8Bit().constData());
    std::fflush(err_);
    drawn_ = true;
}

void BatchProgress::Say(const QString& line) {
    EndLine();
    std::fprintf(err_, "%s\n", line.toLocal8Bit().constData());
    std::fflush(err_);
}

void BatchProgress::EndLine() {
    if (!drawn_) return;
    std::fprintf(err_, "\n");
    drawn_ = false;
}

}  // namespace quendrel
