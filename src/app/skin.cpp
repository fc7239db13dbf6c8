#include "skin.h"

#include "platform/failure.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QCheckBox>
#include <QRadioButton>
#include <QStyle>
#include <QWidget>

namespace quendrel {

namespace {

// Collects Qt's complaints about a style sheet while one is applied.
QStringList* styleSheetComplaints = nullptr;
QtMessageHandler previousHandler = nullptr;

void collectComplaints(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (styleSheetComplaints && message.contains(QStringLiteral("parse"), Qt::CaseInsensitive) &&
        message.contains(QStringLiteral("stylesheet"), Qt::CaseInsensitive)) {
        styleSheetComplaints->append(message);
        return;
    }
    if (previousHandler) previousHandler(type, context, message);
}

void setBackground(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    palette.setColor(widget->backgroundRole(), colour);
    widget->setPalette(palette);
}

}  // namespace

bool IsPlainVisibleFile(const QString& path) {
    const QFileInfo info(path);
    return info.exists() && info.isFile() && !info.isHidden();
}

void UseButtonFaceColours(QWidget& window) {
    const QColor buttonFace = QApplication::style()->standardPalette().color(QPalette::Button);
    setBackground(&window, buttonFace);
    for (QWidget* child : window.findChildren<QWidget*>()) {
        if (qobject_cast<QRadioButton*>(child) || qobject_cast<QCheckBox*>(child) ||
            qobject_cast<QGroupBox*>(child) || qobject_cast<QLabel*>(child))
            setBackground(child, buttonFace);
    }
}

void ApplyStyleSheetFile(QWidget& window, const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("Cannot read the skin file %1: %2").arg(path, file.errorString()));
    const QString sheet = QString::fromUtf8(file.readAll());
    if (sheet.contains(QChar(0)))
        throw Failure(QStringLiteral("The skin file %1 is not a style sheet").arg(path));

    QStringList complaints;
    styleSheetComplaints = &complaints;
    previousHandler = qInstallMessageHandler(collectComplaints);
    window.setStyleSheet(sheet);
    window.ensurePolished();
    for (QWidget* child : window.findChildren<QWidget*>()) child->ensurePolished();
    qInstallMessageHandler(previousHandler);
    styleSheetComplaints = nullptr;
    if (!complaints.isEmpty()) {
        window.setStyleSheet(QString());
        throw Failure(QStringLiteral("The skin file %1 is not a valid style sheet").arg(path));
    }
}

}  // namespace quendrel
