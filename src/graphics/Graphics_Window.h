// The game window's input capture: the window's events, already in the game's terms,
// reach the input state of the run (InputState, whose handlers keep the key and mouse
// bits, the typed text and the pressed and released marks). A close request is recorded
// there too, with Escape as the last key, so the main loop treats it as the Escape key.
#pragma once

#include "platform/Platform.h"
#include "run/Run_Main.h"

namespace kelvane {

class CWindowInput : public InputSink {
  public:
    explicit CWindowInput(InputState& state) : state_(state) {}
    void key_down(int32_t vk) override { state_.key_down(vk); }
    void key_up(int32_t vk) override { state_.key_up(vk); }
    void key_press(uint8_t ch) override { state_.key_press(ch); }
    void mouse_down(int32_t b) override { state_.mouse_down(b); }
    void mouse_up(int32_t b) override { state_.mouse_up(b); }
    void close_request() override {
        state_.close_request = true;
        state_.keyboard_lastkey = 27;
    }

  private:
    InputState& state_;
};

} // namespace kelvane
