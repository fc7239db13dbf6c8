#include "app/form1.h"
#include "app/main_window.h"
#include "sitelist/site_list_view.h"
#include "support/fake_platform.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QGuiApplication>
#include <QScreen>
#include <gtest/gtest.h>

namespace quendrel {
namespace {

struct Control {
    const char* name;
    const char* kind;
    int left, top, width, height;  // twips, in the container
    const char* text;
};

// The window's arrangement, in twips as designed; 15 twips are one pixel.
const Control kLayout[] = {
    {"ListView1", "quendrel::SiteListView", 120, 120, 7800, 2535, ""},
    {"PushButton1", "QPushButton", 120, 2750, 3840, 405, "Add Single Web Site URL"},
    {"PushButton6", "QPushButton", 4080, 2750, 3840, 405, "Load List Of Sites From File"},
    {"PushButton7", "QPushButton", 120, 3260, 3840, 405, "Clear List"},
    {"PushButton4", "QPushButton", 4080, 3260, 3840, 405, "Load Sample/Example Files"},
    {"Frame2", "QGroupBox", 120, 3730, 7800, 795, "Save Method"},
    {"Frame1", "QGroupBox", 120, 4605, 7800, 795, "Save PDF Files To This Folder"},
    {"PushButton2", "QPushButton", 120, 5520, 7800, 405, "Start Saving As PDF"},
    {"ProgressBar1", "QProgressBar", 120, 6045, 7800, 405, "Progress Bar"},
    {"Option1", "QRadioButton", 240, 350, 1335, 255, "Method 1"},
    {"Option2", "QRadioButton", 1680, 350, 1215, 255, "Method 2"},
    {"Option3", "QRadioButton", 3000, 350, 3135, 255, "Method 3 (for slow loading sites)"},
    {"Text1", "QLineEdit", 240, 300, 6645, 345, ""},
    {"PushButton3", "QPushButton", 6960, 300, 600, 345, "..."},
    {"WebBrowser1", "QWidget", 2760, 7440, 1215, 1215, ""},
    {"Creator", "QLabel", 1845, 7500, 855, 375, ""},
};

QString textOf(QWidget* widget) {
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) return button->text();
    if (auto* frame = qobject_cast<QGroupBox*>(widget)) return frame->title();
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) return edit->text();
    if (auto* bar = qobject_cast<QProgressBar*>(widget)) return bar->format();
    if (auto* label = qobject_cast<QLabel*>(widget)) return label->text();
    return QString();
}

int px(int twips) { return static_cast<int>(std::lround(twips / 15.0)); }

TEST(Form1Layout, EveryControlHasItsKindTextAndPlace) {
    Form1 form;
    for (const Control& c : kLayout) {
        SCOPED_TRACE(c.name);
        auto* widget = form.findChild<QWidget*>(QLatin1String(c.name));
        ASSERT_NE(widget, nullptr);
        EXPECT_STREQ(widget->metaObject()->className(), c.kind);
        const QRect place(px(c.left), px(c.top), px(c.width), px(c.height));
        EXPECT_EQ(widget->geometry(), place);
        EXPECT_EQ(textOf(widget), QString::fromUtf8(c.text));
    }
}

TEST(Form1Layout, WindowIsFixedWhiteAndUsesArialBold) {
    Form1 form;
    EXPECT_EQ(form.size(), QSize(536, 438));
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(form.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_EQ(form.palette().color(QPalette::Window), QColor(Qt::white));
    EXPECT_EQ(form.Frame1->palette().color(QPalette::Window), QColor(Qt::white));
    EXPECT_EQ(form.Option3->palette().color(QPalette::Window), QColor(Qt::white));
    EXPECT_EQ(form.Text1->palette().color(QPalette::Base), QColor(Qt::white));
    EXPECT_EQ(form.PushButton2->palette().color(QPalette::Button), QColor(Qt::white));
    EXPECT_EQ(form.font().family(), QStringLiteral("Arial"));
    EXPECT_TRUE(form.font().bold());
    EXPECT_DOUBLE_EQ(form.font().pointSizeF(), 9.0);
    EXPECT_DOUBLE_EQ(form.PushButton1->font().pointSizeF(), 11.25);
    EXPECT_TRUE(form.PushButton1->font().bold());
    EXPECT_EQ(form.ListView1->toolTip(),
              QStringLiteral("Double-click item to remove it. Move | line to right and out of window "
                             "to reveal full names."));
    EXPECT_TRUE(form.Option1->isChecked());
    EXPECT_EQ(form.ProgressBar1->value(), 0);
}

TEST(Form1Layout, HiddenHelpersAreNeverSeen) {
    Form1 form;
    EXPECT_GE(form.Creator->geometry().top(), Form1::clientSize().height());
    EXPECT_GE(form.WebBrowser1->geometry().top(), Form1::clientSize().height());
}

TEST(Form1Layout, TabMovesThroughTheControlsInLayoutOrder) {
    Form1 form;
    const QWidget* expected[] = {form.ListView1, form.Text1, form.PushButton3, form.Option1,
                                 form.PushButton1, form.PushButton6, form.PushButton4,
                                 form.PushButton7, form.PushButton2};
    QWidget* widget = form.ListView1;
    for (size_t i = 1; i < std::size(expected); ++i) {
        do widget = widget->nextInFocusChain();
        while (widget->focusPolicy() == Qt::NoFocus ||
               (qobject_cast<QRadioButton*>(widget) && widget != form.Option1));
        EXPECT_EQ(widget, expected[i]) << "stop " << i << " is " << widget->objectName().toStdString();
    }
}

}  // namespace
}  // namespace quendrel
