// Drawing the current room (views that follow their instances, backgrounds, tiles and
// instances by depth, the caption with score and lives) and handing the frame and the
// window's events between the run engine and the display.
#pragma once

#include <cstdint>
#include <string>

namespace kelvane {

struct Runtime;

// Moves the views after the instances they follow, within the room and their speeds.
void update_views(Runtime& rt);
// The window caption: the room caption, with score and lives when shown.
std::string room_caption_text(const Runtime& rt);
// The whole drawing step of a room; draw events run here.
void draw_room(Runtime& rt);
// Presents the drawn frame with the current transition.
void present_room(Runtime& rt);
// Sizes the display for the current room.
void size_room_display(Runtime& rt);
// Releases images and sounds loaded on use (room change).
void release_room_resources(Runtime& rt);
// The mouse position in room coordinates.
void mouse_in_room(Runtime& rt, double& x, double& y);
// Shows the cursor as the game's option says at game start, and the normal one at its end.
void show_game_cursor(Runtime& rt, bool game_starts);
// Lets the window system deliver its events (input) to the run state.
void process_window_events(Runtime& rt);
// Tells the display which step is about to run.
void begin_display_step(Runtime& rt, int64_t step);
void wait_vertical_blank(Runtime& rt);

} // namespace kelvane
