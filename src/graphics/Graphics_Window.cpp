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

} // namespace kelvane
