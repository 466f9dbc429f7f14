// The run engine and the display: drawing the current room (views that follow their
// instances, backgrounds, tiles and instances by depth with their draw events, the
// caption), presenting it, sizing the display per room, and the window's events.
#pragma once

#include <cstdint>

namespace kelvane {

struct Runtime;
class CRoom;

// The whole drawing step of a room; draw events run here.
void draw_room(Runtime& rt);
// Presents the drawn frame with the current transition.
void present_room(Runtime& rt);
// Sizes the display's buffer for the current room; a size that cannot be made is an
// error report (not fatal) and the old buffer stays.
void size_room_display(Runtime& rt);
// Whether a drawing buffer can be made for this room (positive sizes, within the limit).
bool room_display_fits(const CRoom& room);
// Releases images loaded on use (room change).
void release_room_resources(Runtime& rt);
// The mouse position in room coordinates.
void mouse_in_room(Runtime& rt, double& x, double& y);
// The cursor as the game's setting says while it runs, the normal one after it ends.
void show_game_cursor(Runtime& rt, bool game_runs);
// Lets the window deliver its events (input, close requests) to the input state.
void process_window_events(Runtime& rt);
// The same while a step runs: what has arrived by now.
void process_window_events_in_step(Runtime& rt);
// Sleeps for `ms` milliseconds of the game's clock. During a multiplayer session the
// network is served every 100 ms, so that the other players do not take a long sleep for
// a vanished runner.
void sleep_keeping_connections(Runtime& rt, int64_t ms);
// Tells the window which step is about to run (frame numbers, scripted input).
void begin_display_step(Runtime& rt, int64_t step);
void wait_vertical_blank(Runtime& rt);

} // namespace kelvane
