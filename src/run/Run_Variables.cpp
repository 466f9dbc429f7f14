// Getters and setters of the global built-in variables that read and write run state.
// Without a current room, room values read as 0 and writes change nothing.
#include "run/Run_Variables.h"

#include "platform/Platform.h"
#include "run/Run_Draw.h"
#include "run/Run_Main.h"
#include "run/Runtime.h"

namespace kelvane {

namespace {

int32_t as_int(const RValue& v) {
    return to_int32(v.real);
}
bool as_bool(const RValue& v) {
    return to_int32(v.real) > 0.5;
}
bool put(RValue& out, double v) {
    out = RValue(v);
    return true;
}
bool put(RValue& out, const std::string& s) {
    out = RValue(RString(s));
    return true;
}

} // namespace

// The room.
bool get_room(Runtime& rt, int32_t, RValue& out) {
    return put(out, rt.run.current_room);
}
bool set_room(Runtime& rt, int32_t, const RValue& v) {
    request_goto(rt, as_int(v));
    return true;
}
bool get_lives(Runtime& rt, int32_t, RValue& out) {
    return put(out, rt.script.values.lives);
}
bool set_lives(Runtime& rt, int32_t, const RValue& v) {
    set_lives(rt, as_int(v));
    return true;
}
bool get_temp_directory(Runtime& rt, int32_t, RValue& out) {
    return put(out, rt.temp.path());
}
bool set_temp_directory(Runtime&, int32_t, const RValue&) {
    return false;
}

bool get_instance_count(Runtime& rt, int32_t, RValue& out) {
    CRoom* r = rt.run.room();
    return put(out, r ? double(r->instances.size()) : 0);
}
bool set_instance_count(Runtime&, int32_t, const RValue&) {
    return false;
}
bool get_instance_id(Runtime& rt, int32_t i, RValue& out) {
    CRoom* r = rt.run.room();
    if (!r || i < 0 || size_t(i) >= r->instances.size()) return put(out, -4);
    return put(out, r->instances[size_t(i)]->id);
}
bool set_instance_id(Runtime&, int32_t, const RValue&) {
    return false;
}
bool get_room_width(Runtime& rt, int32_t, RValue& out) {
    CRoom* r = rt.run.room();
    return r ? put(out, double(r->width)) : put(out, 0);
}
bool set_room_width(Runtime&, int32_t, const RValue&) {
    return false;
}
bool get_room_height(Runtime& rt, int32_t, RValue& out) {
    CRoom* r = rt.run.room();
    return r ? put(out, double(r->height)) : put(out, 0);
}
bool set_room_height(Runtime&, int32_t, const RValue&) {
    return false;
}
bool get_room_caption(Runtime& rt, int32_t, RValue& out) {
    CRoom* r = rt.run.room();
    return r ? put(out, std::string(r->caption)) : put(out, std::string());
}
bool set_room_caption(Runtime& rt, int32_t, const RValue& v) {
    if (CRoom* r = rt.run.room()) r->caption = v.str.str();
    return true;
}
bool get_room_speed(Runtime& rt, int32_t, RValue& out) {
    CRoom* r = rt.run.room();
    return r ? put(out, double(r->speed)) : put(out, 0);
}
bool set_room_speed(Runtime& rt, int32_t, const RValue& v) {
    if (CRoom* r = rt.run.room()) r->speed = as_int(v);
    return true;
}
bool get_room_persistent(Runtime& rt, int32_t, RValue& out) {
    CRoom* r = rt.run.room();
    return r ? put(out, double(r->persistent)) : put(out, 0);
}
bool set_room_persistent(Runtime& rt, int32_t, const RValue& v) {
    if (CRoom* r = rt.run.room()) r->persistent = as_bool(v);
    return true;
}
bool get_background_color(Runtime& rt, int32_t, RValue& out) {
    CRoom* r = rt.run.room();
    return r ? put(out, double(r->background_color)) : put(out, 0);
}
bool set_background_color(Runtime& rt, int32_t, const RValue& v) {
    if (CRoom* r = rt.run.room()) r->background_color = as_int(v);
    return true;
}
bool get_background_showcolor(Runtime& rt, int32_t, RValue& out) {
    CRoom* r = rt.run.room();
    return r ? put(out, double(r->background_showcolor)) : put(out, 0);
}
bool set_background_showcolor(Runtime& rt, int32_t, const RValue& v) {
    if (CRoom* r = rt.run.room()) r->background_showcolor = as_bool(v);
    return true;
}
bool get_view_enabled(Runtime& rt, int32_t, RValue& out) {
    CRoom* r = rt.run.room();
    return r ? put(out, double(r->view_enabled)) : put(out, 0);
}
bool set_view_enabled(Runtime& rt, int32_t, const RValue& v) {
    if (CRoom* r = rt.run.room()) r->view_enabled = as_bool(v);
    return true;
}
bool get_background_visible(Runtime& rt, int32_t i, RValue& out) {
    CRoom* r = rt.run.room();
    return put(out, r ? double(r->backgrounds[size_t(i)].visible) : 0);
}
bool set_background_visible(Runtime& rt, int32_t i, const RValue& v) {
    if (CRoom* r = rt.run.room()) r->backgrounds[size_t(i)].visible = as_bool(v);
    return true;
}
bool get_background_foreground(Runtime& rt, int32_t i, RValue& out) {
    CRoom* r = rt.run.room();
    return put(out, r ? double(r->backgrounds[size_t(i)].foreground) : 0);
}
bool set_background_foreground(Runtime& rt, int32_t i, const RValue& v) {
    if (CRoom* r = rt.run.room()) r->backgrounds[size_t(i)].foreground = as_bool(v);
    return true;
}
bool get_background_index(Runtime& rt, int32_t i, RValue& out) {
    CRoom* r = rt.run.room();
    return put(out, r ? double(r->backgrounds[size_t(i)].index) : 0);
}
bool set_background_index(Runtime& rt, int32_t i, const RValue& v) {
    if (CRoom* r = rt.run.room()) r->backgrounds[size_t(i)].index = as_int(v);
    return true;
}
bool get_background_x(Runtime& rt, int32_t i, RValue& out) {
    CRoom* r = rt.run.room();
    return put(out, r ? double(r->backgrounds[size_t(i)].x) : 0);
}
bool set_background_x(Runtime& rt, int32_t i, const RValue& v) {
    if (CRoom* r = rt.run.room()) r->backgrounds[size_t(i)].x = v.real;
    return true;
}
bool get_background_y(Runtime& rt, int32_t i, RValue& out) {
    CRoom* r = rt.run.room();
    return put(out, r ? double(r->backgrounds[size_t(i)].y) : 0);
}
bool set_background_y(Runtime& rt, int32_t i, const RValue& v) {
    if (CRoom* r = rt.run.room()) r->backgrounds[size_t(i)].y = v.real;
    return true;
}
bool get_background_htiled(Runtime& rt, int32_t i, RValue& out) {
    CRoom* r = rt.run.room();
    return put(out, r ? double(r->backgrounds[size_t(i)].htiled) : 0);
}
bool set_background_htiled(Runtime& rt, int32_t i, const RValue& v) {
    if (CRoom* r = rt.run.room()) r->backgrounds[size_t(i)].htiled = as_bool(v);
    return true;
}
bool get_background_vtiled(Runtime& rt, int32_t i, RValue& out) {
    CRoom* r = rt.run.room();
    return put(out, r ? double(r->backgrounds[size_t(i)].vtiled) : 0);
}
bool set_background_vtiled(Runtime& rt, int32_t i, const RValue& v) {
    if (CRoom* r = rt.run.room()) r->backgrounds[size_t(i)].vtiled = as_bool(v);
    return true;
}
bool get_background_hspeed(Runtime& rt, int32_t i, RValue& out) {
    CRoom* r = rt.run.room();
    return put(out, r ? double(r->backgrounds[size_t(i)].hspeed) : 0);
}
bool set_background_hspeed(Runtime& rt, int32_t i, const RValue& v) {
    if (CRoom* r = rt.run.room()) r->backgrounds[size_t(i)].hspeed = v.real;
    return true;
}
bool get_background_vspeed(Runtime& rt, int32_t i, RValue& out) {
    CRoom* r = rt.run.room();
    return put(out, r ? double(r->backgrounds[size_t(i)].vspeed) : 0);
}
bool set_background_vspeed(Runtime& rt, int32_t i, const RValue& v) {
    if (CRoom* r = rt.run.room()) r->backgrounds[size_t(i)].vspeed = v.real;
    return true;
}
bool get_background_alpha(Runtime& rt, int32_t i, RValue& out) {
    CRoom* r = rt.run.room();
    return put(out, r ? double(r->backgrounds[size_t(i)].alpha) : 0);
}
bool set_background_alpha(Runtime& rt, int32_t i, const RValue& v) {
    if (CRoom* r = rt.run.room()) r->backgrounds[size_t(i)].alpha = v.real;
    return true;
}
bool get_background_width(Runtime& rt, int32_t i, RValue& out) {
    CRoom* r = rt.run.room();
    const CBackground* b = r ? rt.game.backgrounds.get(r->backgrounds[size_t(i)].index) : nullptr;
    return put(out, b ? double(b->width) : 0);
}
bool set_background_width(Runtime&, int32_t, const RValue&) {
    return false;
}
bool get_background_height(Runtime& rt, int32_t i, RValue& out) {
    CRoom* r = rt.run.room();
    const CBackground* b = r ? rt.game.backgrounds.get(r->backgrounds[size_t(i)].index) : nullptr;
    return put(out, b ? double(b->height) : 0);
}
bool set_background_height(Runtime&, int32_t, const RValue&) {
    return false;
}
bool get_view_visible(Runtime& rt, int32_t i, RValue& out) {
    CRoom* r = rt.run.room();
    return put(out, r ? double(r->views[size_t(i)].visible) : 0);
}
bool set_view_visible(Runtime& rt, int32_t i, const RValue& v) {
    if (CRoom* r = rt.run.room()) r->views[size_t(i)].visible = as_bool(v);
    return true;
}
bool get_view_left(Runtime& rt, int32_t i, RValue& out) {
    CRoom* r = rt.run.room();
    return put(out, r ? double(r->views[size_t(i)].left) : 0);
}
bool set_view_left(Runtime& rt, int32_t i, const RValue& v) {
    if (CRoom* r = rt.run.room()) r->views[size_t(i)].left = as_int(v);
    return true;
}
bool get_view_top(Runtime& rt, int32_t i, RValue& out) {
    CRoom* r = rt.run.room();
    return put(out, r ? double(r->views[size_t(i)].top) : 0);
}
bool set_view_top(Runtime& rt, int32_t i, const RValue& v) {
    if (CRoom* r = rt.run.room()) r->views[size_t(i)].top = as_int(v);
    return true;
}
bool get_view_width(Runtime& rt, int32_t i, RValue& out) {
    CRoom* r = rt.run.room();
    return put(out, r ? double(r->views[size_t(i)].width) : 0);
}
bool set_view_width(Runtime& rt, int32_t i, const RValue& v) {
    if (CRoom* r = rt.run.room()) r->views[size_t(i)].width = as_int(v);
    return true;
}
bool get_view_height(Runtime& rt, int32_t i, RValue& out) {
    CRoom* r = rt.run.room();
    return put(out, r ? double(r->views[size_t(i)].height) : 0);
}
bool set_view_height(Runtime& rt, int32_t i, const RValue& v) {
    if (CRoom* r = rt.run.room()) r->views[size_t(i)].height = as_int(v);
    return true;
}
bool get_view_x(Runtime& rt, int32_t i, RValue& out) {
    CRoom* r = rt.run.room();
    return put(out, r ? double(r->views[size_t(i)].x) : 0);
}
bool set_view_x(Runtime& rt, int32_t i, const RValue& v) {
    if (CRoom* r = rt.run.room()) r->views[size_t(i)].x = as_int(v);
    return true;
}
bool get_view_y(Runtime& rt, int32_t i, RValue& out) {
    CRoom* r = rt.run.room();
    return put(out, r ? double(r->views[size_t(i)].y) : 0);
}
bool set_view_y(Runtime& rt, int32_t i, const RValue& v) {
    if (CRoom* r = rt.run.room()) r->views[size_t(i)].y = as_int(v);
    return true;
}
bool get_view_hborder(Runtime& rt, int32_t i, RValue& out) {
    CRoom* r = rt.run.room();
    return put(out, r ? double(r->views[size_t(i)].hborder) : 0);
}
bool set_view_hborder(Runtime& rt, int32_t i, const RValue& v) {
    if (CRoom* r = rt.run.room()) r->views[size_t(i)].hborder = as_int(v);
    return true;
}
bool get_view_vborder(Runtime& rt, int32_t i, RValue& out) {
    CRoom* r = rt.run.room();
    return put(out, r ? double(r->views[size_t(i)].vborder) : 0);
}
bool set_view_vborder(Runtime& rt, int32_t i, const RValue& v) {
    if (CRoom* r = rt.run.room()) r->views[size_t(i)].vborder = as_int(v);
    return true;
}
bool get_view_hspeed(Runtime& rt, int32_t i, RValue& out) {
    CRoom* r = rt.run.room();
    return put(out, r ? double(r->views[size_t(i)].hspeed) : 0);
}
bool set_view_hspeed(Runtime& rt, int32_t i, const RValue& v) {
    if (CRoom* r = rt.run.room()) r->views[size_t(i)].hspeed = as_int(v);
    return true;
}
bool get_view_vspeed(Runtime& rt, int32_t i, RValue& out) {
    CRoom* r = rt.run.room();
    return put(out, r ? double(r->views[size_t(i)].vspeed) : 0);
}
bool set_view_vspeed(Runtime& rt, int32_t i, const RValue& v) {
    if (CRoom* r = rt.run.room()) r->views[size_t(i)].vspeed = as_int(v);
    return true;
}
bool get_view_object(Runtime& rt, int32_t i, RValue& out) {
    CRoom* r = rt.run.room();
    return put(out, r ? double(r->views[size_t(i)].object) : 0);
}
bool set_view_object(Runtime& rt, int32_t i, const RValue& v) {
    if (CRoom* r = rt.run.room()) r->views[size_t(i)].object = as_int(v);
    return true;
}
bool get_view_current(Runtime& rt, int32_t, RValue& out) {
    return put(out, rt.run.view_current);
}
bool set_view_current(Runtime&, int32_t, const RValue&) {
    return false;
}
bool get_mouse_x(Runtime& rt, int32_t, RValue& out) {
    double x = 0, y = 0;
    mouse_in_room(rt, x, y);
    return put(out, x);
}
bool set_mouse_x(Runtime&, int32_t, const RValue&) {
    return false;
}
bool get_mouse_y(Runtime& rt, int32_t, RValue& out) {
    double x = 0, y = 0;
    mouse_in_room(rt, x, y);
    return put(out, y);
}
bool set_mouse_y(Runtime&, int32_t, const RValue&) {
    return false;
}
bool get_mouse_button(Runtime& rt, int32_t, RValue& out) {
    return put(out, double(rt.input.current_button));
}
bool set_mouse_button(Runtime& rt, int32_t, const RValue& v) {
    rt.input.current_button = as_int(v);
    return true;
}
bool get_keyboard_key(Runtime& rt, int32_t, RValue& out) {
    return put(out, double(rt.input.current_key));
}
bool set_keyboard_key(Runtime& rt, int32_t, const RValue& v) {
    rt.input.current_key = as_int(v);
    return true;
}
bool get_keyboard_lastkey(Runtime& rt, int32_t, RValue& out) {
    return put(out, double(rt.input.last_key));
}
bool set_keyboard_lastkey(Runtime& rt, int32_t, const RValue& v) {
    rt.input.last_key = as_int(v);
    return true;
}
bool get_keyboard_lastchar(Runtime& rt, int32_t, RValue& out) {
    return put(out, rt.input.last_char);
}
bool set_keyboard_lastchar(Runtime& rt, int32_t, const RValue& v) {
    rt.input.last_char = v.str.str();
    return true;
}
bool get_keyboard_string(Runtime& rt, int32_t, RValue& out) {
    return put(out, rt.input.typed);
}
bool set_keyboard_string(Runtime& rt, int32_t, const RValue& v) {
    rt.input.typed = v.str.str();
    return true;
}
bool get_show_cursor(Runtime& rt, int32_t, RValue& out) {
    return put(out, rt.run.show_cursor);
}
bool set_show_cursor(Runtime& rt, int32_t, const RValue& v) {
    rt.run.show_cursor = as_bool(v);
    show_game_cursor(rt, true);
    return true;
}
bool get_show_score(Runtime& rt, int32_t, RValue& out) {
    return put(out, double(rt.run.show_score));
}
bool set_show_score(Runtime& rt, int32_t, const RValue& v) {
    rt.run.show_score = as_bool(v);
    return true;
}
bool get_keyboard_continuous(Runtime& rt, int32_t, RValue& out) {
    return put(out, double(rt.run.keyboard_continuous));
}
bool set_keyboard_continuous(Runtime& rt, int32_t, const RValue& v) {
    rt.run.keyboard_continuous = as_bool(v);
    return true;
}
bool get_mouse_continuous(Runtime& rt, int32_t, RValue& out) {
    return put(out, double(rt.run.mouse_continuous));
}
bool set_mouse_continuous(Runtime& rt, int32_t, const RValue& v) {
    rt.run.mouse_continuous = as_bool(v);
    return true;
}
bool get_fps(Runtime& rt, int32_t, RValue& out) {
    return put(out, double(rt.run.fps));
}
bool set_fps(Runtime&, int32_t, const RValue&) {
    return false;
}
bool get_event_type(Runtime& rt, int32_t, RValue& out) {
    return put(out, double(rt.run.event_type));
}
bool set_event_type(Runtime&, int32_t, const RValue&) {
    return false;
}
bool get_event_number(Runtime& rt, int32_t, RValue& out) {
    return put(out, double(rt.run.event_number));
}
bool set_event_number(Runtime&, int32_t, const RValue&) {
    return false;
}
bool get_event_object(Runtime& rt, int32_t, RValue& out) {
    return put(out, double(rt.run.event_object));
}
bool set_event_object(Runtime&, int32_t, const RValue&) {
    return false;
}
bool get_event_action(Runtime& rt, int32_t, RValue& out) {
    return put(out, double(rt.run.action_number));
}
bool set_event_action(Runtime&, int32_t, const RValue&) {
    return false;
}
bool get_secure_mode(Runtime& rt, int32_t, RValue& out) {
    return put(out, rt.files && rt.files->secure_mode ? 1.0 : 0.0);
}
bool set_secure_mode(Runtime&, int32_t, const RValue&) {
    return false;
}

// The display.
bool get_full_screen(Runtime& rt, int32_t, RValue& out) {
    return put(out, rt.display.is_full_screen() ? 1.0 : 0.0);
}
bool set_full_screen(Runtime& rt, int32_t, const RValue& v) {
    rt.display.set_full_screen(as_bool(v));
    return true;
}
bool get_scale_screen(Runtime& rt, int32_t, RValue& out) {
    return put(out, rt.display.full_screen_scale() <= 0 ? 1.0 : 0.0);
}
bool set_scale_screen(Runtime& rt, int32_t, const RValue& v) {
    rt.display.set_full_screen_scale(as_bool(v) ? 0 : 1);
    return true;
}
bool get_scale_window(Runtime& rt, int32_t, RValue& out) {
    return put(out, rt.display.window_scale() * 100);
}
bool set_scale_window(Runtime& rt, int32_t, const RValue& v) {
    rt.display.set_window_scale(v.real / 100);
    return true;
}
bool get_scale_full(Runtime& rt, int32_t, RValue& out) {
    return put(out, rt.display.full_screen_scale() * 100);
}
bool set_scale_full(Runtime& rt, int32_t, const RValue& v) {
    rt.display.set_full_screen_scale(v.real / 100);
    return true;
}
namespace {
void desktop(Runtime& rt, int32_t& w, int32_t& h) {
    w = h = 0;
    if (rt.platform && rt.platform->display) rt.platform->display->desktop_size(w, h);
}
} // namespace
bool get_monitor_width(Runtime& rt, int32_t, RValue& out) {
    int32_t w, h;
    desktop(rt, w, h);
    return put(out, w);
}
bool set_monitor_width(Runtime&, int32_t, const RValue&) {
    return false;
}
bool get_monitor_height(Runtime& rt, int32_t, RValue& out) {
    int32_t w, h;
    desktop(rt, w, h);
    return put(out, h);
}
bool set_monitor_height(Runtime&, int32_t, const RValue&) {
    return false;
}
bool get_screen_width(Runtime& rt, int32_t, RValue& out) {
    return put(out, rt.display.buffer_width());
}
bool set_screen_width(Runtime& rt, int32_t, const RValue& v) {
    rt.display.set_buffer_size(as_int(v), rt.display.buffer_height());
    return true;
}
bool get_screen_height(Runtime& rt, int32_t, RValue& out) {
    return put(out, rt.display.buffer_height());
}
bool set_screen_height(Runtime& rt, int32_t, const RValue& v) {
    rt.display.set_buffer_size(rt.display.buffer_width(), as_int(v));
    return true;
}

// The drawing state.
#define DRAWING_INT(name)                                                                          \
    bool get_##name(Runtime& rt, int32_t, RValue& out) {                                           \
        return put(out, rt.drawing.name);                                                          \
    }                                                                                              \
    bool set_##name(Runtime& rt, int32_t, const RValue& v) {                                       \
        rt.drawing.name = as_int(v);                                                               \
        return true;                                                                               \
    }
DRAWING_INT(brush_color)
DRAWING_INT(pen_color)
DRAWING_INT(font_color)
DRAWING_INT(pen_size)
DRAWING_INT(font_size)
DRAWING_INT(font_align)
#undef DRAWING_INT
// Styles outside their ranges are ignored.
bool get_brush_style(Runtime& rt, int32_t, RValue& out) {
    return put(out, rt.drawing.brush_style);
}
bool set_brush_style(Runtime& rt, int32_t, const RValue& v) {
    int32_t s = as_int(v);
    if (s >= 0 && s <= 7) rt.drawing.brush_style = s;
    return true;
}
bool get_font_style(Runtime& rt, int32_t, RValue& out) {
    return put(out, rt.drawing.font_style);
}
bool set_font_style(Runtime& rt, int32_t, const RValue& v) {
    int32_t s = as_int(v);
    if (s >= 0 && s <= 3) rt.drawing.font_style = s;
    return true;
}
bool get_font_angle(Runtime& rt, int32_t, RValue& out) {
    return put(out, rt.drawing.font_angle);
}
bool set_font_angle(Runtime& rt, int32_t, const RValue& v) {
    rt.drawing.font_angle = v.real;
    return true;
}
bool get_font_name(Runtime& rt, int32_t, RValue& out) {
    return put(out, rt.drawing.font_name);
}
bool set_font_name(Runtime& rt, int32_t, const RValue& v) {
    rt.drawing.font_name = v.str.str();
    return true;
}

} // namespace kelvane
