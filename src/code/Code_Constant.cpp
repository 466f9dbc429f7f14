// The named constants: booleans and pi, colours, brush and font styles, alignment, mouse
// buttons, virtual-key codes, event types and numbers, value kinds and file attributes.
#include "code/Code_Constant.h"

namespace kelvane {

namespace {

constexpr RConstant constants[] = {
    {"true", 1},
    {"false", 0},
    {"pi", 3.141592653589793},
    // Colours: red in the low byte.
    {"c_aqua", 16776960},
    {"c_black", 0},
    {"c_blue", 16711680},
    {"c_dkgray", 8421504},
    {"c_fuchsia", 16711935},
    {"c_gray", 8421504},
    {"c_green", 32768},
    {"c_lime", 65280},
    {"c_ltgray", 12632256},
    {"c_maroon", 128},
    {"c_navy", 8388608},
    {"c_olive", 32896},
    {"c_purple", 8388736},
    {"c_red", 255},
    {"c_silver", 12632256},
    {"c_teal", 8421376},
    {"c_white", 16777215},
    {"c_yellow", 65535},
    // Brush styles.
    {"bs_hollow", 0},
    {"bs_solid", 1},
    {"bs_bdiagonal", 2},
    {"bs_fdiagonal", 3},
    {"bs_cross", 4},
    {"bs_diagcross", 5},
    {"bs_horizontal", 6},
    {"bs_vertical", 7},
    // Font styles and alignment.
    {"fs_normal", 0},
    {"fs_bold", 1},
    {"fs_italic", 2},
    {"fs_bolditalic", 3},
    {"fa_left", 0},
    {"fa_center", 1},
    {"fa_right", 2},
    // Mouse buttons.
    {"mb_any", -1},
    {"mb_none", 0},
    {"mb_left", 1},
    {"mb_right", 2},
    {"mb_middle", 3},
    // Keys: Windows virtual-key codes.
    {"vk_nokey", 0},
    {"vk_anykey", -1},
    {"vk_enter", 13},
    {"vk_return", 13},
    {"vk_shift", 16},
    {"vk_control", 17},
    {"vk_alt", 18},
    {"vk_escape", 27},
    {"vk_space", 32},
    {"vk_backspace", 8},
    {"vk_tab", 9},
    {"vk_pause", 19},
    {"vk_printscreen", 44},
    {"vk_left", 37},
    {"vk_right", 39},
    {"vk_up", 38},
    {"vk_down", 40},
    {"vk_home", 36},
    {"vk_end", 35},
    {"vk_delete", 46},
    {"vk_insert", 45},
    {"vk_pageup", 33},
    {"vk_pagedown", 34},
    {"vk_f1", 112},
    {"vk_f2", 113},
    {"vk_f3", 114},
    {"vk_f4", 115},
    {"vk_f5", 116},
    {"vk_f6", 117},
    {"vk_f7", 118},
    {"vk_f8", 119},
    {"vk_f9", 120},
    {"vk_f10", 121},
    {"vk_f11", 122},
    {"vk_f12", 123},
    {"vk_numpad0", 96},
    {"vk_numpad1", 97},
    {"vk_numpad2", 98},
    {"vk_numpad3", 99},
    {"vk_numpad4", 100},
    {"vk_numpad5", 101},
    {"vk_numpad6", 102},
    {"vk_numpad7", 103},
    {"vk_numpad8", 104},
    {"vk_numpad9", 105},
    {"vk_divide", 111},
    {"vk_multiply", 106},
    {"vk_subtract", 109},
    {"vk_add", 107},
    {"vk_decimal", 110},
    {"vk_lshift", 160},
    {"vk_lcontrol", 162},
    {"vk_lalt", 164},
    {"vk_rshift", 161},
    {"vk_rcontrol", 163},
    {"vk_ralt", 165},
    // Event types.
    {"ev_create", 0},
    {"ev_destroy", 1},
    {"ev_step", 3},
    {"ev_alarm", 2},
    {"ev_keyboard", 5},
    {"ev_mouse", 6},
    {"ev_collision", 4},
    {"ev_other", 7},
    {"ev_draw", 8},
    {"ev_keypress", 9},
    {"ev_keyrelease", 10},
    // Mouse event numbers.
    {"ev_left_button", 0},
    {"ev_right_button", 1},
    {"ev_middle_button", 2},
    {"ev_no_button", 3},
    {"ev_left_press", 4},
    {"ev_right_press", 5},
    {"ev_middle_press", 6},
    {"ev_left_release", 7},
    {"ev_right_release", 8},
    {"ev_middle_release", 9},
    // Other and step event numbers.
    {"ev_outside", 0},
    {"ev_boundary", 1},
    {"ev_game_start", 2},
    {"ev_game_end", 3},
    {"ev_room_start", 4},
    {"ev_room_end", 5},
    {"ev_no_more_lives", 6},
    {"ev_animation_end", 7},
    {"ev_step_normal", 0},
    {"ev_step_begin", 1},
    {"ev_step_end", 2},
    // Value kinds.
    {"ty_real", 0},
    {"ty_string", 1},
    // File attributes (the hidden flag is spelled with three d).
    {"fa_readonly", 1},
    {"fa_hiddden", 2},
    {"fa_sysfile", 4},
    {"fa_volumeid", 8},
    {"fa_directory", 16},
    {"fa_archive", 32},
};

} // namespace

std::span<const RConstant> constant_table() {
    return constants;
}

std::optional<double> find_constant(std::string_view name) {
    for (const auto& c : constants)
        if (c.name == name) return c.value;
    return std::nullopt;
}

} // namespace kelvane
