// The miscellaneous family of built-in functions: code given as text or in a file, and the
// queries of the game's resources (objects, sprites, backgrounds, rooms, sounds, scripts,
// paths).
#pragma once

#include <span>

#include "functions/Function_Main.h"

namespace kelvane {

std::span<const RFunction> misc_functions();

} // namespace kelvane
