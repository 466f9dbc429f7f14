// The run-wide state of the script language (ScriptState, one member of the Runtime) and
// the entry points that run compiled code: run as a program, evaluate as an expression,
// evaluate silently. Also the single error report entry point of the running game.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "code/Code_Token.h"
#include "code/Variable_Class.h"

namespace kelvane {

struct Runtime;
class CCode;
class CInstance;
class InstanceAccess;

// What the latest error of a run left behind, shared by all runs.
struct ErrorGlobals {
    bool flag = false; // an error happened in the latest run started
    std::string message;
    int32_t line = 0;
    int32_t column = 0;
    std::string line_text;
};

// The one report operation of the running game. While no game runs a report does nothing.
// The run engine installs the handler that composes the full text, shows and logs it and
// ends the game when the error is fatal; `kelvane exec` installs one that prints it.
struct ErrorReporter {
    bool game_running = false;
    std::function<void(const std::string& message, bool fatal)> handler;
};

// Run-wide values behind built-in global variables that need no other subsystem.
struct GameValues {
    int32_t score = 0;
    int32_t lives = -1;
    int32_t transition_kind = 0;
    int32_t transition_time = 0;
    int32_t transition_steps = 40;
    bool error_occurred = false;
    RString error_last;
};

constexpr int32_t argument_count = 10;

// How deep runs may nest: script calls, and code that built-in functions run. A call made
// at this depth stops the run with "Stack overflow.". Checked at calls, so runaway
// recursion ends the same way however little stack each level takes.
constexpr int32_t max_run_depth = 4096;

// The argument slots as one script call saw them (Script_Arguments).
class ArgumentFrame;

// The frames of the script calls that the machine runs in its own loop (Code_Machine),
// kept from run to run so that a call allocates nothing once the depth was reached before.
// What a frame holds is the machine's own business.
class CallFrames {
  public:
    CallFrames();
    CallFrames(const CallFrames&) = delete;
    CallFrames& operator=(const CallFrames&) = delete;
    ~CallFrames();
    struct Pool;
    Pool& pool() { return *pool_; }

  private:
    std::unique_ptr<Pool> pool_;
};

struct ScriptState {
    VariableNames names;
    // The global user variables (global.name).
    CVariableList globals;
    // The argument slots argument0 ... argument9. Change them through set_argument
    // (Script_Arguments).
    std::array<RValue, argument_count> arguments;
    // The innermost script call in progress, whose slots are restored when it returns.
    ArgumentFrame* argument_frame = nullptr;
    ErrorGlobals error;
    ErrorReporter reporter;
    GameValues values;
    // State of the random generator of `random`.
    uint32_t random_seed = 0;
    // The room's instances; null while none exist (no game running, `kelvane exec`).
    InstanceAccess* instances = nullptr;
    // How many runs are nested right now (scripts calling scripts).
    int32_t run_depth = 0;
    // Code runs compiled (Code_Machine) rather than walked as a tree (Code_Execute).
    bool compiled = true;
    CallFrames frames;
};

// Reports an error through the installed handler; nothing while no game runs.
void report_error(Runtime& rt, const std::string& message, bool fatal);

// The text reported for an error of a run as a program: line, line text, position, message.
std::string program_error_message(const ErrorGlobals& e);

// Resets the script run state when a game is prepared: argument slots to real 0, a fresh
// global list, the variable name table emptied. Called before anything is compiled.
void reset_script_state(Runtime& rt);
// The start of every game: score 0, lives -1, transitions 0, 0, 40, globals emptied.
void start_game_values(Runtime& rt);
// Seeds the generator of `random` (`kelvane run --seed N`, or the clock at game start).
void seed_random(Runtime& rt, uint32_t seed);

// Runs code as a program with the given self and other (either may be null). The result
// is the value of `return`, else real 0; an error is reported as not fatal.
RValue run_program(Runtime& rt, CInstance* self, CInstance* other, const CCode& code);
// Evaluates the first expression of the code; a variable is read. Errors are reported.
RValue evaluate_expression(Runtime& rt, CInstance* self, CInstance* other, const CCode& code);
// As evaluate_expression, but an error yields the string "ERROR" and is not reported.
RValue evaluate_silently(Runtime& rt, CInstance* self, CInstance* other, const CCode& code);

} // namespace kelvane
