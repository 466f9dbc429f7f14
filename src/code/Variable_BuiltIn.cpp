// The built-in variable tables in registration order. Getters and setters that touch only
// script state or plain run-wide values are here; those of the room, the display, input,
// drawing and events are the run engine's (run/Run_Variables.h).
#include "code/Variable_BuiltIn.h"

#include <chrono>
#include <ctime>
#include <filesystem>

#include "code/Script_Arguments.h"
#include "platform/Platform.h"
#include "run/Run_Variables.h"
#include "run/Runtime.h"

namespace kelvane {

namespace {

using F = BuiltInForm;

// ---- getters and setters of script state and plain run-wide values ----

bool get_argument(Runtime& rt, int32_t index, RValue& out) {
    out = rt.script.arguments[size_t(index < 0 || index > 9 ? 0 : index)];
    return true;
}
bool set_argument_any(Runtime& rt, int32_t index, const RValue& v) {
    set_argument(rt.script, index < 0 || index > 9 ? 0 : index, v);
    return true;
}
template <int N> bool get_argument_n(Runtime& rt, int32_t, RValue& out) {
    out = rt.script.arguments[N];
    return true;
}
template <int N> bool set_argument_n(Runtime& rt, int32_t, const RValue& v) {
    set_argument(rt.script, N, v);
    return true;
}

template <int32_t GameValues::*Field> bool get_int(Runtime& rt, int32_t, RValue& out) {
    out = RValue(double(rt.script.values.*Field));
    return true;
}
template <int32_t GameValues::*Field> bool set_int(Runtime& rt, int32_t, const RValue& v) {
    rt.script.values.*Field = to_int32(v.real);
    return true;
}

bool get_room_first(Runtime& rt, int32_t, RValue& out) {
    out = RValue(double(rt.game.first_room()));
    return true;
}
bool get_room_last(Runtime& rt, int32_t, RValue& out) {
    out = RValue(double(rt.game.last_room()));
    return true;
}
bool get_game_id(Runtime& rt, int32_t, RValue& out) {
    out = RValue(double(rt.game.header.game_id));
    return true;
}
bool get_working_directory(Runtime&, int32_t, RValue& out) {
    std::error_code ec;
    auto dir = std::filesystem::current_path(ec);
    out = RValue(RString(ec ? std::string() : dir.string()));
    return true;
}

// The time since the system started, and the local date and time, from the game's clock
// (which is virtual in deterministic runs); code run outside a game reads the machine's.
bool get_current_time(Runtime& rt, int32_t, RValue& out) {
    if (rt.platform && rt.platform->clock) {
        out = RValue(double(rt.platform->clock->ticks_ms()));
        return true;
    }
    auto t = std::chrono::steady_clock::now().time_since_epoch();
    out = RValue(double(std::chrono::duration_cast<std::chrono::milliseconds>(t).count()));
    return true;
}
template <int std::tm::*Field, int Offset> bool get_local_time(Runtime& rt, int32_t, RValue& out) {
    std::tm tm =
        rt.platform && rt.platform->clock ? rt.platform->clock->local_time() : host_local_time();
    out = RValue(double(tm.*Field + Offset));
    return true;
}

// Setting error_occurred uses the >= 0.5 rule, unlike the other booleans.
bool get_error_occurred(Runtime& rt, int32_t, RValue& out) {
    out = RValue(rt.script.values.error_occurred ? 1.0 : 0.0);
    return true;
}
bool set_error_occurred(Runtime& rt, int32_t, const RValue& v) {
    rt.script.values.error_occurred = v.real >= 0.5;
    return true;
}
bool get_error_last(Runtime& rt, int32_t, RValue& out) {
    out = RValue(rt.script.values.error_last);
    return true;
}
bool set_error_last(Runtime& rt, int32_t, const RValue& v) {
    rt.script.values.error_last = v.str;
    return true;
}

#define ARG(n)                                                                                     \
    { "argument" #n, true, 0, F::value, get_argument_n<n>, set_argument_n<n> }
#define INT(name, field)                                                                           \
    { name, true, 0, F::integer, get_int<&GameValues::field>, set_int<&GameValues::field> }
#define LOCAL(name, field, offset)                                                                 \
    { name, false, 0, F::integer, get_local_time<&std::tm::field, offset>, nullptr }

const RBuiltIn global_table[] = {
    {"argument", true, 10, F::value, get_argument, set_argument_any},
    ARG(0),
    ARG(1),
    ARG(2),
    ARG(3),
    ARG(4),
    ARG(5),
    ARG(6),
    ARG(7),
    ARG(8),
    ARG(9),
    {"room", true, 0, F::integer, get_room, set_room},
    {"room_first", false, 0, F::integer, get_room_first, nullptr},
    {"room_last", false, 0, F::integer, get_room_last, nullptr},
    INT("transition_kind", transition_kind),
    INT("transition_time", transition_time),
    INT("transition_steps", transition_steps),
    INT("score", score),
    // Lives dropping to 0 or below performs the no-more-lives event.
    {"lives", true, 0, F::integer, get_lives, set_lives},
    {"game_id", false, 0, F::integer, get_game_id, nullptr},
    {"working_directory", false, 0, F::string, get_working_directory, nullptr},
    {"temp_directory", false, 0, F::string, get_temp_directory, nullptr},
    {"instance_count", false, 0, F::integer, get_instance_count, nullptr},
    {"instance_id", false, -1, F::integer, get_instance_id, nullptr},
    {"room_width", false, 0, F::integer, get_room_width, nullptr},
    {"room_height", false, 0, F::integer, get_room_height, nullptr},
    {"room_caption", true, 0, F::string, get_room_caption, set_room_caption},
    {"room_speed", true, 0, F::integer, get_room_speed, set_room_speed},
    {"room_persistent", true, 0, F::boolean, get_room_persistent, set_room_persistent},
    {"background_color", true, 0, F::integer, get_background_color, set_background_color},
    {"background_showcolor", true, 0, F::boolean, get_background_showcolor,
     set_background_showcolor},
    {"background_visible", true, 8, F::boolean, get_background_visible, set_background_visible},
    {"background_foreground", true, 8, F::boolean, get_background_foreground,
     set_background_foreground},
    {"background_index", true, 8, F::integer, get_background_index, set_background_index},
    {"background_x", true, 8, F::real, get_background_x, set_background_x},
    {"background_y", true, 8, F::real, get_background_y, set_background_y},
    {"background_width", false, 8, F::integer, get_background_width, nullptr},
    {"background_height", false, 8, F::integer, get_background_height, nullptr},
    {"background_htiled", true, 8, F::boolean, get_background_htiled, set_background_htiled},
    {"background_vtiled", true, 8, F::boolean, get_background_vtiled, set_background_vtiled},
    {"background_hspeed", true, 8, F::real, get_background_hspeed, set_background_hspeed},
    {"background_vspeed", true, 8, F::real, get_background_vspeed, set_background_vspeed},
    {"background_alpha", true, 8, F::real, get_background_alpha, set_background_alpha},
    {"view_enabled", true, 0, F::boolean, get_view_enabled, set_view_enabled},
    {"view_current", false, 0, F::integer, get_view_current, nullptr},
    {"view_visible", true, 8, F::boolean, get_view_visible, set_view_visible},
    {"view_left", true, 8, F::integer, get_view_left, set_view_left},
    {"view_top", true, 8, F::integer, get_view_top, set_view_top},
    {"view_width", true, 8, F::integer, get_view_width, set_view_width},
    {"view_height", true, 8, F::integer, get_view_height, set_view_height},
    {"view_x", true, 8, F::integer, get_view_x, set_view_x},
    {"view_y", true, 8, F::integer, get_view_y, set_view_y},
    {"view_hborder", true, 8, F::integer, get_view_hborder, set_view_hborder},
    {"view_vborder", true, 8, F::integer, get_view_vborder, set_view_vborder},
    {"view_hspeed", true, 8, F::integer, get_view_hspeed, set_view_hspeed},
    {"view_vspeed", true, 8, F::integer, get_view_vspeed, set_view_vspeed},
    {"view_object", true, 8, F::integer, get_view_object, set_view_object},
    {"mouse_x", false, 0, F::integer, get_mouse_x, nullptr},
    {"mouse_y", false, 0, F::integer, get_mouse_y, nullptr},
    {"mouse_button", true, 0, F::integer, get_mouse_button, set_mouse_button},
    {"keyboard_key", true, 0, F::integer, get_keyboard_key, set_keyboard_key},
    {"keyboard_lastkey", true, 0, F::integer, get_keyboard_lastkey, set_keyboard_lastkey},
    {"keyboard_lastchar", true, 0, F::string, get_keyboard_lastchar, set_keyboard_lastchar},
    {"keyboard_string", true, 0, F::string, get_keyboard_string, set_keyboard_string},
    {"full_screen", true, 0, F::boolean, get_full_screen, set_full_screen},
    {"scale_screen", true, 0, F::boolean, get_scale_screen, set_scale_screen},
    {"scale_window", true, 0, F::real, get_scale_window, set_scale_window},
    {"scale_full", true, 0, F::real, get_scale_full, set_scale_full},
    {"show_cursor", true, 0, F::boolean, get_show_cursor, set_show_cursor},
    {"show_score", true, 0, F::boolean, get_show_score, set_show_score},
    {"keyboard_continuous", true, 0, F::boolean, get_keyboard_continuous, set_keyboard_continuous},
    {"mouse_continuous", true, 0, F::boolean, get_mouse_continuous, set_mouse_continuous},
    {"fps", false, 0, F::integer, get_fps, nullptr},
    {"current_time", false, 0, F::integer, get_current_time, nullptr},
    LOCAL("current_year", tm_year, 1900),
    LOCAL("current_month", tm_mon, 1),
    LOCAL("current_day", tm_mday, 0),
    LOCAL("current_weekday", tm_wday, 1),
    LOCAL("current_hour", tm_hour, 0),
    LOCAL("current_minute", tm_min, 0),
    LOCAL("current_second", tm_sec, 0),
    {"monitor_width", false, 0, F::integer, get_monitor_width, nullptr},
    {"monitor_height", false, 0, F::integer, get_monitor_height, nullptr},
    {"brush_color", true, 0, F::integer, get_brush_color, set_brush_color},
    {"pen_color", true, 0, F::integer, get_pen_color, set_pen_color},
    {"font_color", true, 0, F::integer, get_font_color, set_font_color},
    {"brush_style", true, 0, F::integer, get_brush_style, set_brush_style},
    {"pen_size", true, 0, F::integer, get_pen_size, set_pen_size},
    {"font_size", true, 0, F::integer, get_font_size, set_font_size},
    {"font_style", true, 0, F::integer, get_font_style, set_font_style},
    {"font_angle", true, 0, F::real, get_font_angle, set_font_angle},
    {"font_name", true, 0, F::string, get_font_name, set_font_name},
    {"font_align", true, 0, F::integer, get_font_align, set_font_align},
    {"screen_width", true, 0, F::integer, get_screen_width, set_screen_width},
    {"screen_height", true, 0, F::integer, get_screen_height, set_screen_height},
    {"event_type", false, 0, F::integer, get_event_type, nullptr},
    {"event_number", false, 0, F::integer, get_event_number, nullptr},
    {"event_object", false, 0, F::integer, get_event_object, nullptr},
    {"event_action", false, 0, F::integer, get_event_action, nullptr},
    {"secure_mode", false, 0, F::boolean, get_secure_mode, nullptr},
    {"error_occurred", true, 0, F::boolean, get_error_occurred, set_error_occurred},
    {"error_last", true, 0, F::string, get_error_last, set_error_last},
};

#define IR(name, form)                                                                             \
    { name, false, 0, form, nullptr, nullptr }
#define IW(name, form)                                                                             \
    { name, true, 0, form, nullptr, nullptr }

const RBuiltIn instance_table[] = {
    IW("x", F::real),
    IW("y", F::real),
    IW("xprevious", F::real),
    IW("yprevious", F::real),
    IW("xstart", F::real),
    IW("ystart", F::real),
    IW("hspeed", F::real),
    IW("vspeed", F::real),
    IW("direction", F::real),
    IW("speed", F::real),
    IW("friction", F::real),
    IW("gravity", F::real),
    IW("gravity_direction", F::real),
    IR("object_index", F::integer),
    IR("id", F::integer),
    {"alarm", true, 8, F::integer, nullptr, nullptr},
    IW("solid", F::boolean),
    IW("visible", F::boolean),
    IW("persistent", F::boolean),
    IW("depth", F::real),
    IR("bbox_left", F::integer),
    IR("bbox_right", F::integer),
    IR("bbox_top", F::integer),
    IR("bbox_bottom", F::integer),
    IW("sprite_index", F::integer),
    IW("image_index", F::integer),
    IW("image_single", F::integer),
    IR("image_number", F::integer),
    IR("sprite_width", F::real),
    IR("sprite_height", F::real),
    IR("sprite_xoffset", F::real),
    IR("sprite_yoffset", F::real),
    IW("image_scale", F::real),
    IW("image_alpha", F::real),
    IW("image_speed", F::real),
    IW("mask_index", F::integer),
    IW("path_index", F::integer),
    IW("path_position", F::real),
    IW("path_scale", F::real),
    IW("path_orientation", F::real),
};

static_assert(std::size(global_table) == bv_global_count);
static_assert(std::size(instance_table) == iv_end - first_instance_builtin);

} // namespace

std::span<const RBuiltIn> global_builtins() {
    return global_table;
}
std::span<const RBuiltIn> instance_builtins() {
    return instance_table;
}

int32_t find_builtin(std::string_view name) {
    for (size_t i = 0; i < std::size(global_table); ++i)
        if (global_table[i].name == name) return int32_t(i);
    for (size_t i = 0; i < std::size(instance_table); ++i)
        if (instance_table[i].name == name) return first_instance_builtin + int32_t(i);
    return -1;
}

extern const RBuiltIn* const builtin_global_entries = global_table;
extern const RBuiltIn* const builtin_instance_entries = instance_table;

RValue convert_builtin(BuiltInForm form, const RValue& v) {
    switch (form) {
    case F::value:
        return v;
    case F::real:
        return RValue(v.real);
    case F::integer:
        return RValue(round_even(v.real));
    case F::boolean:
        return RValue(round_even(v.real) > 0.5 ? 1.0 : 0.0);
    case F::string:
        return RValue(v.str);
    }
    return v;
}

} // namespace kelvane
