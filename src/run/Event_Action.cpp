// The action functions and the table that maps action ids to them. Control actions answer
// true and do nothing; the executor gives them their meaning.
#include "run/Event_Action.h"

#include "code/Code_Class.h"
#include "code/Code_Main.h"
#include "model/Action_Class.h"
#include "run/Instance_Class.h"
#include "runner/Runtime.h"

namespace kelvane {

double action_real(Runtime& rt, CInstance* self, CInstance* other, const CAction& a, int32_t i) {
    const CCode* code = a.argument_code(i);
    if (!code) return 0;
    return evaluate_expression(rt, self, other, *code).real;
}

std::string action_text(Runtime& rt, CInstance* self, CInstance* other, const CAction& a,
                        int32_t i) {
    const std::string& text = a.argument_text(i);
    if (!text.empty() && (text[0] == '"' || text[0] == '\'')) {
        const CCode* code = a.argument_code(i);
        if (code) return evaluate_expression(rt, self, other, *code).str.str();
    }
    return text;
}

namespace {

bool nothing(Runtime&, CInstance*, CInstance*, const CAction&) {
    return true;
}

// 30: the expression is true.
bool if_expression(Runtime& rt, CInstance* self, CInstance* other, const CAction& a) {
    return round_int(action_real(rt, self, other, a, 0)) > 0.5;
}

// 34: execute the code of argument 0; 35: set a variable (its code was built from the
// two arguments when the game was prepared).
bool execute_code(Runtime& rt, CInstance* self, CInstance* other, const CAction& a) {
    if (const CCode* code = a.argument_code(0)) run_program(rt, self, other, *code);
    return true;
}

// 68: argument 0 compared with argument 1: 1 smaller, 2 larger, otherwise equal.
bool compare_values(Runtime& rt, CInstance* self, CInstance* other, const CAction& a) {
    double v = action_real(rt, self, other, a, 0);
    double w = action_real(rt, self, other, a, 1);
    switch (round_int(action_real(rt, self, other, a, 2))) {
    case 1:
        return v < w;
    case 2:
        return v > w;
    default:
        return v == w;
    }
}

// 36: draw a sprite; a negative sub-image means the instance's own.
bool draw_sprite_action(Runtime& rt, CInstance* self, CInstance* other, const CAction& a) {
    int32_t sprite = round_int(action_real(rt, self, other, a, 0));
    double x = action_real(rt, self, other, a, 1), y = action_real(rt, self, other, a, 2);
    int32_t frame = round_int(action_real(rt, self, other, a, 3));
    if (!rt.game.sprites.exists(sprite)) {
        report_error(rt, "Trying to draw a non-existing sprite: " + std::to_string(sprite), false);
        return true;
    }
    if (frame < 0 && self)
        frame =
            self->image_single >= 0 ? round_int(self->image_single) : round_int(self->image_index);
    if (a.relative && self) x += self->x, y += self->y;
    rt.images.draw_sprite(sprite, frame, round_int(x), round_int(y));
    return true;
}

// 54: draw a background, tiled over the room when asked.
bool draw_background_action(Runtime& rt, CInstance* self, CInstance* other, const CAction& a) {
    int32_t background = round_int(action_real(rt, self, other, a, 0));
    double x = action_real(rt, self, other, a, 1), y = action_real(rt, self, other, a, 2);
    bool tiled = action_real(rt, self, other, a, 3) > 0.5;
    if (!rt.game.backgrounds.exists(background)) {
        report_error(rt, "Trying to draw a non-existing background: " + std::to_string(background),
                     false);
        return true;
    }
    if (a.relative && self) x += self->x, y += self->y;
    CRoom* room = rt.run.room();
    if (tiled && room)
        rt.images.draw_background_tiled(background, round_int(x), round_int(y),
                                        {0, 0, room->width, room->height}, true, true);
    else
        rt.images.draw_background(background, round_int(x), round_int(y));
    return true;
}

// 62: the screen mode: 1 window, 2 full screen, anything else switches.
bool screen_mode_action(Runtime& rt, CInstance* self, CInstance* other, const CAction& a) {
    if (rt.game.options.exclusive_mode) return true;
    int32_t mode = round_int(action_real(rt, self, other, a, 0));
    rt.display.set_full_screen(mode == 1 ? false : mode == 2 ? true : !rt.display.is_full_screen());
    return true;
}

std::array<RActionEntry, action_count> make_table() {
    std::array<RActionEntry, action_count> t;
    for (auto& e : t) e.function = nothing;
    auto add = [&](int32_t id, bool question, bool applies_to, ActionFunction f) {
        t[size_t(id)] = {true, question, applies_to, f};
    };
    // Control actions.
    add(action_exit, false, false, nothing);
    add(action_else, true, false, nothing);
    add(action_begin_block, false, false, nothing);
    add(action_end_block, false, false, nothing);
    add(action_repeat, true, false, nothing);
    add(66, false, false, nothing);
    // Code and variables.
    add(30, true, true, if_expression);
    add(34, false, true, execute_code);
    add(35, false, true, execute_code);
    add(68, true, true, compare_values);
    // Drawing and the screen.
    add(36, false, true, draw_sprite_action);
    add(54, false, false, draw_background_action);
    add(62, false, false, screen_mode_action);
    return t;
}

} // namespace

const std::array<RActionEntry, action_count>& action_table() {
    static const std::array<RActionEntry, action_count> table = make_table();
    return table;
}

const RActionEntry& action_entry(int32_t id) {
    static const RActionEntry undefined{false, false, false, nothing};
    return id >= 0 && id < action_count ? action_table()[size_t(id)] : undefined;
}

} // namespace kelvane
