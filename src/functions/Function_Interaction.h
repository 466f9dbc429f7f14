// The interaction family of built-in functions: the keyboard, mouse and joystick queries,
// the message, question and input boxes with their settings, the menu, the choosers, the
// splash screens, the high scores and the game information.
#pragma once

#include <span>

#include "functions/Function_Main.h"

namespace kelvane {

std::span<const RFunction> interaction_functions();

} // namespace kelvane
