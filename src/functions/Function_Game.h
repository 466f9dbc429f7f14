// The game family of built-in functions: instances, rooms and the game. They evaluate
// their arguments and call the run engine's operations with the code's self and other.
#pragma once

#include <span>

#include "functions/Function_Main.h"

namespace kelvane {

std::span<const RFunction> game_functions();
// The event functions of the miscellaneous family.
std::span<const RFunction> event_functions();
// The resource-memory functions of sprites and backgrounds.
std::span<const RFunction> resource_memory_functions();

} // namespace kelvane
