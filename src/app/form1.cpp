#include "form1.h"

#include "sitelist/site_list_view.h"
#include "twips.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

namespace quendrel {

namespace {

QFont windowFont() {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(9);
    font.setBold(true);
    return font;
}

QFont buttonFont() {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(11.25);
    font.setBold(true);
    return font;
}

template <typename Widget, typename... Args>
Widget* make(QWidget* parent, const char* name, QRect geometry, Args&&... args) {
    auto* widget = new Widget(std::forward<Args>(args)..., parent);
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(geometry);
    return widget;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& text, QRect geometry) {
    auto* button = make<QPushButton>(parent, name, geometry, text);
    button->setFont(buttonFont());
    return button;
}

void paintWhite(QWidget* widget, QPalette::ColorRole role = QPalette::Window) {
    QPalette palette = widget->palette();
    palette.setColor(role, Qt::white);
    // Buttons, option buttons among them, fill their background from this role.
    palette.setColor(QPalette::Button, Qt::white);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

}  // namespace


QSize Form1::clientSize() { return {TwipsToPixels(8040), TwipsToPixels(6570)}; }

Form1::Form1(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Form1"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFont(windowFont());
    setFixedSize(clientSize());
    placeControls();
    setColours();
    setTabOrderOfLayout();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect centred(QPoint(), size());
        centred.moveCenter(screen->availableGeometry().center());
        move(centred.topLeft());
    }
}

void Form1::placeControls() {
    ListView1 = make<SiteListView>(this, "ListView1", TwipsRect(120, 120, 7800, 2535));
    ListView1->setFont(windowFont());
    ListView1->setToolTip(QStringLiteral(
        "Double-click item to remove it. Move | line to right and out of window to reveal full names."));
    PushButton1 = makeButton(this, "PushButton1", QStringLiteral("Add Single Web Site URL"),
                             TwipsRect(120, 2750, 3840, 405));
    PushButton6 = makeButton(this, "PushButton6", QStringLiteral("Load List Of Sites From File"),
                             TwipsRect(4080, 2750, 3840, 405));
    PushButton7 = makeButton(this, "PushButton7", QStringLiteral("Clear List"),
                             TwipsRect(120, 3260, 3840, 405));
    PushButton4 = makeButton(this, "PushButton4", QStringLiteral("Load Sample/Example Files"),
                             TwipsRect(4080, 3260, 3840, 405));

    Frame2 = make<QGroupBox>(this, "Frame2", TwipsRect(120, 3730, 7800, 795),
                             QStringLiteral("Save Method"));
    Option1 = make<QRadioButton>(Frame2, "Option1", TwipsRect(240, 350, 1335, 255),
                                 QStringLiteral("Method 1"));
    Option2 = make<QRadioButton>(Frame2, "Option2", TwipsRect(1680, 350, 1215, 255),
                                 QStringLiteral("Method 2"));
    Option3 = make<QRadioButton>(Frame2, "Option3", TwipsRect(3000, 350, 3135, 255),
                                 QStringLiteral("Method 3 (for slow loading sites)"));
    Option1->setChecked(true);

    Frame1 = make<QGroupBox>(this, "Frame1", TwipsRect(120, 4605, 7800, 795),
                             QStringLiteral("Save PDF Files To This Folder"));
    Text1 = make<QLineEdit>(Frame1, "Text1", TwipsRect(240, 300, 6645, 345));
    PushButton3 = makeButton(Frame1, "PushButton3", QStringLiteral("..."),
                             TwipsRect(6960, 300, 600, 345));

    PushButton2 = makeButton(this, "PushButton2", QStringLiteral("Start Saving As PDF"),
                             TwipsRect(120, 5520, 7800, 405));
    ProgressBar1 = make<QProgressBar>(this, "ProgressBar1", TwipsRect(120, 6045, 7800, 405));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(true);
    ProgressBar1->setAlignment(Qt::AlignCenter);
    ProgressBar1->setFormat(QStringLiteral("Progress Bar"));

    // The browser's place in the layout, below the client area; pages render
    // in the headless engine of a run, so nothing draws here.
    WebBrowser1 = make<QWidget>(this, "WebBrowser1", TwipsRect(2760, 7440, 1215, 1215));
    Creator = make<QLabel>(this, "Creator", TwipsRect(1845, 7500, 855, 375));
}

void Form1::setColours() {
    paintWhite(this);
    for (QWidget* widget : std::initializer_list<QWidget*>{Frame1, Frame2, Option1, Option2, Option3})
        paintWhite(widget);
    paintWhite(Text1, QPalette::Base);
    for (QPushButton* button :
         {PushButton1, PushButton2, PushButton3, PushButton4, PushButton6, PushButton7}) {
        QPalette palette = button->palette();
        palette.setColor(QPalette::Button, Qt::white);
        palette.setColor(QPalette::ButtonText,
                         QGuiApplication::palette().color(QPalette::ButtonText));
        button->setPalette(palette);
    }
}

void Form1::setTabOrderOfLayout() {
    // The picture holder, the bar, the frames and the page view take no focus;
    // the three options are one stop.
    for (QWidget* widget : std::initializer_list<QWidget*>{Creator, ProgressBar1, Frame1, Frame2, WebBrowser1})
        widget->setFocusPolicy(Qt::NoFocus);
    const QWidget* order[] = {ListView1, Text1,       PushButton3, Option1,     Option2,
                              Option3,   PushButton1, PushButton6, PushButton4, PushButton7,
                              PushButton2};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(const_cast<QWidget*>(order[i - 1]), const_cast<QWidget*>(order[i]));
}

void Form1::closeEvent(QCloseEvent* event) {
    event->accept();
    if (onUnload) onUnload();
}

}  // namespace quendrel
