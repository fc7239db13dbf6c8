#pragma once
#include "saverun/progress_display.h"

class QProgressBar;

namespace quendrel {

// ProgressBar1 as a progress display: the text shown inside the bar, the value
// kept exactly as set and shown rounded.
class ProgressBarDisplay : public ProgressDisplay {
public:
    explicit ProgressBarDisplay(QProgressBar& bar) : bar_(bar) {}
    QString text() const override { return text_; }
    void setText(const QString& text) override;
    double value() const override { return value_; }
    void setValue(double value) override;

private:
    QProgressBar& bar_;
    QString text_ = QStringLiteral("Progress Bar");
    double value_ = 0;
};

}  // namespace quendrel
