#pragma once
// The work a run prepares ahead of the entry in hand, kept in list order, so
// that each entry's own call finds what was prepared for it, or nothing.
#include "page_rendering.h"

#include <QList>
#include <deque>
#include <functional>
#include <memory>

namespace quendrel {

// Something prepared for one entry: a page loading, a download, a capture.
// Releasing it ends whatever it still has under way.
class AheadWork {
public:
    virtual ~AheadWork() = default;
};

// The coming entries without the captures beyond the first `captures`: each
// capture is an engine of its own and bound by the processor, so more of them
// at once buy no speed, only memory. Order is kept.
QList<AheadEntry> WithinCaptureLimit(const QList<AheadEntry>& coming, int captures);

class LookAheadQueue {
public:
    // Starts the work for an entry, or gives none (for a method with nothing
    // to prepare).
    using Start = std::function<std::unique_ptr<AheadWork>(const AheadEntry&)>;

    // Brings the queue in line with the entries coming, in list order: work
    // whose entry still comes, with the same method, is kept; all other work
    // is released first; each coming entry without work gets it from start.
    void Plan(const QList<AheadEntry>& coming, const Start& start);
    // The work prepared for this entry when it is the first in the queue;
    // the caller holds it from then on. Work for later entries stays.
    std::unique_ptr<AheadWork> Take(const AheadEntry& entry);
    void Clear() { items_.clear(); }
    size_t size() const { return items_.size(); }

private:
    struct Item {
        AheadEntry entry;
        std::unique_ptr<AheadWork> work;
    };
    std::deque<Item> items_;
};

}  // namespace quendrel
