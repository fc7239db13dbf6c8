#pragma once
// The progress bar as the save run and the process runner see it: a text shown
// inside the bar and a value from 0 to 100. The value is kept as set (33.33...);
// the bar shows it rounded.
#include <QString>

namespace quendrel {

class ProgressDisplay {
public:
    virtual ~ProgressDisplay() = default;
    virtual QString text() const = 0;
    virtual void setText(const QString& text) = 0;
    virtual double value() const = 0;
    // Values outside 0..100 are kept inside that range.
    virtual void setValue(double value) = 0;
};

}  // namespace quendrel
