#pragma once
// Fixed names and addresses of the product.
#include <QString>

namespace quendrel {

inline const QString kProductName = QStringLiteral("Quendrel");
inline const QString kSupportAddress = QStringLiteral("support@marrowby.com");
inline const QString kHomePage = QStringLiteral("http://www.marrowby.com/");

// Where an error report says a failure happened: one fixed text per guarded handler.
inline QString HandlerLocation(const char* handler) {
    return QStringLiteral("in Tollinex2021/08/31.Form1.") + QLatin1String(handler) + QLatin1Char(' ');
}

}  // namespace quendrel
