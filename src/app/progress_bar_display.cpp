#include "progress_bar_display.h"

#include <QProgressBar>
#include <algorithm>
#include <cmath>

namespace quendrel {

void ProgressBarDisplay::setText(const QString& text) {
    text_ = text;
    // The bar reads %p, %v and %m as placeholders; a literal % is doubled.
    QString format = text;
    format.replace(QLatin1Char('%'), QStringLiteral("%%"));
    bar_.setFormat(format);
}

void ProgressBarDisplay::setValue(double value) {
    value_ = std::isnan(value) ? 0.0 : std::clamp(value, 0.0, 100.0);
    bar_.setValue(static_cast<int>(std::lround(value_)));
}

}  // namespace quendrel
