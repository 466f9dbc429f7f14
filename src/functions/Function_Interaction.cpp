// The interaction functions: they unpack their arguments and call the input state, the
// boxes of Support_Message, the menu, the choosers, the splash screens, the high-score
// table and the game information.
#include "functions/Function_Interaction.h"

#include "run/Run_Draw.h"
#include "runner/Runtime.h"

namespace kelvane {

namespace {

int32_t n(const RValue& v) {
    return to_int32(v.real);
}

RValue truth(bool b) {
    return RValue(b ? 1.0 : 0.0);
}

#define H(name)                                                                                    \
    void name(Runtime& rt, CInstance* self, CInstance* other, int32_t, RValue& result, RValue* a)
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
};

} // namespace

std::span<const RFunction> interaction_functions() {
    return interaction;
}

} // namespace kelvane
