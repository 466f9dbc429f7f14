// The action functions and the table that maps action ids to them. Control actions answer
// true and do nothing; the executor gives them their meaning.
#include "run/Event_Action.h"

#include "code/Code_Class.h"
#include "code/Code_Main.h"
#include "code/Script_Main.h"
#include "functions/Function_Graphics.h"
#include "functions/Function_Math.h"
#include "functions/Run_Score.h"
#include "functions/Support_Message.h"
#include "graphics/Help_Form.h"
#include "model/Action_Class.h"
#include "platform/Platform.h"
#include "run/Event_Main.h"
#include "run/Instance_Class.h"
#include "run/Run_Command.h"
#include "run/Run_Draw.h"
#include "run/Run_Main.h"
#include "run/Run_Motion.h"
#include "run/Runtime.h"
#include "sound/Sound_Main.h"

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
    return compare_by(action_real(rt, self, other, a, 0), action_real(rt, self, other, a, 1),
                      round_int(action_real(rt, self, other, a, 2)));
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

// ---- drawing with the pen, brush and font ----

// The two corners of a shape action, moved by self's position when relative.
void action_box(Runtime& rt, CInstance* self, CInstance* other, const CAction& a, double box[4]) {
    for (int32_t i = 0; i < 4; ++i) box[i] = action_real(rt, self, other, a, i);
    if (a.relative && self)
        box[0] += self->x, box[1] += self->y, box[2] += self->x, box[3] += self->y;
}
bool draw_shape_action(Runtime& rt, CInstance* self, CInstance* other, const CAction& a,
                       BoxShape shape) {
    double box[4];
    action_box(rt, self, other, a, box);
    draw_box_shape(rt, shape, box[0], box[1], box[2], box[3]);
    return true;
}

// 37: a text; 69: the value of an expression.
bool draw_text_action(Runtime& rt, CInstance* self, CInstance* other, const CAction& a) {
    const std::string text = action_text(rt, self, other, a, 0);
    double x = action_real(rt, self, other, a, 1), y = action_real(rt, self, other, a, 2);
    if (a.relative && self) x += self->x, y += self->y;
    draw_text_at(rt, x, y, text, -1, -1);
    return true;
}
bool draw_value_action(Runtime& rt, CInstance* self, CInstance* other, const CAction& a) {
    const CCode* code = a.argument_code(0);
    const std::string text =
        drawn_text(code ? evaluate_expression(rt, self, other, *code) : RValue());
    double x = action_real(rt, self, other, a, 1), y = action_real(rt, self, other, a, 2);
    if (a.relative && self) x += self->x, y += self->y;
    draw_text_at(rt, x, y, text, -1, -1);
    return true;
}
// 44, 45, 46: rectangle, ellipse and line between two corners.
bool draw_rectangle_action(Runtime& rt, CInstance* self, CInstance* other, const CAction& a) {
    return draw_shape_action(rt, self, other, a, BoxShape::rectangle);
}
bool draw_ellipse_action(Runtime& rt, CInstance* self, CInstance* other, const CAction& a) {
    return draw_shape_action(rt, self, other, a, BoxShape::ellipse);
}
bool draw_line_action(Runtime& rt, CInstance* self, CInstance* other, const CAction& a) {
    return draw_shape_action(rt, self, other, a, BoxShape::line);
}
// 47, 48: fill and line colours.
bool brush_colour_action(Runtime& rt, CInstance* self, CInstance* other, const CAction& a) {
    rt.drawing.brush_color = round_int(action_real(rt, self, other, a, 0));
    return true;
}
bool pen_colour_action(Runtime& rt, CInstance* self, CInstance* other, const CAction& a) {
    rt.drawing.pen_color = round_int(action_real(rt, self, other, a, 0));
    return true;
}
// 38: the font: name as written, size, colour, bold, italic, underline, strike-out.
bool font_action(Runtime& rt, CInstance* self, CInstance* other, const CAction& a) {
    auto flag = [&](int32_t i) { return action_real(rt, self, other, a, i) > 0.5; };
    RDrawingState& d = rt.drawing;
    d.font_name = a.argument_text(0);
    d.font_size = round_int(action_real(rt, self, other, a, 1));
    d.font_color = round_int(action_real(rt, self, other, a, 2));
    d.font_style = (flag(3) ? 1 : 0) + (flag(4) ? 2 : 0);
    d.font_underline = flag(5);
    d.font_strikeout = flag(6);
    return true;
}

// ---- motion and instances (self is the instance the action applies to) ----

double arg(Runtime& rt, CInstance* s, CInstance* o, const CAction& a, int32_t i) {
    return action_real(rt, s, o, a, i);
}
int32_t iarg(Runtime& rt, CInstance* s, CInstance* o, const CAction& a, int32_t i) {
    return round_int(action_real(rt, s, o, a, i));
}
// A value that the relative flag adds to the current one.
double rel(const CAction& a, double current, double v) {
    return a.relative ? current + v : v;
}

#define ACTION(name) bool name(Runtime& rt, CInstance* s, CInstance* o, const CAction& a)
#define NEEDS_SELF                                                                                 \
    if (!s) return true;

// 1: a direction chosen at random among the marked keypad positions.
ACTION(move_direction) {
    NEEDS_SELF
    const std::string& keys = a.argument_text(0);
    bool any = false;
    for (size_t i = 0; i < 9 && i < keys.size(); ++i) any = any || keys[i] == '1';
    if (!any) return true;
    s->set_speed(rel(a, s->speed, arg(rt, s, o, a, 1)));
    static const int32_t directions[9] = {225, 270, 315, 180, -1, 0, 135, 90, 45};
    for (;;) {
        auto k = size_t(next_random(rt.script.random_seed) * 9);
        if (k >= 9 || k >= keys.size() || keys[k] != '1') continue;
        if (directions[k] < 0) {
            s->set_direction(0);
            s->set_speed(0);
        } else {
            s->set_direction(directions[k]);
        }
        return true;
    }
}
ACTION(set_motion) {
    NEEDS_SELF
    double dir = arg(rt, s, o, a, 0), sp = arg(rt, s, o, a, 1);
    if (a.relative) {
        s->motion_add(dir, sp);
    } else {
        s->set_direction(dir);
        s->set_speed(sp);
    }
    return true;
}
ACTION(move_towards) {
    NEEDS_SELF
    double x = arg(rt, s, o, a, 0), y = arg(rt, s, o, a, 1);
    if (a.relative) x += s->x, y += s->y;
    s->set_hspeed(x - s->x);
    s->set_vspeed(y - s->y);
    s->set_speed(arg(rt, s, o, a, 2));
    return true;
}
ACTION(set_hspeed) {
    NEEDS_SELF
    s->set_hspeed(rel(a, s->hspeed, arg(rt, s, o, a, 0)));
    return true;
}
ACTION(set_vspeed) {
    NEEDS_SELF
    s->set_vspeed(rel(a, s->vspeed, arg(rt, s, o, a, 0)));
    return true;
}
ACTION(reverse_h) {
    (void)rt, (void)o, (void)a;
    if (s) s->set_hspeed(-s->hspeed);
    return true;
}
ACTION(reverse_v) {
    (void)rt, (void)o, (void)a;
    if (s) s->set_vspeed(-s->vspeed);
    return true;
}
ACTION(set_gravity) {
    NEEDS_SELF
    s->gravity_direction = rel(a, s->gravity_direction, arg(rt, s, o, a, 0));
    s->gravity = rel(a, s->gravity, arg(rt, s, o, a, 1));
    return true;
}
ACTION(set_friction) {
    NEEDS_SELF
    s->friction = rel(a, s->friction, arg(rt, s, o, a, 0));
    return true;
}
ACTION(jump_to) {
    NEEDS_SELF
    double x = arg(rt, s, o, a, 0), y = arg(rt, s, o, a, 1);
    if (a.relative) x += s->x, y += s->y;
    s->set_position(x, y);
    return true;
}
ACTION(jump_to_start) {
    (void)rt, (void)o, (void)a;
    if (s) s->set_position(s->xstart, s->ystart);
    return true;
}
ACTION(move_random_action) {
    NEEDS_SELF
    move_random(rt, *s, arg(rt, s, o, a, 0), arg(rt, s, o, a, 1));
    return true;
}
ACTION(snap_action) {
    NEEDS_SELF
    move_snap(*s, arg(rt, s, o, a, 0), arg(rt, s, o, a, 1));
    return true;
}
// 6: against all instances when argument 1 is the text "1", else solid ones only.
ACTION(bounce_action) {
    NEEDS_SELF
    move_bounce(rt, *s, arg(rt, s, o, a, 0) > 0.5, a.argument_text(1) == "1");
    return true;
}
ACTION(set_path) {
    NEEDS_SELF
    s->set_speed(arg(rt, s, o, a, 1));
    s->path_index = iarg(rt, s, o, a, 0);
    s->path_position = iarg(rt, s, o, a, 2);
    return true;
}
ACTION(set_alarm) {
    NEEDS_SELF
    int32_t i = iarg(rt, s, o, a, 1), v = iarg(rt, s, o, a, 0);
    if (a.relative && s->get_alarm(i) >= 0)
        s->set_alarm(i, s->get_alarm(i) + v);
    else
        s->set_alarm(i, v);
    return true;
}
ACTION(create_object) {
    double x = arg(rt, s, o, a, 1), y = arg(rt, s, o, a, 2);
    if (a.relative && s) x += s->x, y += s->y;
    create_instance(rt, iarg(rt, s, o, a, 0), x, y);
    return true;
}
ACTION(destroy_self) {
    (void)o, (void)a;
    if (s) destroy_instance(rt, *s);
    return true;
}
ACTION(change_object) {
    NEEDS_SELF
    change_instance(rt, *s, iarg(rt, s, o, a, 0), iarg(rt, s, o, a, 1) > 0.5);
    return true;
}
ACTION(destroy_at) {
    double x = arg(rt, s, o, a, 0), y = arg(rt, s, o, a, 1);
    if (a.relative && s) x += s->x, y += s->y;
    destroy_at_position(rt, x, y);
    return true;
}
ACTION(set_sprite) {
    NEEDS_SELF
    set_instance_sprite(rt, *s, iarg(rt, s, o, a, 0));
    double scale = arg(rt, s, o, a, 1);
    if (scale > 0) s->set_image_scale(scale);
    return true;
}
ACTION(run_script) {
    RValue args[3] = {RValue(arg(rt, s, o, a, 1)), RValue(arg(rt, s, o, a, 2)),
                      RValue(arg(rt, s, o, a, 3))};
    RValue result;
    call_script(rt, iarg(rt, s, o, a, 0), s, o, args, 3, result);
    return true;
}

// ---- score, lives, rooms and the game ----

ACTION(set_score) {
    rt.script.values.score = int32_t(rel(a, rt.script.values.score, iarg(rt, s, o, a, 0)));
    return true;
}
ACTION(set_lives_action) {
    set_lives(rt, int32_t(rel(a, rt.script.values.lives, iarg(rt, s, o, a, 0))));
    return true;
}
// Room changes with a transition kind, time 1000 and 40 steps, which stay in the variables.
void transition(Runtime& rt, int32_t kind) {
    rt.script.values.transition_kind = kind;
    rt.script.values.transition_time = 1000;
    rt.script.values.transition_steps = 40;
}
ACTION(goto_room) {
    transition(rt, iarg(rt, s, o, a, 1));
    request_goto(rt, iarg(rt, s, o, a, 0));
    return true;
}
ACTION(previous_room) {
    transition(rt, iarg(rt, s, o, a, 0));
    request_previous(rt);
    return true;
}
ACTION(next_room) {
    transition(rt, iarg(rt, s, o, a, 0));
    request_next(rt);
    return true;
}
ACTION(restart_room) {
    transition(rt, iarg(rt, s, o, a, 0));
    request_restart_room(rt);
    return true;
}
ACTION(end_game) {
    (void)s, (void)o, (void)a;
    request_end(rt);
    return true;
}
ACTION(restart_game) {
    (void)s, (void)o, (void)a;
    request_restart_game(rt);
    return true;
}
// 57: save at once; 58: load at the end of the loop pass. File names are taken as written.
ACTION(save_game_action) {
    (void)s, (void)o;
    save_game(rt, a.argument_text(0));
    return true;
}
ACTION(load_game_action) {
    (void)s, (void)o;
    request_load(rt, a.argument_text(0));
    return true;
}
// 18: a message in the message dialog ("#" ends a line); none in exclusive mode.
ACTION(show_message_action) {
    if (rt.game.options.exclusive_mode) return true;
    show_message_box(rt, action_text(rt, s, o, a, 0), {"", "OK", ""}, 0);
    input_clear_states(rt.input);
    return true;
}
// 20: the high-score table with the current score; 61: the game information. Neither
// shows in exclusive mode.
ACTION(high_scores_action) {
    (void)s, (void)o, (void)a;
    if (!rt.game.options.exclusive_mode) show_high_scores(rt, rt.script.values.score);
    return true;
}
ACTION(information_action) {
    (void)s, (void)o, (void)a;
    show_game_information(rt);
    input_clear_states(rt.input);
    return true;
}
// 29: the player answers Yes to the question; yes in exclusive mode.
ACTION(question_action) {
    if (rt.game.options.exclusive_mode) return true;
    bool yes = show_question(rt, action_text(rt, s, o, a, 0));
    input_clear_states(rt.input);
    return yes;
}
// 23: sleep, after drawing and presenting the room without a transition when asked.
ACTION(sleep_action) {
    int32_t ms = iarg(rt, s, o, a, 0);
    if (arg(rt, s, o, a, 1) >= 0.5) {
        draw_room(rt);
        rt.display.refresh(0, 0, 0);
    }
    sleep_keeping_connections(rt, ms);
    return true;
}
ACTION(inherited) {
    (void)a;
    perform_inherited(rt, s, o);
    return true;
}

// ---- questions ----

ACTION(position_free) {
    if (!s) return true;
    double x = arg(rt, s, o, a, 0), y = arg(rt, s, o, a, 1);
    if (a.relative) x += s->x, y += s->y;
    return iarg(rt, s, o, a, 2) != 0 ? place_empty(rt, *s, x, y) : place_free(rt, *s, x, y);
}
ACTION(position_taken) {
    return !position_free(rt, s, o, a);
}
ACTION(instance_count_is) {
    int32_t count = count_selected(rt, s, o, iarg(rt, s, o, a, 0));
    return compare_by(count, arg(rt, s, o, a, 1), iarg(rt, s, o, a, 2));
}
ACTION(meets_object) {
    if (!s) return true;
    double x = arg(rt, s, o, a, 1), y = arg(rt, s, o, a, 2);
    if (a.relative) x += s->x, y += s->y;
    return meeting(rt, *s, x, y, iarg(rt, s, o, a, 0)) != nullptr;
}
ACTION(snapped) {
    if (!s) return true;
    return place_snapped(*s, arg(rt, s, o, a, 0), arg(rt, s, o, a, 1));
}
ACTION(chance) {
    double n = arg(rt, s, o, a, 0);
    if (n <= 1) return true;
    int32_t range = round_int(n * 1000);
    return int32_t(next_random(rt.script.random_seed) * range) <= 1000;
}
// 17, 39, 56: sounds.
ACTION(play_sound_action) {
    sound_play(rt, iarg(rt, s, o, a, 0), iarg(rt, s, o, a, 1) > 0.5);
    return true;
}
ACTION(stop_sound_action) {
    sound_stop(rt, iarg(rt, s, o, a, 0));
    return true;
}
ACTION(sound_playing) {
    return sound_is_playing(rt, iarg(rt, s, o, a, 0));
}
ACTION(mouse_held) {
    int32_t b = iarg(rt, s, o, a, 0);
    if (b >= 1 && b <= 3) return rt.input.mouse_state[size_t(b)] != 0;
    return rt.input.current_button == 0;
}

#undef ACTION
#undef NEEDS_SELF

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
    // Motion and instances.
    add(1, false, true, move_direction);
    add(11, false, true, set_motion);
    add(50, false, true, move_towards);
    add(7, false, true, set_hspeed);
    add(8, false, true, set_vspeed);
    add(2, false, true, reverse_h);
    add(3, false, true, reverse_v);
    add(9, false, true, set_gravity);
    add(10, false, true, set_friction);
    add(4, false, true, jump_to);
    add(49, false, true, jump_to_start);
    add(5, false, true, move_random_action);
    add(40, false, true, snap_action);
    add(6, false, true, bounce_action);
    add(67, false, true, set_path);
    add(12, false, true, set_alarm);
    add(13, false, true, create_object);
    add(14, false, true, destroy_self);
    add(15, false, true, change_object);
    add(16, false, true, destroy_at);
    add(51, false, true, set_sprite);
    add(43, false, true, run_script);
    // Score, lives, rooms and the game.
    add(19, false, false, set_score);
    add(52, false, false, set_lives_action);
    add(21, false, false, goto_room);
    add(41, false, false, previous_room);
    add(42, false, false, next_room);
    add(53, false, false, restart_room);
    add(22, false, false, end_game);
    add(60, false, false, restart_game);
    add(57, false, false, save_game_action);
    add(58, false, false, load_game_action);
    add(65, false, false, inherited);
    add(23, false, false, sleep_action);
    add(18, false, false, show_message_action);
    add(17, false, false, play_sound_action);
    add(39, false, false, stop_sound_action);
    add(56, true, false, sound_playing);
    add(29, true, false, question_action);
    add(20, false, false, high_scores_action);
    add(61, false, false, information_action);
    // Questions.
    add(25, true, true, position_free);
    add(28, true, true, position_taken);
    add(26, true, false, instance_count_is);
    add(27, true, true, meets_object);
    add(55, true, false, chance);
    add(63, true, false, mouse_held);
    add(64, true, true, snapped);
    // Drawing and the screen.
    add(36, false, true, draw_sprite_action);
    add(54, false, false, draw_background_action);
    add(62, false, false, screen_mode_action);
    add(37, false, true, draw_text_action);
    add(69, false, true, draw_value_action);
    add(44, false, true, draw_rectangle_action);
    add(45, false, true, draw_ellipse_action);
    add(46, false, true, draw_line_action);
    add(47, false, false, brush_colour_action);
    add(48, false, false, pen_colour_action);
    add(38, false, false, font_action);
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
