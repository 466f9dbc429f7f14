// The message queue's rules.
#include "multiplayer/DPlay_Shared.h"

#include <algorithm>

namespace kelvane {

bool CMessageQueue::append(RMessageRecord r) {
    if (entries_.size() >= capacity) compact();
    if (entries_.size() >= capacity) return false;
    entries_.push_back({std::move(r), false});
    return true;
}

bool CMessageQueue::take(int32_t player, RMessageRecord& out) {
    for (size_t i = read_; i < entries_.size(); ++i) {
        Entry& e = entries_[i];
        if (e.consumed || !from_player(e.record, player)) continue;
        e.consumed = true;
        out = e.record;
        while (read_ < entries_.size() && entries_[read_].consumed) ++read_;
        return true;
    }
    return false;
}

int32_t CMessageQueue::count(int32_t player) const {
    int32_t n = 0;
    for (size_t i = read_; i < entries_.size(); ++i)
        if (!entries_[i].consumed && from_player(entries_[i].record, player)) ++n;
    return n;
}

void CMessageQueue::clear(int32_t player) {
    for (size_t i = read_; i < entries_.size(); ++i)
        if (from_player(entries_[i].record, player)) entries_[i].consumed = true;
    compact();
}

void CMessageQueue::compact() {
    std::erase_if(entries_, [](const Entry& e) { return e.consumed; });
    read_ = 0;
}

} // namespace kelvane
