#include "error_report.h"

namespace quendrel {

QString ErrorReport::Text(const QString& description, const QString& location, int step,
                          const QString& supportAddress) {
    return description + QStringLiteral("\r\n") + location + QStringLiteral("at line ") +
           QString::number(step) + QStringLiteral("\r\r") +
           QStringLiteral("Please email screenshot of this message to ") + supportAddress;
}

void ErrorReport::ShowErrorReport(const QString& location, int step, const QString& description) {
    dialogs_.warning(Text(description, location, step, supportAddress_),
                     QStringLiteral("Application Error"));
}

}  // namespace quendrel
