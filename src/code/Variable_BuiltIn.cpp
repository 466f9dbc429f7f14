// The built-in variable tables in registration order. Getters and setters that touch only
// script state or plain run-wide values are here; entries marked "run engine" read as real
// 0 and refuse writes until the subsystem that owns their state implements them.
#include "code/Variable_BuiltIn.h"

#include <chrono>
#include <ctime>
#include <filesystem>

#include "runner/Runtime.h"

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

// The time since the system started, and the local date and time.
bool get_current_time(Runtime&, int32_t, RValue& out) {
    auto t = std::chrono::steady_clock::now().time_since_epoch();
    out = RValue(double(std::chrono::duration_cast<std::chrono::milliseconds>(t).count()));
    return true;
}
template <int std::tm::*Field, int Offset> bool get_local_time(Runtime&, int32_t, RValue& out) {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
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

// Run engine: the room, display, input, drawing and event state arrive with their
// subsystems. Until then these read as real 0 and refuse writes.
bool run_engine_get(Runtime&, int32_t, RValue& out) {
    out = RValue();
    return true;
}
bool run_engine_set(Runtime&, int32_t, const RValue&) {
    return false;
}

constexpr GlobalGetter G0 = run_engine_get;
constexpr GlobalSetter S0 = run_engine_set;

#define ARG(n)                                                                                     \
    { "argument" #n, true, 0, F::value, get_argument_n<n>, set_argument_n<n> }
#define INT(name, field)                                                                           \
    { name, true, 0, F::integer, get_int<&GameValues::field>, set_int<&GameValues::field> }
#define PEND_R(name, arr, form)                                                                    \
    { name, false, arr, form, G0, nullptr }
#define PEND_W(name, arr, form)                                                                    \
    { name, true, arr, form, G0, S0 }
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
    PEND_W("room", 0, F::integer),
    {"room_first", false, 0, F::integer, get_room_first, nullptr},
    {"room_last", false, 0, F::integer, get_room_last, nullptr},
    INT("transition_kind", transition_kind),
    INT("transition_time", transition_time),
    INT("transition_steps", transition_steps),
    INT("score", score),
    // The no-more-lives event of a change to 0 or below arrives with the run engine.
    INT("lives", lives),
    {"game_id", false, 0, F::integer, get_game_id, nullptr},
    {"working_directory", false, 0, F::string, get_working_directory, nullptr},
    PEND_R("temp_directory", 0, F::string),
    PEND_R("instance_count", 0, F::integer),
    PEND_R("instance_id", -1, F::integer),
    PEND_R("room_width", 0, F::integer),
    PEND_R("room_height", 0, F::integer),
    PEND_W("room_caption", 0, F::string),
    PEND_W("room_speed", 0, F::integer),
    PEND_W("room_persistent", 0, F::boolean),
    PEND_W("background_color", 0, F::integer),
    PEND_W("background_showcolor", 0, F::boolean),
    PEND_W("background_visible", 8, F::boolean),
    PEND_W("background_foreground", 8, F::boolean),
    PEND_W("background_index", 8, F::integer),
    PEND_W("background_x", 8, F::real),
    PEND_W("background_y", 8, F::real),
    PEND_R("background_width", 8, F::integer),
    PEND_R("background_height", 8, F::integer),
    PEND_W("background_htiled", 8, F::boolean),
    PEND_W("background_vtiled", 8, F::boolean),
    PEND_W("background_hspeed", 8, F::real),
    PEND_W("background_vspeed", 8, F::real),
    PEND_W("background_alpha", 8, F::real),
    PEND_W("view_enabled", 0, F::boolean),
    PEND_R("view_current", 0, F::integer),
    PEND_W("view_visible", 8, F::boolean),
    PEND_W("view_left", 8, F::integer),
    PEND_W("view_top", 8, F::integer),
    PEND_W("view_width", 8, F::integer),
    PEND_W("view_height", 8, F::integer),
    PEND_W("view_x", 8, F::integer),
    PEND_W("view_y", 8, F::integer),
    PEND_W("view_hborder", 8, F::integer),
    PEND_W("view_vborder", 8, F::integer),
    PEND_W("view_hspeed", 8, F::integer),
    PEND_W("view_vspeed", 8, F::integer),
    PEND_W("view_object", 8, F::integer),
    PEND_R("mouse_x", 0, F::integer),
    PEND_R("mouse_y", 0, F::integer),
    PEND_W("mouse_button", 0, F::integer),
    PEND_W("keyboard_key", 0, F::integer),
    PEND_W("keyboard_lastkey", 0, F::integer),
    PEND_W("keyboard_lastchar", 0, F::string),
    PEND_W("keyboard_string", 0, F::string),
    PEND_W("full_screen", 0, F::boolean),
    PEND_W("scale_screen", 0, F::boolean),
    PEND_W("scale_window", 0, F::real),
    PEND_W("scale_full", 0, F::real),
    PEND_W("show_cursor", 0, F::boolean),
    PEND_W("show_score", 0, F::boolean),
    PEND_W("keyboard_continuous", 0, F::boolean),
    PEND_W("mouse_continuous", 0, F::boolean),
    PEND_R("fps", 0, F::integer),
    {"current_time", false, 0, F::integer, get_current_time, nullptr},
    LOCAL("current_year", tm_year, 1900),
    LOCAL("current_month", tm_mon, 1),
    LOCAL("current_day", tm_mday, 0),
    LOCAL("current_weekday", tm_wday, 1),
    LOCAL("current_hour", tm_hour, 0),
    LOCAL("current_minute", tm_min, 0),
    LOCAL("current_second", tm_sec, 0),
    PEND_R("monitor_width", 0, F::integer),
    PEND_R("monitor_height", 0, F::integer),
    PEND_W("brush_color", 0, F::integer),
    PEND_W("pen_color", 0, F::integer),
    PEND_W("font_color", 0, F::integer),
    PEND_W("brush_style", 0, F::integer),
    PEND_W("pen_size", 0, F::integer),
    PEND_W("font_size", 0, F::integer),
    PEND_W("font_style", 0, F::integer),
    PEND_W("font_angle", 0, F::real),
    PEND_W("font_name", 0, F::string),
    PEND_W("font_align", 0, F::integer),
    PEND_W("screen_width", 0, F::integer),
    PEND_W("screen_height", 0, F::integer),
    PEND_R("event_type", 0, F::integer),
    PEND_R("event_number", 0, F::integer),
    PEND_R("event_object", 0, F::integer),
    PEND_R("event_action", 0, F::integer),
    PEND_R("secure_mode", 0, F::boolean),
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

const RBuiltIn* builtin_entry(int32_t id) {
    if (id >= 0 && id < bv_global_count) return &global_table[id];
    if (id >= first_instance_builtin && id < iv_end)
        return &instance_table[id - first_instance_builtin];
    return nullptr;
}

int32_t builtin_array_index(const RBuiltIn& entry, int32_t index) {
    if (entry.array > 0) return index >= 0 && index < entry.array ? index : 0;
    return entry.array < 0 ? index : 0;
}

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
