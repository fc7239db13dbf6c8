#pragma once
// A printed PDF as a person sees it: each sheet drawn at 72 dpi (one pixel per
// point) by pdftoppm, and every word with its box as pdftotext -bbox places
// it, so a test can tell which words something drawn over them hides.
#include "support/poppler_tools.h"

#include <QDir>
#include <QImage>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace quendrel::testing {

class PdfSheets {
public:
    using PixelTest = std::function<bool(QRgb)>;

    PdfSheets(const QString& pdfPath, const QString& workFolder) {
        const QString prefix = QStringLiteral("%1/sheet-%2").arg(workFolder).arg(reinterpret_cast<quintptr>(this));
        RunPopplerTool(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("72"),
                                                    QStringLiteral("-png"), pdfPath, prefix});
        const QDir folder(workFolder);
        const QString stem = prefix.mid(workFolder.size() + 1);
        for (const QString& name : folder.entryList({stem + QStringLiteral("-*.png")}, QDir::Files, QDir::Name))
            sheets_.push_back(QImage(folder.filePath(name)).convertToFormat(QImage::Format_RGB32));
        readWords(RunPopplerTool(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdfPath, QStringLiteral("-")}));
    }

    int count() const { return static_cast<int>(sheets_.size()); }

    // The sheets (from 1) with a patch of pixels that pass the test; a few
    // pixels of a letter's edge do not count.
    QList<int> sheetsWith(const PixelTest& test) const {
        QList<int> found;
        for (int s = 0; s < count(); ++s) {
            int hits = 0;
            const QImage& sheet = sheets_[s];
            for (int y = 0; y < sheet.height(); ++y)
                for (int x = 0; x < sheet.width(); ++x) hits += test(sheet.pixel(x, y)) ? 1 : 0;
            if (hits >= 50) found << s + 1;
        }
        return found;
    }

    // The words whose middle is drawn over by pixels that pass the test.
    QStringList wordsCoveredBy(const PixelTest& test) const {
        QStringList covered;
        for (const Word& word : words_) {
            const QImage& sheet = sheets_.at(word.sheet - 1);
            const QPoint middle(static_cast<int>(word.box.center().x()), static_cast<int>(word.box.center().y()));
            if (sheet.rect().contains(middle) && test(sheet.pixel(middle)))
                covered << QStringLiteral("%1 (sheet %2)").arg(word.text).arg(word.sheet);
        }
        return covered;
    }

    int wordCount(const QString& text) const {
        int n = 0;
        for (const Word& word : words_) n += word.text == text ? 1 : 0;
        return n;
    }

private:
    struct Word {
        int sheet;
        QRectF box;
        QString text;
    };

    void readWords(const QString& html) {
        static const QRegularExpression tag(QStringLiteral(
            R"re(<page |<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re"));
        int sheet = 0;
        for (auto it = tag.globalMatch(html); it.hasNext();) {
            const QRegularExpressionMatch m = it.next();
            if (m.captured(0) == QStringLiteral("<page ")) {
                ++sheet;
                continue;
            }
            const QPointF from(m.captured(1).toDouble(), m.captured(2).toDouble());
            const QPointF to(m.captured(3).toDouble(), m.captured(4).toDouble());
            words_.push_back({sheet, QRectF(from, to), m.captured(5)});
        }
    }

    std::vector<QImage> sheets_;
    std::vector<Word> words_;
};

}  // namespace quendrel::testing
