#include "site_list.h"

#include "platform/failure.h"
#include "site_list_model.h"

namespace quendrel {

void SiteList::Append(const QString& text) { entries_.append(text); }

int SiteList::Count() const { return entries_.count(); }

void SiteList::checkPosition(int position) const {
    if (position < 1 || position > entries_.count())
        throw Failure(QStringLiteral("Index out of bounds"));
}

QString SiteList::TextAt(int position) const {
    checkPosition(position);
    return entries_.textAt(position - 1);
}

void SiteList::RemoveAt(int position) {
    checkPosition(position);
    entries_.removeAt(position - 1);
}

void SiteList::Clear() { entries_.clear(); }

}  // namespace quendrel
