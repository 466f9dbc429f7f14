// The 29 built-in functions of the multiplayer family; they act on Runtime::multiplayer.
#pragma once

#include <span>

#include "functions/Function_Main.h"

namespace kelvane {

std::span<const RFunction> multiplayer_functions();

} // namespace kelvane
