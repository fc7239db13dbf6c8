#pragma once
// A web page that nobody sits at: the hidden browser of a save run and the
// capture program. A page's script dialogs and file choosers get the answer a
// user gives by closing them, so no page can stop the work, and its console
// messages are the page's business, not ours.
#include <QWebEnginePage>

namespace quendrel::platform {

class UnattendedWebPage : public QWebEnginePage {
public:
    using QWebEnginePage::QWebEnginePage;

protected:
    void javaScriptAlert(const QUrl&, const QString&) override {}
    bool javaScriptConfirm(const QUrl&, const QString&) override { return false; }
    bool javaScriptPrompt(const QUrl&, const QString&, const QString&, QString*) override {
        return false;
    }
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString&, int,
                                  const QString&) override {}
    QStringList chooseFiles(FileSelectionMode, const QStringList&, const QStringList&) override {
        return {};
    }
};

}  // namespace quendrel::platform
