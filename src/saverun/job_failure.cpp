#include "job_failure.h"

#include <QRegularExpression>
#include <QStringList>

namespace quendrel {
namespace {

// The backend's lines end with the system's own error text; these are the
// ones a user can act on.
struct KnownCause {
    QStringList words;
    const char* reason;
};

const KnownCause kKnownCauses[] = {
    {{QStringLiteral("No space left on device"), QStringLiteral("Disk quota exceeded")}, "the disk is full"},
    {{QStringLiteral("does not exist"), QStringLiteral("No such file or directory")}, "the folder does not exist"},
    {{QStringLiteral("Permission denied"), QStringLiteral("Read-only file system"),
      QStringLiteral("is not writable")},
     "no right to write into the folder"},
};

}  // namespace

QString ReasonForFailedJob(const QString& printerMessage) {
    for (const KnownCause& cause : kKnownCauses)
        for (const QString& words : cause.words)
            if (printerMessage.contains(words)) return QString::fromLatin1(cause.reason);
    QString said = printerMessage.trimmed();
    said.remove(QRegularExpression(QStringLiteral("^PDF not written: ")));
    if (said.isEmpty()) return QStringLiteral("printer job failed");
    return QStringLiteral("printer job failed: ") + said;
}

}  // namespace quendrel
