// The sound and CD audio functions of the game family, and the sound entries of the
// resource memory family.
#pragma once

#include <span>

#include "functions/Function_Main.h"

namespace kelvane {

std::span<const RFunction> sound_functions();
std::span<const RFunction> sound_memory_functions();

} // namespace kelvane
