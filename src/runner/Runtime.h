// All mutable state of one game run: the game with its resource lists and, as the
// subsystems arrive, the script state, rooms, instances, display, input, sound and errors.
// A test makes a fresh runtime and throws it away; there are no other mutable globals.
#pragma once

#include "graphics/Graphics_Main.h"
#include "graphics/Graphics_Sprites.h"
#include "graphics/Graphics_Window.h"
#include "graphics/Support_File.h"
#include "runner/Game.h"

namespace kelvane {

struct Runtime {
    Game game;
    // The temporary directory of the run (made at start-up, removed with the runtime).
    TempDirectory temp;
    // The drawing buffer, ports and presentation; the drawable images; the input state.
    CDisplay display;
    CDrawables images;
    RInputState input;
};

} // namespace kelvane
