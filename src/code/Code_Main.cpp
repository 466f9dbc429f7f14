// Running compiled code: the three entry points, the messages composed from the error
// globals, and the reset of the script state.
#include "code/Code_Main.h"

#include "code/Code_Class.h"
#include "code/Code_Execute.h"
#include "run/Runtime.h"

namespace kelvane {

void report_error(Runtime& rt, const std::string& message, bool fatal) {
    const ErrorReporter& r = rt.script.reporter;
    if (!r.game_running || !r.handler) return;
    r.handler(message, fatal);
}

void reset_script_state(Runtime& rt) {
    ScriptState& s = rt.script;
    for (auto& a : s.arguments) a = RValue();
    s.globals.clear();
    s.names.clear();
}

void start_game_values(Runtime& rt) {
    GameValues& v = rt.script.values;
    v.score = 0;
    v.lives = -1;
    v.transition_kind = 0;
    v.transition_time = 0;
    v.transition_steps = 40;
    rt.script.globals.clear();
}

void seed_random(Runtime& rt, uint32_t seed) {
    rt.script.random_seed = seed;
}

std::string program_error_message(const ErrorGlobals& e) {
    return "in code at line " + std::to_string(e.line) + ":\r\n   " + e.line_text +
           "\r\n\r\nat position " + std::to_string(e.column) + ": " + e.message;
}

namespace {

std::string expression_message(const ErrorGlobals& e, const CCode& code) {
    return "in expression:" + code.text() + "\r\nat position " + std::to_string(e.column) + ": " +
           e.message;
}

} // namespace

RValue run_program(Runtime& rt, CInstance* self, CInstance* other, const CCode& code) {
    if (code.is_constant()) return code.constant_value();
    rt.script.error.flag = false;
    RValue r = execute_program(rt, self, other, code);
    // Also set when a script called from here failed: its message is reported again.
    if (rt.script.error.flag) report_error(rt, program_error_message(rt.script.error), false);
    return r;
}

RValue evaluate_expression(Runtime& rt, CInstance* self, CInstance* other, const CCode& code) {
    if (code.is_constant()) return code.constant_value();
    rt.script.error.flag = false;
    RValue r = execute_expression(rt, self, other, code);
    if (rt.script.error.flag) report_error(rt, expression_message(rt.script.error, code), false);
    return r;
}

RValue evaluate_silently(Runtime& rt, CInstance* self, CInstance* other, const CCode& code) {
    if (code.is_constant()) return code.constant_value();
    rt.script.error.flag = false;
    RValue r = execute_expression(rt, self, other, code);
    if (rt.script.error.flag) return RValue("ERROR");
    return r;
}

} // namespace kelvane
