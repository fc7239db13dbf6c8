#pragma once
// A print system double that keeps a copy of every submitted PDF, for tests
// that look at what would have been printed after the program has removed its
// own temporary file.
#include "support/fake_platform.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <vector>

namespace quendrel::testing {

class PdfKeepingPrintSystem : public FakePrintSystem {
public:
    explicit PdfKeepingPrintSystem(QString keepFolder) : keepFolder_(std::move(keepFolder)) {}

    // Copies of the submitted files, in the order of the jobs.
    std::vector<QString> kept;

    int submitPdfToDefault(const QString& pdfPath, const QString& title) override {
        const QString copy = QDir(keepFolder_).filePath(QStringLiteral("job-%1.pdf").arg(kept.size() + 1));
        QFile::remove(copy);
        if (!QFile::copy(pdfPath, copy)) throw Failure(QStringLiteral("Cannot keep a copy of ") + pdfPath);
        kept.push_back(copy);
        return FakePrintSystem::submitPdfToDefault(pdfPath, title);
    }

private:
    QString keepFolder_;
};

}  // namespace quendrel::testing
