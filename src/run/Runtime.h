// All mutable state of one game run: the game with its resource lists, the script state,
// the run state with its rooms and instances, collision masks, and the platform the game
// is shown on. A test makes a fresh runtime and throws it away; there are no other
// mutable globals.
#pragma once

#include <memory>

#include "code/Code_Main.h"
#include "functions/Function_File.h"
#include "functions/Support_DLL.h"
#include "functions/Support_Message.h"
#include "graphics/Graphics_GDI.h"
#include "graphics/Graphics_Main.h"
#include "graphics/Graphics_Sprites.h"
#include "graphics/Graphics_Window.h"
#include "graphics/Support_File.h"
#include "multiplayer/DPlay_Main.h"
#include "platform/Files.h"
#include "platform/Recording.h"
#include "platform/Registry_Store.h"
#include "run/Collision_Main.h"
#include "run/Game.h"
#include "run/Run_Main.h"
#include "sound/Sound_Main.h"

namespace kelvane {

struct Platform;

struct Runtime {
    Game game;
    // The script language: variables, argument slots, errors, random generator.
    ScriptState script;
    // Rooms, instances, events and the main loop's state.
    RunState run;
    CollisionMasks masks;
    // Where the game is shown; set by the start-up before the game runs.
    Platform* platform = nullptr;
    // The game's files, registry values and programs (made by the start-up).
    FileNames file_names;
    std::unique_ptr<RegistryStore> registry;
    std::unique_ptr<GameFiles> files;
    // The functions of the game's own libraries that the game has defined.
    ExternalFunctions externals;
    // The multiplayer connection, session, shared data and messages.
    CMultiplayer multiplayer;
    // The temporary directory of the run (made at start-up, removed with the runtime).
    TempDirectory temp;
    // The drawing buffer, ports and presentation; the drawable images; the input state.
    CDisplay display;
    CDrawables images;
    RInputState input;
    // Pen, brush and font of the drawing functions.
    RDrawingState drawing;
    // The shape and text layer: its target port, the polygon being built, the fonts.
    CGraphicsGDI gdi;
    // Where sounds play.
    RSoundState sound;
    // The message box's settings, kept for the rest of the game.
    RMessageSettings message;
    // The player's answers given with `run --answers`, taken one by one by our windows.
    std::vector<std::string> answers;
    size_t next_answer = 0;
    // The recording being made (`run --record`), which our boxes tell when they open and
    // close; null when none is.
    RecordingDisplay* recording = nullptr;
};

} // namespace kelvane
