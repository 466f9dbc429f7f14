// Finding events through the parent chains, performing them, and executing action lists
// with questions, else, blocks, repeat and exit.
#pragma once

#include <cstdint>
#include <vector>

namespace kelvane {

struct Runtime;
struct Game;
class CEvent;
class CInstance;

// The event to run for object o, type t, number n, with the object and number where it
// was found; null when none.
const CEvent* find_event(const Game& game, int32_t o, int32_t t, int32_t n,
                         int32_t* found_object = nullptr, int32_t* found_number = nullptr);
// Object o or an ancestor has own events of type t.
bool has_events_of_type(const Game& game, int32_t o, int32_t t);

void perform(Runtime& rt, CInstance* self, CInstance* other, int32_t object, int32_t type,
             int32_t number);
void perform_own(Runtime& rt, CInstance* self, CInstance* other, int32_t type, int32_t number);
void perform_for_all(Runtime& rt, int32_t type, int32_t number);
// Performs an event of the instances of the given objects, grouped by object, each
// object's instances in its list order.
void perform_for_objects(Runtime& rt, const std::vector<int32_t>& objects, int32_t type,
                         int32_t number);
// event_inherited: the parent's event with the current event's type and number.
void perform_inherited(Runtime& rt, CInstance* self, CInstance* other);

} // namespace kelvane
