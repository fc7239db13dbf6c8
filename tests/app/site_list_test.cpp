// The site list on the main window: adding, removing, clearing, dropping,
// reordering by dragging, the sample entries and the pointer feedback.
#include "common/app_title.h"
#include "app/main_window.h"
#include "common/product.h"
#include "sitelist/site_list_view.h"
#include "support/fake_platform.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QGroupBox>
#include <QImage>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>

namespace quendrel {
namespace {

using testing::FakePlatform;
using testing::ShownBox;

class SiteListTest : public ::testing::Test {
protected:
    FakePlatform fake;
    MainWindow window{fake.platform};
    Form1& form = window.form();
    SiteListView& list = *form.ListView1;
    ListDragReorder& drag = window.siteListHandlers().drag;

    void SetUp() override {
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    }

    void add(const QStringList& texts) {
        for (const QString& text : texts) window.siteList().Append(text);
    }

    QStringList entries() {
        QStringList texts;
        for (int i = 1; i <= window.siteList().Count(); ++i) texts.append(window.siteList().TextAt(i));
        return texts;
    }

    QPoint rowCentre(int row) { return list.visualRect(list.entries().index(row, 0)).center(); }
    QPoint belowTheEntries() { return QPoint(20, list.viewport()->height() - 3); }

    void press(QPoint at) { QTest::mousePress(list.viewport(), Qt::LeftButton, Qt::NoModifier, at); }
    void moveHeld(QPoint at) { QTest::mouseMove(list.viewport(), at); }
    void release(QPoint at) { QTest::mouseRelease(list.viewport(), Qt::LeftButton, Qt::NoModifier, at); }
    void dragRow(int from, std::initializer_list<int> over) {
        press(rowCentre(from));
        for (int row : over) moveHeld(rowCentre(row));
        release(rowCentre(*(over.end() - 1)));
    }
    void pressDelete(Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        list.setFocus();
        QTest::keyClick(&list, Qt::Key_Delete, modifiers);
    }
    // As the platform delivers a double-click: a whole click, then the
    // second press as the double-click, then its release.
    void doubleClickBelowTheEntries() {
        QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::NoModifier, belowTheEntries());
        QTest::mouseDClick(list.viewport(), Qt::LeftButton, Qt::NoModifier, belowTheEntries());
    }
};

TEST_F(SiteListTest, TheTypedAddressIsAppendedExactlyAsTyped) {
    struct Case { const char* name; QString typed; QStringList entries; };
    const Case cases[] = {
        {"three blanks are an entry", "   ", {"   "}},
        {"empty text adds nothing", "", {}},
        {"no scheme is added", "www.example.com", {"www.example.com"}},
        {"blanks around are kept", " http://a.example/ ", {" http://a.example/ "}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        window.siteList().Clear();
        fake.dialogs.shown.clear();
        fake.dialogs.answers.push_back(c.typed);
        QTest::mouseClick(form.PushButton1, Qt::LeftButton);
        EXPECT_EQ(entries(), c.entries);
        ASSERT_EQ(fake.dialogs.shown.size(), 1u);
        EXPECT_EQ(fake.dialogs.shown[0].kind, ShownBox::Input);
        EXPECT_EQ(fake.dialogs.shown[0].text, QStringLiteral("Enter website address to add: "));
        EXPECT_EQ(fake.dialogs.shown[0].caption, AppTitle());
    }
}

TEST_F(SiteListTest, TheSameAddressTwiceGivesTwoEntriesAlsoDuringARun) {
    form.ShowHourglass();
    fake.dialogs.answers = {"http://a.example/", "http://a.example/"};
    QTest::mouseClick(form.PushButton1, Qt::LeftButton);
    QTest::mouseClick(form.PushButton1, Qt::LeftButton);
    EXPECT_EQ(entries(), (QStringList{"http://a.example/", "http://a.example/"}));
}

TEST_F(SiteListTest, DeleteAndDoubleClickRemoveOnlyTheSelectedEntry) {
    // Nothing to remove: an empty list, then a list without a selection.
    pressDelete();
    doubleClickBelowTheEntries();
    add({"A", "B", "C"});
    pressDelete();
    doubleClickBelowTheEntries();
    EXPECT_EQ(entries(), (QStringList{"A", "B", "C"}));

    list.selectRow(1);
    pressDelete(Qt::ShiftModifier | Qt::ControlModifier);  // modifiers do not matter
    EXPECT_EQ(entries(), (QStringList{"A", "C"}));

    list.selectRow(1);
    QTest::mouseDClick(list.viewport(), Qt::RightButton, Qt::NoModifier, belowTheEntries());
    EXPECT_EQ(entries(), (QStringList{"A", "C"}));
    list.selectRow(1);
    doubleClickBelowTheEntries();  // anywhere in the list
    EXPECT_EQ(entries(), (QStringList{"A"}));
    EXPECT_TRUE(fake.dialogs.shown.empty());
}

TEST_F(SiteListTest, OtherKeysAreLeftToTheList) {
    add({"A", "B"});
    list.selectRow(0);
    list.setFocus();
    QTest::keyClick(&list, Qt::Key_Down);
    EXPECT_EQ(list.selectedRow(), 1);
    QTest::keyClick(&list, Qt::Key_Backspace);
    EXPECT_EQ(entries(), (QStringList{"A", "B"}));
}

TEST_F(SiteListTest, ClearListEmptiesTheListWithoutAsking) {
    add({"A", "B"});
    QTest::mouseClick(form.PushButton7, Qt::LeftButton);
    EXPECT_EQ(window.siteList().Count(), 0);
    EXPECT_EQ(list.model()->rowCount(), 0);
    EXPECT_TRUE(fake.dialogs.shown.empty());
}

TEST_F(SiteListTest, RemovingAndClearingAreRefusedDuringARun) {
    add({"A", "B"});
    list.selectRow(0);
    form.ShowHourglass();
    pressDelete();
    doubleClickBelowTheEntries();
    QTest::mouseClick(form.PushButton7, Qt::LeftButton);
    EXPECT_EQ(entries(), (QStringList{"A", "B"}));
    EXPECT_TRUE(fake.dialogs.shown.empty());
}

TEST_F(SiteListTest, TheSampleEntriesComeMakerFirstAfterWhatIsThere) {
    QTest::mouseClick(form.PushButton4, Qt::LeftButton);
    EXPECT_EQ(entries(), (QStringList{kHomePage, "http://www.google.com/"}));
    form.ShowHourglass();
    QTest::mouseClick(form.PushButton4, Qt::LeftButton);
    EXPECT_EQ(entries(), (QStringList{kHomePage, "http://www.google.com/", kHomePage,
                                      "http://www.google.com/"}));
    EXPECT_TRUE(fake.dialogs.shown.empty());
}

TEST_F(SiteListTest, TheHeaderNeverShowsACount) {
    window.Load();
    const auto header = [&] { return list.model()->headerData(0, Qt::Horizontal).toString(); };
    EXPECT_EQ(header(), QStringLiteral(" Web Site(s)"));
    add({"A", "B", "C"});
    EXPECT_EQ(header(), QStringLiteral(" Web Site(s)"));
}

TEST_F(SiteListTest, DraggingTheThirdEntryOverTheSecondSwapsThem) {
    add({"A", "B", "C", "D"});
    dragRow(2, {1});
    EXPECT_EQ(entries(), (QStringList{"A", "C", "B", "D"}));
    EXPECT_EQ(list.selectedRow(), 1);
    EXPECT_FALSE(drag.ListMouseDown());
    EXPECT_EQ(drag.ListDragItem().row(), 1);
}

TEST_F(SiteListTest, ASlowDragWalksTheEntryAndAJumpSwapsOnlyWithTheEntryReached) {
    add({"A", "B", "C", "D"});
    dragRow(3, {2, 1, 0});
    EXPECT_EQ(entries(), (QStringList{"D", "A", "B", "C"}));
    dragRow(0, {3});
    EXPECT_EQ(entries(), (QStringList{"C", "A", "B", "D"}));
}

TEST_F(SiteListTest, EntriesWithEqualTextsNeverSwap) {
    add({"A", "B", "A"});
    dragRow(0, {0, 2});
    EXPECT_EQ(entries(), (QStringList{"A", "B", "A"}));
    EXPECT_EQ(list.selectedRow(), 0);
    // Only a different text moves: B over the second A.
    dragRow(1, {2});
    EXPECT_EQ(entries(), (QStringList{"A", "A", "B"}));
}

TEST_F(SiteListTest, MovesWithoutAButtonPressedMoveNothing) {
    add({"A", "B"});
    QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::NoModifier, rowCentre(0));
    drag.ListView1_MouseMove(rowCentre(1), 330);
    EXPECT_EQ(entries(), (QStringList{"A", "B"}));
}

TEST_F(SiteListTest, APressBelowTheEntriesCarriesOnWithTheLastDraggedEntry) {
    add({"A", "B", "C"});
    QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::NoModifier, rowCentre(0));
    press(belowTheEntries());
    moveHeld(rowCentre(2));
    release(rowCentre(2));
    EXPECT_EQ(entries(), (QStringList{"C", "B", "A"}));
}

TEST_F(SiteListTest, ARemovedDragEntryMakesAMoveDoNothing) {
    add({"A", "B", "C"});
    QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::NoModifier, rowCentre(2));
    pressDelete();  // removes C, the remembered entry
    EXPECT_FALSE(drag.ListDragItem().isValid());
    press(belowTheEntries());
    moveHeld(rowCentre(0));
    moveHeld(rowCentre(1));
    release(rowCentre(1));
    EXPECT_EQ(entries(), (QStringList{"A", "B"}));

    // A cleared list forgets it too.
    QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::NoModifier, rowCentre(1));
    QTest::mouseClick(form.PushButton7, Qt::LeftButton);
    add({"X", "Y"});
    press(belowTheEntries());
    moveHeld(rowCentre(0));
    release(rowCentre(0));
    EXPECT_EQ(entries(), (QStringList{"X", "Y"}));
}

TEST_F(SiteListTest, TheDragPointerComesFromDragIcoAndFallsBackToTheClosedHand) {
    QTemporaryDir programFolder;
    fake.desktop.program = programFolder.path();
    add({"A", "B"});
    const auto pointerWhilePressed = [&] {
        press(rowCentre(0));
        const bool ownPointer = list.viewport()->testAttribute(Qt::WA_SetCursor);
        const Qt::CursorShape shape = list.viewport()->cursor().shape();
        release(rowCentre(0));
        EXPECT_TRUE(ownPointer);
        // Back to the window's pointer after the release.
        EXPECT_FALSE(list.viewport()->testAttribute(Qt::WA_SetCursor));
        EXPECT_EQ(list.viewport()->cursor().shape(), Qt::ArrowCursor);
        return shape;
    };
    EXPECT_EQ(pointerWhilePressed(), Qt::ClosedHandCursor);  // no drag.ico

    const QString icon = programFolder.filePath(QStringLiteral("drag.ico"));
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::red);
    ASSERT_TRUE(image.save(icon, "ICO"));
    EXPECT_EQ(pointerWhilePressed(), Qt::BitmapCursor);

    QFile garbage(icon);  // read afresh on every click
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly | QIODevice::Truncate));
    garbage.write("not a picture");
    garbage.close();
    EXPECT_EQ(pointerWhilePressed(), Qt::ClosedHandCursor);
}

TEST_F(SiteListTest, AMoveThatSwapsScrollsAtTheScreenEdges) {
    QStringList many;
    for (int i = 0; i < 60; ++i) many.append(QStringLiteral("entry %1").arg(i));
    add(many);
    const auto setUpDragAt = [&](int row) {
        list.selectRow(row);
        drag.ListView1_MouseDown();
        drag.ListView1_ItemClick();
    };
    const auto isVisible = [&](int row) {
        const QRect rect = list.visualRect(list.entries().index(row, 0));
        return rect.top() >= 0 && rect.bottom() <= list.viewport()->height();
    };
    struct Case { int screenY; bool aboveShows; };
    for (const Case& c : {Case{304, true}, Case{305, false}, Case{364, false}}) {
        SCOPED_TRACE(c.screenY);
        list.scrollTo(list.entries().index(30, 0), QAbstractItemView::PositionAtTop);
        setUpDragAt(31);
        drag.ListView1_MouseMove(rowCentre(30), c.screenY);
        EXPECT_EQ(list.selectedRow(), 30);
        EXPECT_EQ(isVisible(29), c.aboveShows);
        drag.ListView1_MouseUp();
    }
    for (const Case& c : {Case{365, true}, Case{364, false}}) {
        SCOPED_TRACE(c.screenY);
        list.scrollTo(list.entries().index(30, 0), QAbstractItemView::PositionAtBottom);
        setUpDragAt(29);
        drag.ListView1_MouseMove(rowCentre(30), c.screenY);
        EXPECT_EQ(isVisible(31), c.aboveShows);
        drag.ListView1_MouseUp();
    }
    // A move that does not swap does not scroll.
    list.scrollTo(list.entries().index(30, 0), QAbstractItemView::PositionAtTop);
    setUpDragAt(30);
    drag.ListView1_MouseMove(rowCentre(30), 0);
    EXPECT_FALSE(isVisible(29));
}

class DropTest : public SiteListTest {
protected:
    // What the list answers while data is dragged over it, and after the drop.
    bool dragOver(const QMimeData& data) {
        const QPoint at = rowCentre(0).isNull() ? QPoint(10, 10) : rowCentre(0);
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(list.viewport(), &enter);
        QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(list.viewport(), &move);
        EXPECT_EQ(enter.isAccepted(), move.isAccepted());
        return move.isAccepted();
    }
    void drop(const QMimeData& data) {
        QDropEvent dropped(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(list.viewport(), &dropped);
    }
};

TEST_F(DropTest, DroppedFilesAndFoldersAddTheirPathsInDropOrder) {
    add({"first"});
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(QStringLiteral("/home/user/b list.txt")),
                   QUrl::fromLocalFile(QStringLiteral("/home/user/a-folder")),
                   QUrl::fromLocalFile(QStringLiteral("/home/user/c.pdf"))});
    EXPECT_TRUE(dragOver(files));
    drop(files);
    EXPECT_EQ(entries(), (QStringList{"first", "/home/user/b list.txt", "/home/user/a-folder",
                                      "/home/user/c.pdf"}));
}

TEST_F(DropTest, DataThatIsNoFileListIsRefused) {
    QMimeData text;
    text.setText(QStringLiteral("http://www.example.com/"));
    QMimeData link;
    link.setUrls({QUrl(QStringLiteral("http://www.example.com/"))});
    QMimeData mixed;
    mixed.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/a.txt")),
                   QUrl(QStringLiteral("http://www.example.com/"))});
    for (const QMimeData* data : {&text, &link, &mixed}) {
        EXPECT_FALSE(dragOver(*data));
        drop(*data);
    }
    EXPECT_EQ(window.siteList().Count(), 0);
}

TEST_F(DropTest, DropsAreTakenDuringARun) {
    form.ShowHourglass();
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/a.txt"))});
    EXPECT_TRUE(dragOver(files));
    drop(files);
    EXPECT_EQ(entries(), QStringList{QStringLiteral("/tmp/a.txt")});
}

TEST_F(SiteListTest, ThePointerIsTheHandOverButtonsAndTheDefaultElsewhere) {
    add({"A"});
    form.customPointer = QCursor(Qt::OpenHandCursor);  // as if HAND-M.CUR was loaded
    const auto moveOver = [](QWidget* widget, QPoint at = QPoint()) {
        QTest::mouseMove(widget, at.isNull() ? widget->rect().center() : at);
    };
    const auto formPointer = [&] {
        return form.testAttribute(Qt::WA_SetCursor) ? form.cursor().shape() : Qt::ArrowCursor;
    };
    for (QPushButton* button : {form.PushButton1, form.PushButton2, form.PushButton3,
                                form.PushButton4, form.PushButton6, form.PushButton7}) {
        SCOPED_TRACE(button->objectName().toStdString());
        moveOver(form.Frame2, QPoint(form.Frame2->width() - 5, form.Frame2->height() - 5));
        EXPECT_EQ(formPointer(), Qt::ArrowCursor);
        moveOver(button);
        EXPECT_EQ(formPointer(), Qt::OpenHandCursor);
    }
    // The option buttons have no rule: the hand stays.
    moveOver(form.Option1);
    EXPECT_EQ(formPointer(), Qt::OpenHandCursor);
    moveOver(form.Text1);
    EXPECT_EQ(formPointer(), Qt::ArrowCursor);
    moveOver(form.PushButton1);
    moveOver(list.viewport(), rowCentre(0));
    EXPECT_EQ(formPointer(), Qt::ArrowCursor);
    moveOver(form.PushButton1);
    moveOver(&form, QPoint(2, 2));  // the window's background
    EXPECT_EQ(formPointer(), Qt::ArrowCursor);
    moveOver(form.PushButton1);
    moveOver(form.Frame1, QPoint(5, form.Frame1->height() - 3));
    EXPECT_EQ(formPointer(), Qt::ArrowCursor);

    // During a run the hourglass stays everywhere.
    form.ShowHourglass();
    moveOver(form.PushButton4);
    EXPECT_TRUE(form.IsBusy());
    moveOver(list.viewport(), rowCentre(0));
    moveOver(form.Frame1, QPoint(5, form.Frame1->height() - 3));
    EXPECT_TRUE(form.IsBusy());
}

}  // namespace
}  // namespace quendrel
