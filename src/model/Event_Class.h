// An event of an object: an ordered list of actions.
#pragma once

#include <vector>

#include "model/Action_Class.h"

namespace kelvane {

// Event types.
enum EventType : int32_t {
    ev_create = 0,
    ev_destroy = 1,
    ev_alarm = 2,
    ev_step = 3,
    ev_collision = 4,
    ev_keyboard = 5,
    ev_mouse = 6,
    ev_other = 7,
    ev_draw = 8,
    ev_keypress = 9,
    ev_keyrelease = 10,
};
constexpr int32_t event_type_count = 11;

class CEvent {
  public:
    std::vector<CAction> actions;

    int32_t count() const { return static_cast<int32_t>(actions.size()); }
    const CAction* action(int32_t i) const {
        return i >= 0 && i < count() ? &actions[size_t(i)] : nullptr;
    }
    bool read(CStream& s);
    void write(CStream& s) const;
};

} // namespace kelvane
