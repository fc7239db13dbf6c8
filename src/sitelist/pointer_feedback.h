#pragma once
// The main window's pointer as it moves over the controls: the hand over the
// six push buttons, the default pointer over the background, the frames, the
// folder box and the list. While a save run is busy the hourglass stays.
#include <QList>
#include <QObject>

class QWidget;

namespace quendrel {

class SiteListWindow;

class PointerFeedback : public QObject {
    Q_OBJECT
public:
    // Watches the given controls of the window from now on: the hand over
    // handOver, the default pointer over defaultOver. The list reports its own
    // moves and calls ShowDefaultPointer itself.
    PointerFeedback(SiteListWindow& window, const QList<QWidget*>& handOver,
                    const QList<QWidget*>& defaultOver);

    void ShowHandPointer();
    void ShowDefaultPointer();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    SiteListWindow& window_;
};

}  // namespace quendrel
