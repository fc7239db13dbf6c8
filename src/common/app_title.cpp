#include "app_title.h"

#include "product.h"

namespace quendrel {

namespace {
constexpr int kLongestTitle = 40;
QString& storedTitle() {
    static QString title = kProductName;
    return title;
}
}  // namespace

QString AppTitleFrom(const QString& productName) {
    QString title = productName;
    if (!title.contains(QLatin1Char(' '))) return title.left(kLongestTitle);
    do {
        const qsizetype blank = title.lastIndexOf(QLatin1Char(' '));
        if (blank < 0) return title.left(kLongestTitle);
        title.truncate(blank);
    } while (title.size() > kLongestTitle);
    return title;
}

const QString& AppTitle() { return storedTitle(); }

void SetAppTitle() { storedTitle() = AppTitleFrom(kProductName); }

}  // namespace quendrel
