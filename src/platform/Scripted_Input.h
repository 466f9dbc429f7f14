// Scripted input for headless runs: the `--input FILE` format (one event a line,
// "STEP EVENT ARGS") read into events, and their delivery to the window's input handlers.
#pragma once

#include <array>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace kelvane {

// Reads the text of an input file (UTF-8). Empty lines and lines starting with '#' are
// skipped. Nullopt on the first bad line, with "line N: why" in `error`. Events come back
// ordered by step, keeping the file's order within a step.
std::optional<std::vector<RScriptedEvent>> parse_scripted_input(const std::string& text,
                                                                std::string* error);

// The bytes of a file; false when it cannot be read.
bool read_whole_file(const std::string& path, std::string& out);

// Reads and parses an input file; nullopt with the reason when it cannot be read or has
// a bad line.
std::optional<std::vector<RScriptedEvent>> read_scripted_input_file(const std::string& path,
                                                                    std::string* error);

// The line of an input file for an event (without the line end); parse_scripted_input
// reads it back as the same event.
std::string format_scripted_event(const RScriptedEvent& event);

// Delivers the events of one step, in order, to the sink; a mouse move changes the
// cursor position instead. `next` is the index of the first event not yet delivered and
// moves past the delivered ones (events of earlier steps are delivered too).
// A joystick line changes `joysticks` (ids 1 and 2 at 0 and 1) when given.
void deliver_scripted_input(const std::vector<RScriptedEvent>& events, size_t& next, int64_t step,
                            InputSink& sink, int32_t& mouse_x, int32_t& mouse_y,
                            std::array<std::optional<RJoystickState>, 2>* joysticks = nullptr);

// Takes the `answer` lines out of the events: their texts, in order.
std::vector<std::string> take_answers(std::vector<RScriptedEvent>& events);

// Passes input on and remembers which keys are held, for key_is_held.
class HeldKeys : public InputSink {
  public:
    HeldKeys(InputSink& to, std::set<int32_t>& held) : to_(to), held_(held) {}
    void key_down(int32_t vk) override { held_.insert(vk), to_.key_down(vk); }
    void key_up(int32_t vk) override { held_.erase(vk), to_.key_up(vk); }
    void key_press(uint8_t ch) override { to_.key_press(ch); }
    void mouse_down(int32_t b) override { to_.mouse_down(b); }
    void mouse_up(int32_t b) override { to_.mouse_up(b); }
    void mouse_wheel(int32_t notches) override { to_.mouse_wheel(notches); }
    void close_request() override { to_.close_request(); }

  private:
    InputSink& to_;
    std::set<int32_t>& held_;
};

// Whether a key is held, from the keys that went down and not up yet: the shared codes of
// Shift, Ctrl and Alt stand for either side, and a side's code for the shared one too.
bool key_is_held(const std::set<int32_t>& held, int32_t vk);

} // namespace kelvane
