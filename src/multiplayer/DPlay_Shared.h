// What the players share: the 10 001 shared-data values, and the queue of received
// messages with its consumed marks, read position, compaction and dropping.
#pragma once

#include <cstdint>
#include <vector>

#include "multiplayer/DPlay_Low.h"

namespace kelvane {

constexpr int32_t shared_data_slots = 10001;

class SharedData {
  public:
    SharedData() : values_(size_t(shared_data_slots)) {}
    static bool valid(int32_t index) { return index >= 0 && index < shared_data_slots; }
    // The value at index, or real 0 outside 0 ... 10000.
    RValue get(int32_t index) const { return valid(index) ? values_[size_t(index)] : RValue(); }
    // Stores the value; an index outside 0 ... 10000 is ignored.
    void set(int32_t index, const RValue& v) {
        if (valid(index)) values_[size_t(index)] = v;
    }

  private:
    std::vector<RValue> values_;
};

// Whether a record is from `player`: 0 matches every sender, any other number only the
// sender with that id.
inline bool from_player(const RMessageRecord& r, int32_t player) {
    return player == 0 || r.sender == player;
}

class CMessageQueue {
  public:
    static constexpr size_t capacity = 4000;
    // Appends a message; when the queue is full the consumed records are removed first,
    // and when it is still full the message is dropped (false).
    bool append(RMessageRecord r);
    // The first unconsumed record from `player` at or after the read position, marked
    // consumed; false when there is none.
    bool take(int32_t player, RMessageRecord& out);
    int32_t count(int32_t player) const;
    // Marks every record from `player` consumed, then removes the consumed records.
    void clear(int32_t player);
    // Records held, consumed ones included.
    size_t size() const { return entries_.size(); }
    size_t read_position() const { return read_; }

  private:
    struct Entry {
        RMessageRecord record;
        bool consumed = false;
    };
    std::vector<Entry> entries_;
    size_t read_ = 0;
    void compact();
};

} // namespace kelvane
