// An object: a kind of thing in the game, with its sprite, flags, parent and events.
#pragma once

#include <array>
#include <map>

#include "model/Event_Class.h"

namespace kelvane {

class CObject {
  public:
    // Record version: 400 stores event types 0 ... 8, 430 names its last type.
    int32_t version = 430;
    // The last event type a record of version 430 stored (negative: none).
    int32_t last_event_type = event_type_count - 1;
    int32_t sprite = -1;
    bool solid = false;
    bool visible = true;
    int32_t depth = 0;
    bool persistent = false;
    int32_t parent = -1;
    int32_t mask = -1;
    // One map per event type, from event number to event. Only stored events are present;
    // numbers between them are absent, as empty events would be.
    std::array<std::map<int32_t, CEvent>, event_type_count> events;

    // The event at (type, number), made when missing; none for a type outside 0 ... 10.
    CEvent* event_slot(int32_t type, int32_t number);
    // The event at (type, number) when it has at least one action.
    const CEvent* own_event(int32_t type, int32_t number) const;
    bool has_own_events_of_type(int32_t type) const;
    void clear();
    bool read(CStream& s);
    // Writes a record of the object's version (430 when it has events of type 9 or 10),
    // with its last event type raised to cover every stored event.
    void write(CStream& s) const;
};

} // namespace kelvane
