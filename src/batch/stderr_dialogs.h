#pragma once
// Dialogs without a window: what a box would say is a line on standard
// error, and a question finds nobody to answer it.
#include "platform/dialogs.h"

#include <functional>

namespace quendrel {

class StderrDialogs : public platform::Dialogs {
public:
    explicit StderrDialogs(std::function<void(const QString&)> say) : say_(std::move(say)) {}
    void message(const QString& text, const QString&) override { say_(lines(text)); }
    void warning(const QString& text, const QString&) override { say_(lines(text)); }
    QString inputText(const QString&, const QString&) override { return {}; }
    QString openFileName(const QString&, const QStringList&) override { return {}; }
    QString folderName(const QString&, const QString&) override { return {}; }

private:
    // A box's line breaks, "\r\n" and the error report's lone "\r", as line
    // ends: a lone "\r" on a terminal would write over the line before it.
    static QString lines(QString text) {
        return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    }
    std::function<void(const QString&)> say_;
};

}  // namespace quendrel
