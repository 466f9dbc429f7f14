// All mutable state of one game run: the game with its resource lists, the script state,
// the run state with its rooms and instances, collision masks, the display with the
// drawable images, and the platform the game is shown on. A test makes a fresh runtime
// and throws it away; there are no other mutable globals.
#pragma once

#include <memory>

#include "code/Code_Main.h"
#include "functions/Function_File.h"
#include "graphics/Graphics_Main.h"
#include "graphics/Graphics_Sprites.h"
#include "graphics/Support_File.h"
#include "platform/Files.h"
#include "platform/Registry_Store.h"
#include "run/Collision_Main.h"
#include "run/Run_Main.h"
#include "runner/Game.h"

namespace kelvane {

struct Platform;

struct Runtime {
    Game game;
    // The script language: variables, argument slots, errors, random generator.
    ScriptState script;
    // Rooms, instances, events, input and the main loop's state.
    RunState run;
    CollisionMasks masks;
    // The drawing buffer, ports and presentation, and the drawable sprites and backgrounds.
    CDisplay display;
    CDrawables images;
    // Where the game is shown; set by the start-up before the game runs.
    Platform* platform = nullptr;
    // The game's files, registry values and programs (made by the start-up).
    FileNames file_names;
    std::unique_ptr<RegistryStore> registry;
    std::unique_ptr<GameFiles> files;
    // The program's temporary directory, made at start-up and removed with the runtime,
    // and its path (empty when it could not be made).
    TempDirectory temp;
    std::string temp_directory;
};

} // namespace kelvane
