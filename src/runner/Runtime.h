// All mutable state of one game run: the game with its resource lists and, as the
// subsystems arrive, the script state, rooms, instances, display, input, sound and errors.
// A test makes a fresh runtime and throws it away; there are no other mutable globals.
#pragma once

#include "code/Code_Main.h"
#include "runner/Game.h"

namespace kelvane {

struct Runtime {
    Game game;
    // The script language: variables, argument slots, errors, random generator.
    ScriptState script;
};

} // namespace kelvane
