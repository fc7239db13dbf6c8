#pragma once
// The main window: its controls at their fixed places, nothing else. The
// handlers live in plain classes that the application wires to these controls.
#include <QCursor>
#include <QWidget>
#include <functional>

class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace quendrel {

class SiteListView;

class Form1 : public QWidget {
    Q_OBJECT
public:
    explicit Form1(QWidget* parent = nullptr);

    SiteListView* ListView1;
    QPushButton* PushButton1;  // "Add Single Web Site URL"
    QPushButton* PushButton6;  // "Load List Of Sites From File"
    QPushButton* PushButton7;  // "Clear List"
    QPushButton* PushButton4;  // "Load Sample/Example Files"
    QGroupBox* Frame2;         // "Save Method"
    QRadioButton* Option1;
    QRadioButton* Option2;
    QRadioButton* Option3;
    QGroupBox* Frame1;  // "Save PDF Files To This Folder"
    QLineEdit* Text1;
    QPushButton* PushButton3;  // "..."
    QPushButton* PushButton2;  // "Start Saving As PDF"
    QProgressBar* ProgressBar1;
    // Never seen: both lie below the client area.
    QWidget* WebBrowser1;  // the browser's place, below the client area; pages render headless
    QLabel* Creator;       // holds the captured picture

    // The pointer the push buttons show; the hand image when one was loaded.
    QCursor customPointer{Qt::PointingHandCursor};
    // Runs when the window is closed; the application ends the process there.
    std::function<void()> onUnload;

    // A save run is in progress exactly while the window shows the hourglass;
    // there is no other busy flag.
    bool IsBusy() const { return cursor().shape() == Qt::WaitCursor; }
    void ShowHourglass() { setCursor(Qt::WaitCursor); }
    void ShowDefaultPointer() { unsetCursor(); }

    // The size of the client area, in pixels.
    static QSize clientSize();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void placeControls();
    void setColours();
    void setTabOrderOfLayout();
};

}  // namespace quendrel
