#include "look_ahead_queue.h"

#include <algorithm>

namespace quendrel {

void LookAheadQueue::Plan(const QList<AheadEntry>& coming, const Start& start) {
    // Keep what matches the coming entries in order; release the rest before
    // anything new starts, so no more work exists at once than is coming.
    std::deque<Item> kept;
    std::vector<bool> has(coming.size(), false);
    auto next = items_.begin();
    for (qsizetype i = 0; i < coming.size(); ++i) {
        const auto found = std::find_if(next, items_.end(), [&](const Item& item) { return item.entry == coming[i]; });
        if (found == items_.end()) continue;
        kept.push_back(std::move(*found));
        has[i] = true;
        next = found + 1;
    }
    items_.clear();
    auto keptItem = kept.begin();
    for (qsizetype i = 0; i < coming.size(); ++i) {
        if (has[i]) {
            items_.push_back(std::move(*keptItem++));
        } else if (std::unique_ptr<AheadWork> work = start(coming[i])) {
            items_.push_back({coming[i], std::move(work)});
        }
    }
}

std::unique_ptr<AheadWork> LookAheadQueue::Take(const AheadEntry& entry) {
    if (items_.empty() || !(items_.front().entry == entry)) return nullptr;
    std::unique_ptr<AheadWork> work = std::move(items_.front().work);
    items_.pop_front();
    return work;
}

QList<AheadEntry> WithinCaptureLimit(const QList<AheadEntry>& coming, int captures) {
    QList<AheadEntry> kept;
    for (const AheadEntry& entry : coming)
        if (entry.method != 1 || captures-- > 0) kept.push_back(entry);
    return kept;
}

}  // namespace quendrel
