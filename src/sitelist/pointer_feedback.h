#pragma once
// The main window's pointer as it moves over the controls: the hand over the
// six push buttons, the default pointer over the background, the frames, the
// folder box and the list. While a save run is busy the hourglass stays.
#include <QObject>

namespace quendrel {

class Form1;

class PointerFeedback : public QObject {
    Q_OBJECT
public:
    // Watches the window's controls from now on. The list reports its own
    // moves and calls ShowDefaultPointer itself.
    explicit PointerFeedback(Form1& form);

    void ShowHandPointer();
    void ShowDefaultPointer();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Form1& form_;
};

}  // namespace quendrel
