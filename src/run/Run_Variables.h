// The global built-in variables whose state the run engine owns: the room and its layers
// and views, the instance list, input, events, settings. The built-in variable table
// refers to these getters and setters.
#pragma once

#include <cstdint>

#include "code/Variable_Class.h"

namespace kelvane {

struct Runtime;

#define KELVANE_RUN_VARIABLE(name)                                                                 \
    bool get_##name(Runtime& rt, int32_t index, RValue& out);                                      \
    bool set_##name(Runtime& rt, int32_t index, const RValue& v);

KELVANE_RUN_VARIABLE(room)
KELVANE_RUN_VARIABLE(lives)
KELVANE_RUN_VARIABLE(temp_directory)
KELVANE_RUN_VARIABLE(instance_count)
KELVANE_RUN_VARIABLE(instance_id)
KELVANE_RUN_VARIABLE(room_width)
KELVANE_RUN_VARIABLE(room_height)
KELVANE_RUN_VARIABLE(room_caption)
KELVANE_RUN_VARIABLE(room_speed)
KELVANE_RUN_VARIABLE(room_persistent)
KELVANE_RUN_VARIABLE(background_color)
KELVANE_RUN_VARIABLE(background_showcolor)
KELVANE_RUN_VARIABLE(background_visible)
KELVANE_RUN_VARIABLE(background_foreground)
KELVANE_RUN_VARIABLE(background_index)
KELVANE_RUN_VARIABLE(background_x)
KELVANE_RUN_VARIABLE(background_y)
KELVANE_RUN_VARIABLE(background_width)
KELVANE_RUN_VARIABLE(background_height)
KELVANE_RUN_VARIABLE(background_htiled)
KELVANE_RUN_VARIABLE(background_vtiled)
KELVANE_RUN_VARIABLE(background_hspeed)
KELVANE_RUN_VARIABLE(background_vspeed)
KELVANE_RUN_VARIABLE(background_alpha)
KELVANE_RUN_VARIABLE(view_enabled)
KELVANE_RUN_VARIABLE(view_current)
KELVANE_RUN_VARIABLE(view_visible)
KELVANE_RUN_VARIABLE(view_left)
KELVANE_RUN_VARIABLE(view_top)
KELVANE_RUN_VARIABLE(view_width)
KELVANE_RUN_VARIABLE(view_height)
KELVANE_RUN_VARIABLE(view_x)
KELVANE_RUN_VARIABLE(view_y)
KELVANE_RUN_VARIABLE(view_hborder)
KELVANE_RUN_VARIABLE(view_vborder)
KELVANE_RUN_VARIABLE(view_hspeed)
KELVANE_RUN_VARIABLE(view_vspeed)
KELVANE_RUN_VARIABLE(view_object)
KELVANE_RUN_VARIABLE(mouse_x)
KELVANE_RUN_VARIABLE(mouse_y)
KELVANE_RUN_VARIABLE(mouse_button)
KELVANE_RUN_VARIABLE(keyboard_key)
KELVANE_RUN_VARIABLE(keyboard_lastkey)
KELVANE_RUN_VARIABLE(keyboard_lastchar)
KELVANE_RUN_VARIABLE(keyboard_string)
KELVANE_RUN_VARIABLE(show_cursor)
KELVANE_RUN_VARIABLE(show_score)
KELVANE_RUN_VARIABLE(keyboard_continuous)
KELVANE_RUN_VARIABLE(mouse_continuous)
KELVANE_RUN_VARIABLE(fps)
KELVANE_RUN_VARIABLE(event_type)
KELVANE_RUN_VARIABLE(event_number)
KELVANE_RUN_VARIABLE(event_object)
KELVANE_RUN_VARIABLE(event_action)
KELVANE_RUN_VARIABLE(secure_mode)
KELVANE_RUN_VARIABLE(full_screen)
KELVANE_RUN_VARIABLE(scale_screen)
KELVANE_RUN_VARIABLE(scale_window)
KELVANE_RUN_VARIABLE(scale_full)
KELVANE_RUN_VARIABLE(monitor_width)
KELVANE_RUN_VARIABLE(monitor_height)
KELVANE_RUN_VARIABLE(screen_width)
KELVANE_RUN_VARIABLE(screen_height)
KELVANE_RUN_VARIABLE(brush_color)
KELVANE_RUN_VARIABLE(pen_color)
KELVANE_RUN_VARIABLE(font_color)
KELVANE_RUN_VARIABLE(brush_style)
KELVANE_RUN_VARIABLE(pen_size)
KELVANE_RUN_VARIABLE(font_size)
KELVANE_RUN_VARIABLE(font_style)
KELVANE_RUN_VARIABLE(font_angle)
KELVANE_RUN_VARIABLE(font_name)
KELVANE_RUN_VARIABLE(font_align)

#undef KELVANE_RUN_VARIABLE

} // namespace kelvane
