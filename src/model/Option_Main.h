// The game header and the game options record, with the option names used by tools.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/Support_Bitmap24.h"
#include "stream/Support_Stream.h"

namespace kelvane {

struct GameHeader {
    int32_t seed = 0;
    int32_t version = 430;
    int32_t debug = 0; // the debug flag is on exactly when this is 1
    int32_t game_id = 0;
    std::array<uint8_t, 16> identifier{};
    bool debug_flag() const { return debug == 1; }
};

struct GameOptions {
    bool start_full_screen = false;
    bool no_border = false;
    bool show_cursor = true;
    int32_t scale_window = 100;
    int32_t scale_full = 100;
    bool scale_only_hardware = true;
    bool set_resolution = false;
    bool exclusive_mode = false;
    int32_t color_depth = 0;
    int32_t resolution = 1;
    int32_t frequency = 1;
    bool wait_vsync = false;
    bool caption_in_full_screen = true;
    bool let_f4_switch = true;
    bool let_f1_info = true;
    bool let_esc_end = true;
    bool let_f5_save = true;
    bool show_score = true;
    bool score_image = false;
    int32_t score_new_color = 255;
    int32_t score_other_color = 0;
    int32_t score_back_color = 12632256;
    std::string score_font_name = "Times New Roman";
    int32_t score_font_size = 10;
    bool score_border = true;
    bool keyboard_continuous = true;
    bool mouse_continuous = true;
    bool freeze_inactive = false;
    int32_t load_bar = 1;
    bool load_image_on = false;
    std::vector<uint8_t> game_icon; // icon file bytes, empty when none
    bool show_errors = true;
    bool log_errors = false;
    bool abort_on_error = false;
    bool uninit_zero = false;

    // Pictures that follow some options in the file.
    std::optional<Bitmap24> score_background;
    std::optional<Bitmap24> load_bar_back;
    std::optional<Bitmap24> load_bar_front;
    std::optional<Bitmap24> load_image;

    // Reads the options record; false when its version is not 420.
    bool read(CStream& s);
    void write(CStream& s) const;
};

// Visits every option in file order with its name: f(name, field reference).
template <typename O, typename F> void for_each_option(O& o, F&& f) {
    f("start_full_screen", o.start_full_screen);
    f("no_border", o.no_border);
    f("show_cursor", o.show_cursor);
    f("scale_window", o.scale_window);
    f("scale_full", o.scale_full);
    f("scale_only_hardware", o.scale_only_hardware);
    f("set_resolution", o.set_resolution);
    f("exclusive_mode", o.exclusive_mode);
    f("color_depth", o.color_depth);
    f("resolution", o.resolution);
    f("frequency", o.frequency);
    f("wait_vsync", o.wait_vsync);
    f("caption_in_full_screen", o.caption_in_full_screen);
    f("let_f4_switch", o.let_f4_switch);
    f("let_f1_info", o.let_f1_info);
    f("let_esc_end", o.let_esc_end);
    f("let_f5_save", o.let_f5_save);
    f("show_score", o.show_score);
    f("score_image", o.score_image);
    f("score_new_color", o.score_new_color);
    f("score_other_color", o.score_other_color);
    f("score_back_color", o.score_back_color);
    f("score_font_name", o.score_font_name);
    f("score_font_size", o.score_font_size);
    f("score_border", o.score_border);
    f("keyboard_continuous", o.keyboard_continuous);
    f("mouse_continuous", o.mouse_continuous);
    f("freeze_inactive", o.freeze_inactive);
    f("load_bar", o.load_bar);
    f("load_image_on", o.load_image_on);
    f("game_icon", o.game_icon);
    f("show_errors", o.show_errors);
    f("log_errors", o.log_errors);
    f("abort_on_error", o.abort_on_error);
    f("uninit_zero", o.uninit_zero);
}

} // namespace kelvane
