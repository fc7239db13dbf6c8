#pragma once
// The site list as the rest of the program uses it: entries at positions 1..N.
// Nothing that enters it is trimmed, checked or de-duplicated.
#include <QString>

namespace quendrel {

class SiteListModel;

class SiteList {
public:
    explicit SiteList(SiteListModel& entries) : entries_(entries) {}

    // The text becomes the last entry.
    void Append(const QString& text);
    // N, 0 for an empty list.
    int Count() const;
    // The entry at a position 1..N; throws Failure for any other position.
    QString TextAt(int position) const;
    // Removes the entry at a position 1..N; the ones behind it move up.
    void RemoveAt(int position);
    void Clear();

    // The store behind the list, for the view and for long imports.
    SiteListModel& entries() const { return entries_; }

private:
    void checkPosition(int position) const;

    SiteListModel& entries_;
};

}  // namespace quendrel
