// The input handlers of the game window.
#include "graphics/Graphics_Window.h"

namespace kelvane {

namespace {
bool is_key(int32_t k) {
    return k >= 0 && k <= 255;
}
bool is_button(int32_t b) {
    return b >= 1 && b <= 3;
}
} // namespace

void input_key_down(RInputState& s, int32_t key) {
    s.last_key = key;
    s.current_key = key;
    if (!is_key(key)) return;
    if (s.key_state[size_t(key)] == 0) s.key_pressed[size_t(key)] = true;
    s.key_state[size_t(key)] = 3;
}

void input_key_up(RInputState& s, int32_t key) {
    if (s.current_key == key) s.current_key = 0;
    if (!is_key(key)) return;
    s.key_state[size_t(key)] &= 1;
    s.key_released[size_t(key)] = true;
}

void input_key_press(RInputState& s, uint8_t ch) {
    s.last_char = std::string(1, char(ch));
    if (s.typed.size() > typed_text_limit) s.typed.erase(0, s.typed.size() - typed_text_limit);
    if (ch == 8) {
        if (!s.typed.empty()) s.typed.pop_back();
    } else if (ch > 31) {
        s.typed += char(ch);
    }
}

void input_mouse_down(RInputState& s, int32_t button) {
    if (!is_button(button)) return;
    s.current_button = button;
    s.mouse_state[size_t(button)] = 3;
    s.mouse_pressed[size_t(button)] = true;
}

void input_mouse_up(RInputState& s, int32_t button) {
    if (!is_button(button)) return;
    s.current_button = 0;
    s.mouse_state[size_t(button)] &= 1;
    s.mouse_released[size_t(button)] = true;
}

void input_close_request(RInputState& s) {
    s.close_request = true;
    s.last_key = 27;
}

void input_end_step(RInputState& s) {
    for (auto& k : s.key_state) k &= 2;
    for (auto& m : s.mouse_state) m &= 2;
}

void input_clear(RInputState& s) {
    bool close = s.close_request;
    s = RInputState();
    s.close_request = close;
}

void input_clear_states(RInputState& s) {
    s.key_state.fill(0);
    s.key_pressed.fill(false);
    s.key_released.fill(false);
    s.mouse_state.fill(0);
    s.mouse_pressed.fill(false);
    s.mouse_released.fill(false);
}

bool input_key_check(const RInputState& s, int32_t key) {
    auto any = [&] {
        for (int32_t k : s.key_state)
            if (k != 0) return true;
        return false;
    };
    if (key == 0) return !any();
    if (key == -1) return any();
    return key >= 1 && key <= 255 && s.key_state[size_t(key)] != 0;
}

bool input_button_check(const RInputState& s, int32_t button) {
    bool any = s.mouse_state[1] != 0 || s.mouse_state[2] != 0 || s.mouse_state[3] != 0;
    if (button == -1) return any;
    if (button == 0) return !any;
    return is_button(button) && s.mouse_state[size_t(button)] != 0;
}

int32_t joystick_keypad_code(const RJoystickState& js) {
    int32_t column = js.x < 20000 ? 1 : (js.x > 44000 ? 3 : 2);
    int32_t row = js.y <= 19999 ? 6 : (js.y < 44001 ? 3 : 0);
    return 96 + row + column;
}

} // namespace kelvane
