// The run state of a game and the main loop: rooms entered and left, game start, end and
// restart, the room-change requests, the order of work inside one step, and pacing.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "model/Room_Class.h"
#include "run/Instance_Class.h"

namespace kelvane {

struct Runtime;

// Pending room change values besides a room index.
enum PendingChange : int32_t {
    pending_none = -1,
    pending_end = -100,
    pending_restart = -200,
    pending_load = -300,
    pending_error_end = -400,
};

// Objects having each event, computed once from the objects and their parents.
struct DispatchTables {
    bool built = false;
    std::array<std::vector<int32_t>, 8> alarm;
    std::array<std::vector<int32_t>, 3> step;
    std::array<std::vector<int32_t>, 201> keyboard, keypress, keyrelease;
    std::array<std::vector<int32_t>, 10> mouse;
    std::vector<int32_t> outside, boundary;
    std::vector<std::pair<int32_t, int32_t>> collision_pairs;
};

// The debug window as the main loop sees it.
class DebugWatcher {
  public:
    virtual ~DebugWatcher() = default;
    // The end of every step that no room change cut short.
    virtual void refresh() = 0;
    // The window's own input, handled whenever the game window's events are.
    virtual void window_events() = 0;
    // The key that pauses the game and shows the window went down in the game window.
    virtual void pause_key() {}
};

struct RunState {
    bool running = false;
    bool paused = false;
    int32_t pending = pending_none;
    int32_t current_room = -1;
    std::vector<std::unique_ptr<CRoom>> rooms; // the room table: one slot per room
    std::vector<std::unique_ptr<CInstance>> carried;
    int32_t event_object = -1, event_type = 0, event_number = 0;
    int32_t action_number = 0;
    int32_t fps = 0;
    DispatchTables tables;
    std::string load_file_name;
    int64_t steps_done = 0;
    std::optional<int64_t> max_steps;   // end as Esc does after this many steps
    std::optional<uint32_t> fixed_seed; // seed for every game start instead of the clock
    bool headless = false;
    // Settings the game may change through built-in variables; they start as the options.
    bool keyboard_continuous = true, mouse_continuous = true;
    bool show_score = true, show_cursor = true;
    int32_t view_current = 0;
    bool first_error = true;
    bool fatal_error = false; // the game ended on a fatal error
    // The debug window, when one is shown, and the game window's key that pauses the game
    // and shows it (0: none; the key then never reaches the game).
    DebugWatcher* debugger = nullptr;
    int32_t debug_key = 0;
    // Called after every step with its number (the watches of a run).
    std::function<void(int64_t step)> after_step;

    CRoom* room() const {
        return current_room >= 0 && size_t(current_room) < rooms.size()
                   ? rooms[size_t(current_room)].get()
                   : nullptr;
    }
};

// Runs the game until it ends (start-up calls this after load and prepare).
void run_game_loop(Runtime& rt);
// One step of the current room.
void run_step(Runtime& rt);
// The debug window's Step for a paused game: one step with its frame and the pending room
// change; when that ends the game, its game end runs.
void step_paused_game(Runtime& rt);
// The debug window's Stop: a paused game ends at once (its game end runs); a running one
// leaves the loop after the current pass. Nothing once the game has ended.
void stop_game(Runtime& rt);

// Requests (no immediate effect; they stop the running action lists).
void request_goto(Runtime& rt, int32_t room);
void request_previous(Runtime& rt);
void request_next(Runtime& rt);
void request_restart_room(Runtime& rt);
void request_end(Runtime& rt);
void request_restart_game(Runtime& rt);

// The lives setter: the no-more-lives event when lives drop from above 0 to 0 or less.
void set_lives(Runtime& rt, int32_t lives);

// Performs the creation event of a new instance made at run time, and the other run-time
// instance operations.
CInstance* create_instance(Runtime& rt, int32_t object, double x, double y);
void destroy_instance(Runtime& rt, CInstance& inst);
void change_instance(Runtime& rt, CInstance& inst, int32_t object, bool perform_events);
// Sets the instance's sprite, or reports that the sprite does not exist.
void set_instance_sprite(Runtime& rt, CInstance& inst, int32_t sprite);

} // namespace kelvane
