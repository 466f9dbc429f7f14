// Names of events, keys and mouse buttons, as error messages show them.
#pragma once

#include <cstdint>
#include <string>

namespace kelvane {

std::string key_name(int32_t key);
std::string mouse_button_name(int32_t number);
// The name of an other event (type 7) by number; "<unknown>" when it has none.
std::string other_event_name(int32_t number);
// The event's name in messages; `collision_object` is the name of the other object of a
// collision event (the event number), unused for other types.
std::string event_name(int32_t type, int32_t number, const std::string& collision_object = "");

} // namespace kelvane
