// The game window's input state and the handlers that fill it: keys with their held and
// went-down bits, the typed text, mouse buttons, and the close request. The platform's
// window gives its input to `CWindowInput`, which calls these handlers.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "platform/Platform.h"

namespace kelvane {

struct RInputState {
    // Bit 1: held; bit 0: went down during this step. Keys by virtual-key code; mouse
    // buttons 1 left, 2 right, 3 middle (entry 0 unused).
    std::array<int32_t, 256> key_state{};
    std::array<bool, 256> key_pressed{}, key_released{};
    std::array<int32_t, 4> mouse_state{};
    std::array<bool, 4> mouse_pressed{}, mouse_released{};
    int32_t current_key = 0;    // keyboard_key
    int32_t last_key = 0;       // keyboard_lastkey
    std::string last_char;      // keyboard_lastchar (one Windows-1252 character, or empty)
    std::string typed;          // keyboard_string
    int32_t current_button = 0; // mouse_button
    bool close_request = false;
};

// The longest typed text kept before a key press adds to it.
constexpr size_t typed_text_limit = 80;

void input_key_down(RInputState& s, int32_t key);
void input_key_up(RInputState& s, int32_t key);
void input_key_press(RInputState& s, uint8_t ch);
void input_mouse_down(RInputState& s, int32_t button);
void input_mouse_up(RInputState& s, int32_t button);
// The player tried to close the window: recorded, and the last key becomes Escape.
void input_close_request(RInputState& s);
// End of a step: only the held bit stays.
void input_end_step(RInputState& s);
// Entering a room: everything but a pending close request is cleared.
void input_clear(RInputState& s);
// After a box or window of ours has been shown, and io_clear: the key and mouse-button
// tables (states, pressed and released marks) only; the last key, the last character and
// the typed text stay.
void input_clear_states(RInputState& s);

// keyboard_check: 0 asks whether no key state is set, -1 whether any is, 1 ... 255 whether
// that key's is; other codes answer false.
bool input_key_check(const RInputState& s, int32_t key);
// mouse_check_button: -1 any button, 0 none, 1 ... 3 that one; others false.
bool input_button_check(const RInputState& s, int32_t button);

// A joystick's position as a numeric-keypad key code: 96 + row + column, the row 6 (up),
// 3 or 0 (down), the column 1 (left), 2 or 3 (right); 101 is the centre.
int32_t joystick_keypad_code(const RJoystickState& js);

class CWindowInput : public InputSink {
  public:
    explicit CWindowInput(RInputState& state) : state_(state) {}
    void key_down(int32_t vk) override { input_key_down(state_, vk); }
    void key_up(int32_t vk) override { input_key_up(state_, vk); }
    void key_press(uint8_t ch) override { input_key_press(state_, ch); }
    void mouse_down(int32_t b) override { input_mouse_down(state_, b); }
    void mouse_up(int32_t b) override { input_mouse_up(state_, b); }
    void close_request() override { input_close_request(state_); }

  private:
    RInputState& state_;
};

} // namespace kelvane
