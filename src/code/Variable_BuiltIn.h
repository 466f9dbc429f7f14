// The registry of built-in variables: global built-ins (ids 0 ...) and instance built-ins
// (ids 1000 ...), each with its name, writability, array form and the conversion its setter
// applies. Global entries carry their getter and setter; instance entries are read and
// written through InstanceAccess, which the run engine implements.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "code/Variable_Class.h"

namespace kelvane {

struct Runtime;

// How a setter converts the assigned value (its kind is never looked at).
enum class BuiltInForm : uint8_t {
    value,   // the whole value (the argument slots)
    real,    // `real` stored as is
    integer, // `real` rounded, halves to even
    boolean, // true when the rounded `real` is greater than 0.5
    string,  // `str`
};

using GlobalGetter = bool (*)(Runtime& rt, int32_t index, RValue& out);
using GlobalSetter = bool (*)(Runtime& rt, int32_t index, const RValue& v);

struct RBuiltIn {
    std::string_view name;
    bool writable;
    // 0: not an array (the index is ignored); 8 or 10: array of that size, an index outside
    // it means index 0; -1: an open array (instance_id).
    int32_t array;
    BuiltInForm form;
    GlobalGetter get; // global entries only
    GlobalSetter set; // global writable entries only
};

// Ids of the built-ins, in registration order (the tables below follow this order).
enum BuiltInId : int32_t {
    bv_argument = 0,
    bv_argument0,
    bv_argument1,
    bv_argument2,
    bv_argument3,
    bv_argument4,
    bv_argument5,
    bv_argument6,
    bv_argument7,
    bv_argument8,
    bv_argument9,
    bv_room,
    bv_room_first,
    bv_room_last,
    bv_transition_kind,
    bv_transition_time,
    bv_transition_steps,
    bv_score,
    bv_lives,
    bv_game_id,
    bv_working_directory,
    bv_temp_directory,
    bv_instance_count,
    bv_instance_id,
    bv_room_width,
    bv_room_height,
    bv_room_caption,
    bv_room_speed,
    bv_room_persistent,
    bv_background_color,
    bv_background_showcolor,
    bv_background_visible,
    bv_background_foreground,
    bv_background_index,
    bv_background_x,
    bv_background_y,
    bv_background_width,
    bv_background_height,
    bv_background_htiled,
    bv_background_vtiled,
    bv_background_hspeed,
    bv_background_vspeed,
    bv_background_alpha,
    bv_view_enabled,
    bv_view_current,
    bv_view_visible,
    bv_view_left,
    bv_view_top,
    bv_view_width,
    bv_view_height,
    bv_view_x,
    bv_view_y,
    bv_view_hborder,
    bv_view_vborder,
    bv_view_hspeed,
    bv_view_vspeed,
    bv_view_object,
    bv_mouse_x,
    bv_mouse_y,
    bv_mouse_button,
    bv_keyboard_key,
    bv_keyboard_lastkey,
    bv_keyboard_lastchar,
    bv_keyboard_string,
    bv_full_screen,
    bv_scale_screen,
    bv_scale_window,
    bv_scale_full,
    bv_show_cursor,
    bv_show_score,
    bv_keyboard_continuous,
    bv_mouse_continuous,
    bv_fps,
    bv_current_time,
    bv_current_year,
    bv_current_month,
    bv_current_day,
    bv_current_weekday,
    bv_current_hour,
    bv_current_minute,
    bv_current_second,
    bv_monitor_width,
    bv_monitor_height,
    bv_brush_color,
    bv_pen_color,
    bv_font_color,
    bv_brush_style,
    bv_pen_size,
    bv_font_size,
    bv_font_style,
    bv_font_angle,
    bv_font_name,
    bv_font_align,
    bv_screen_width,
    bv_screen_height,
    bv_event_type,
    bv_event_number,
    bv_event_object,
    bv_event_action,
    bv_secure_mode,
    bv_error_occurred,
    bv_error_last,
    bv_global_count, // number of global built-ins

    iv_x = 1000,
    iv_y,
    iv_xprevious,
    iv_yprevious,
    iv_xstart,
    iv_ystart,
    iv_hspeed,
    iv_vspeed,
    iv_direction,
    iv_speed,
    iv_friction,
    iv_gravity,
    iv_gravity_direction,
    iv_object_index,
    iv_id,
    iv_alarm,
    iv_solid,
    iv_visible,
    iv_persistent,
    iv_depth,
    iv_bbox_left,
    iv_bbox_right,
    iv_bbox_top,
    iv_bbox_bottom,
    iv_sprite_index,
    iv_image_index,
    iv_image_single,
    iv_image_number,
    iv_sprite_width,
    iv_sprite_height,
    iv_sprite_xoffset,
    iv_sprite_yoffset,
    iv_image_scale,
    iv_image_alpha,
    iv_image_speed,
    iv_mask_index,
    iv_path_index,
    iv_path_position,
    iv_path_scale,
    iv_path_orientation,
    iv_end, // one past the last instance built-in
};

std::span<const RBuiltIn> global_builtins();
std::span<const RBuiltIn> instance_builtins();
// The id of a built-in variable name (globals first), or -1.
int32_t find_builtin(std::string_view name);
// The tables in registration order (inline lookups below; every read of a built-in
// variable passes here).
extern const RBuiltIn* const builtin_global_entries;
extern const RBuiltIn* const builtin_instance_entries;
// The entry of a built-in id, or null.
inline const RBuiltIn* builtin_entry(int32_t id) {
    if (id >= 0 && id < bv_global_count) return &builtin_global_entries[id];
    if (id >= first_instance_builtin && id < iv_end)
        return &builtin_instance_entries[id - first_instance_builtin];
    return nullptr;
}
// The index a built-in array uses for a combined index (index 0 outside the array).
inline int32_t builtin_array_index(const RBuiltIn& entry, int32_t index) {
    if (entry.array > 0) return index >= 0 && index < entry.array ? index : 0;
    return entry.array < 0 ? index : 0;
}
// Applies an entry's setter conversion to a value.
RValue convert_builtin(BuiltInForm form, const RValue& v);

} // namespace kelvane
