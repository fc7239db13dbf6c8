#pragma once
// The "Application Error" box of the guarded handlers.
#include "platform/dialogs.h"

#include <QString>

namespace quendrel {

class ErrorReport {
public:
    ErrorReport(platform::Dialogs& dialogs, QString supportAddress)
        : dialogs_(dialogs), supportAddress_(std::move(supportAddress)) {}

    // The box's text: the description, CR LF, the location, "at line " and the
    // step, two CRs, and the request to mail a screenshot.
    static QString Text(const QString& description, const QString& location, int step,
                        const QString& supportAddress);
    // Shows the box and returns when the user has closed it.
    void ShowErrorReport(const QString& location, int step, const QString& description);

private:
    platform::Dialogs& dialogs_;
    QString supportAddress_;
};

}  // namespace quendrel
