// The interaction functions: they unpack their arguments and call the input state, the
// boxes of Support_Message, the menu, the choosers, the splash screens, the high-score
// table and the game information.
#include "functions/Function_Interaction.h"

#include "functions/Chooser_Colour.h"
#include "functions/Chooser_File.h"
#include "functions/Function_Graphics.h"
#include "functions/Run_Score.h"
#include "functions/Runner_Splash.h"
#include "functions/Support_Menu.h"
#include "functions/Support_Message.h"
#include "graphics/Help_Form.h"
#include "run/Run_Draw.h"
#include "run/Runtime.h"

namespace kelvane {

namespace {

int32_t n(const RValue& v) {
    return to_int32(v.real);
}

RValue truth(bool b) {
    return RValue(b ? 1.0 : 0.0);
}

#define H(name)                                                                                    \
    void name(Runtime& rt, CInstance* self, CInstance* other, int32_t, RValue& result,             \
              const RValue* a)
#define UNUSED (void)self, (void)other

// ---- the keyboard and the mouse ----

H(fn_keyboard_check) {
    UNUSED;
    process_window_events_in_step(rt);
    result = truth(input_key_check(rt.input, n(a[0])));
}

// The held state the window knows now, whatever the steps have seen.
H(fn_keyboard_check_direct) {
    UNUSED;
    int32_t key = n(a[0]);
    bool held = rt.platform && rt.platform->display && key >= 0 && key <= 255 &&
                rt.platform->display->key_held(key);
    result = truth(held);
}

H(fn_mouse_check_button) {
    UNUSED;
    process_window_events_in_step(rt);
    result = truth(input_button_check(rt.input, n(a[0])));
}

H(fn_keyboard_clear) {
    UNUSED, (void)result;
    int32_t key = n(a[0]);
    if (key >= 0 && key <= 255) rt.input.key_state[size_t(key)] = 0;
}

H(fn_mouse_clear) {
    UNUSED, (void)result;
    int32_t b = n(a[0]);
    if (b >= 1 && b <= 3) rt.input.mouse_state[size_t(b)] = 0;
}

H(fn_io_clear) {
    UNUSED, (void)result, (void)a;
    input_clear_states(rt.input);
}

H(fn_io_handle) {
    UNUSED, (void)result, (void)a;
    process_window_events_in_step(rt);
}

// Waits for a key to go down, keeping the window responsive. A headless run has no one
// to press a key beyond its script, so it looks once and goes on.
H(fn_keyboard_wait) {
    UNUSED, (void)result, (void)a;
    rt.input.last_key = 0;
    process_window_events_in_step(rt);
    if (rt.run.headless || !rt.platform || !rt.platform->clock) return;
    while (rt.input.last_key == 0) {
        rt.platform->clock->sleep_ms(50);
        process_window_events_in_step(rt);
    }
}

// ---- joysticks ----

std::optional<RJoystickState> joystick(Runtime& rt, const RValue& id) {
    if (!rt.platform || !rt.platform->display) return std::nullopt;
    return rt.platform->display->joystick(n(id) == 2 ? 2 : 1);
}

H(fn_joystick_exists) {
    UNUSED;
    result = truth(joystick(rt, a[0]).has_value());
}

H(fn_joystick_direction) {
    UNUSED;
    auto js = joystick(rt, a[0]);
    result = RValue(double(js ? joystick_keypad_code(*js) : 101));
}

H(fn_joystick_check_button) {
    UNUSED;
    auto js = joystick(rt, a[0]);
    int32_t b = n(a[1]);
    result = truth(js && b >= 1 && b <= 4 && (js->buttons & (1u << (b - 1))) != 0);
}

// Axes 0 ... 65535 become about -1 ... 1.
double axis(uint32_t position) {
    return double(position) / 32767.0 - 1.0;
}

H(fn_joystick_xpos) {
    UNUSED;
    auto js = joystick(rt, a[0]);
    result = RValue(js ? axis(js->x) : 0.0);
}
H(fn_joystick_ypos) {
    UNUSED;
    auto js = joystick(rt, a[0]);
    result = RValue(js ? axis(js->y) : 0.0);
}
H(fn_joystick_zpos) {
    UNUSED;
    auto js = joystick(rt, a[0]);
    result = RValue(js ? axis(js->z) : 0.0);
}

// ---- message, question and input boxes ----

// A number given where a text is expected is shown as string() writes it.
std::string text_of(const RValue& v) {
    return drawn_text(v);
}

H(fn_show_message) {
    UNUSED, (void)result;
    show_message_box(rt, text_of(a[0]), {"", "OK", ""}, 0);
}

H(fn_show_message_ext) {
    UNUSED;
    int32_t r =
        show_message_box(rt, text_of(a[0]), {text_of(a[1]), text_of(a[2]), text_of(a[3])}, 0);
    result = RValue(double(r));
}

H(fn_show_question) {
    UNUSED;
    result = truth(show_question(rt, text_of(a[0])));
}

H(fn_get_integer) {
    UNUSED;
    const int32_t fallback = n(a[1]);
    auto typed = show_input_box(rt, text_of(a[0]), std::to_string(fallback));
    if (!typed) return void(result = RValue(0.0));
    result = RValue(double(parse_integer(*typed).value_or(fallback)));
}

H(fn_get_string) {
    UNUSED;
    auto typed = show_input_box(rt, text_of(a[0]), text_of(a[1]));
    result = RValue(RString(typed.value_or(std::string())));
}

H(fn_message_background) {
    UNUSED, (void)result;
    auto picture = rt.images.background_bitmap(n(a[0]));
    if (!rt.game.backgrounds.exists(n(a[0])) || !picture || picture->empty()) {
        report_error(rt, "Trying to set a non-existing message background", false);
        return;
    }
    rt.message.background = std::move(*picture);
}

// Frames 0, 1 and 2 of the sprite, wrapping, as the normal, mouse-over and pressed pictures.
H(fn_message_button) {
    UNUSED, (void)result;
    const int32_t id = n(a[0]);
    const CSprite* sprite = rt.game.sprites.get(id);
    if (!sprite || sprite->number <= 0) {
        report_error(rt, "Trying to set a non-existing message button", false);
        return;
    }
    std::array<Bitmap24, 3> pictures;
    for (int32_t i = 0; i < 3; ++i) {
        auto frame = rt.images.sprite_frame_bitmap(id, i % sprite->number);
        if (!frame || frame->empty()) {
            report_error(rt, "Trying to set a non-existing message button", false);
            return;
        }
        pictures[size_t(i)] = std::move(*frame);
    }
    // Every button takes the size of the first picture.
    rt.message.button_key.reset();
    if (sprite->transparent) rt.message.button_key = Bitmap24_TransparentColor(pictures[0]);
    rt.message.buttons = std::move(pictures);
}

void set_font(RMessageFont& font, const RValue* a) {
    font.change(text_of(a[0]), n(a[1]), n(a[2]), n(a[3]));
}
H(fn_message_text_font) {
    UNUSED, (void)result;
    set_font(rt.message.text_font, a);
}
H(fn_message_button_font) {
    UNUSED, (void)result;
    set_font(rt.message.button_font, a);
}
H(fn_message_input_font) {
    UNUSED, (void)result;
    set_font(rt.message.input_font, a);
}
H(fn_message_mouse_color) {
    UNUSED, (void)result;
    rt.message.mouse_colour = uint32_t(n(a[0])) & 0xFFFFFF;
}
H(fn_message_input_color) {
    UNUSED, (void)result;
    rt.message.input_colour = uint32_t(n(a[0])) & 0xFFFFFF;
}
H(fn_message_position) {
    UNUSED, (void)result;
    rt.message.position = std::pair(n(a[0]), n(a[1]));
}
H(fn_message_caption) {
    UNUSED, (void)result;
    rt.message.show_caption = a[0].real >= 0.5;
    rt.message.caption = text_of(a[1]);
}

// ---- the choosers ----

H(fn_get_color) {
    UNUSED;
    result = RValue(double(choose_colour(rt, n(a[0]))));
}

H(fn_get_open_filename) {
    UNUSED;
    result = RValue(RString(choose_file(rt, false, text_of(a[0]), text_of(a[1]))));
}

H(fn_get_save_filename) {
    UNUSED;
    result = RValue(RString(choose_file(rt, true, text_of(a[0]), text_of(a[1]))));
}

H(fn_get_directory) {
    UNUSED;
    result = RValue(RString(choose_folder(rt, text_of(a[0]))));
}

H(fn_get_directory_alt) {
    UNUSED;
    result = RValue(RString(choose_folder_alt(rt, text_of(a[0]), text_of(a[1]))));
}

// ---- high scores and the game information ----

H(fn_highscore_show) {
    UNUSED, (void)result;
    show_high_scores(rt, n(a[0]));
}

H(fn_highscore_clear) {
    UNUSED, (void)result, (void)a;
    if (rt.registry) write_scores(*rt.registry, rt.game.header.game_id, RScoreTable());
}

H(fn_highscore_add) {
    UNUSED, (void)result;
    if (!rt.registry) return;
    RScoreTable t = read_scores(*rt.registry, rt.game.header.game_id);
    const int32_t value = n(a[1]);
    if (int32_t place = score_place(t, value)) {
        score_insert(t, place, text_of(a[0]), value);
        write_scores(*rt.registry, rt.game.header.game_id, t);
    }
}

// Places 1 ... 10; others read as an empty place.
std::optional<RScoreEntry> score_at(Runtime& rt, const RValue& place) {
    const int32_t p = n(place);
    if (!rt.registry || p < 1 || p > 10) return std::nullopt;
    return read_scores(*rt.registry, rt.game.header.game_id)[size_t(p - 1)];
}

H(fn_highscore_value) {
    UNUSED;
    auto e = score_at(rt, a[0]);
    result = RValue(double(e ? e->value : 0));
}

H(fn_highscore_name) {
    UNUSED;
    auto e = score_at(rt, a[0]);
    result = RValue(RString(e ? e->name : std::string("<nobody>")));
}

H(fn_show_menu) {
    UNUSED;
    result = RValue(double(show_menu(rt, text_of(a[0]), n(a[1]))));
}

// The flags count when their rounded value is not 0.
H(fn_show_image) {
    UNUSED, (void)result;
    show_image(rt, text_of(a[0]), n(a[1]) != 0, n(a[2]));
}

H(fn_show_video) {
    UNUSED, (void)result;
    show_video(rt, text_of(a[0]), n(a[1]) != 0, n(a[2]) != 0);
}

H(fn_show_text) {
    UNUSED, (void)result;
    show_text(rt, text_of(a[0]), n(a[1]) != 0, uint32_t(n(a[2])), n(a[3]));
}

H(fn_show_info) {
    UNUSED, (void)result, (void)a;
    show_game_information(rt);
}

#undef UNUSED
#undef H

const RFunction interaction[] = {
    {"keyboard_check", fn_keyboard_check, 1},
    {"keyboard_check_direct", fn_keyboard_check_direct, 1},
    {"mouse_check_button", fn_mouse_check_button, 1},
    {"joystick_exists", fn_joystick_exists, 1},
    {"joystick_direction", fn_joystick_direction, 1},
    {"joystick_check_button", fn_joystick_check_button, 2},
    {"joystick_xpos", fn_joystick_xpos, 1},
    {"joystick_ypos", fn_joystick_ypos, 1},
    {"joystick_zpos", fn_joystick_zpos, 1},
    {"keyboard_clear", fn_keyboard_clear, 1},
    {"mouse_clear", fn_mouse_clear, 1},
    {"io_clear", fn_io_clear, 0},
    {"io_handle", fn_io_handle, 0},
    {"keyboard_wait", fn_keyboard_wait, 0},
    {"show_message", fn_show_message, 1},
    {"show_message_ext", fn_show_message_ext, 4},
    {"show_question", fn_show_question, 1},
    {"get_integer", fn_get_integer, 2},
    {"get_string", fn_get_string, 2},
    {"message_background", fn_message_background, 1},
    {"message_button", fn_message_button, 1},
    {"message_text_font", fn_message_text_font, 4},
    {"message_button_font", fn_message_button_font, 4},
    {"message_input_font", fn_message_input_font, 4},
    {"message_mouse_color", fn_message_mouse_color, 1},
    {"message_input_color", fn_message_input_color, 1},
    {"message_position", fn_message_position, 2},
    {"message_caption", fn_message_caption, 2},
    {"get_color", fn_get_color, 1},
    {"get_open_filename", fn_get_open_filename, 2},
    {"get_save_filename", fn_get_save_filename, 2},
    {"get_directory", fn_get_directory, 1},
    {"get_directory_alt", fn_get_directory_alt, 2},
    {"show_info", fn_show_info, 0},
    {"show_image", fn_show_image, 3},
    {"show_video", fn_show_video, 3},
    {"show_text", fn_show_text, 4},
    {"show_menu", fn_show_menu, 2},
    {"highscore_show", fn_highscore_show, 1},
    {"highscore_clear", fn_highscore_clear, 0},
    {"highscore_add", fn_highscore_add, 2},
    {"highscore_value", fn_highscore_value, 1},
    {"highscore_name", fn_highscore_name, 1},
};

} // namespace

std::span<const RFunction> interaction_functions() {
    return interaction;
}

} // namespace kelvane
