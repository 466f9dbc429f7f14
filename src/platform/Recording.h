// Recording a play session: every input event the game receives is written in the
// `--input` format with the step it arrived before, after a header line that the input
// reader skips as a comment. Replaying the file with the same game, seed and virtual clock
// plays the session again exactly.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "platform/Platform.h"

namespace kelvane {

// What a recording says about the run it was made in.
struct RRecordingHeader {
    std::string version;          // the runner's
    uint64_t game_checksum = 0;   // of the game file's bytes
    int64_t clock_start = 0;      // the virtual tick count at the start
    std::optional<int32_t> seed;  // the seed of every game start, when one was given
    std::optional<int64_t> steps; // the run ended after this many steps
};

// The header line (without the line end).
std::string format_recording_header(const RRecordingHeader& header);

// The header of a recording's text: its first line that begins with "# kelvane recording".
// Nullopt with the reason when there is none or it is malformed.
std::optional<RRecordingHeader> parse_recording_header(const std::string& text, std::string* error);

// A checksum of a game's bytes (64-bit FNV-1a), fed in pieces: start with `checksum_start`.
constexpr uint64_t checksum_start = 14695981039346656037ull;
uint64_t checksum_add(uint64_t sum, const char* data, size_t size);

// Wraps the game window: passes everything on and writes the input it delivers. The game
// sees the mouse and the held keys as recorded, so that a replay sees the same. Events go
// to a buffer written at the end, when it fills, and on a termination or crash signal.
class RecordingDisplay : public Display {
  public:
    // Nullptr with the reason when the file cannot be made, or another recording runs.
    static std::unique_ptr<RecordingDisplay> open(std::unique_ptr<Display> inner,
                                                  const std::string& path,
                                                  const RRecordingHeader& header,
                                                  std::string* error);
    ~RecordingDisplay() override;

    // Writes what is buffered; false when the file could not be written.
    bool flush();

    bool open(const RWindowSetup& setup) override { return inner_->open(setup); }
    void close() override { inner_->close(); }
    void desktop_size(int32_t& w, int32_t& h) override { inner_->desktop_size(w, h); }
    void client_size(int32_t& w, int32_t& h) override { inner_->client_size(w, h); }
    void set_client_size(int32_t w, int32_t h) override { inner_->set_client_size(w, h); }
    void set_full_screen(bool on) override { inner_->set_full_screen(on); }
    void set_caption(const std::string& text) override { inner_->set_caption(text); }
    void set_cursor_visible(bool visible) override { inner_->set_cursor_visible(visible); }
    void present(const Image32& picture, const RPlacement& placement) override {
        inner_->present(picture, placement);
    }
    void present_box(const Image32& picture, const RPlacement& placement) override {
        inner_->present_box(picture, placement);
    }
    std::string clipboard_text() override { return inner_->clipboard_text(); }
    void set_clipboard_text(const std::string& text) override { inner_->set_clipboard_text(text); }
    void wait_vertical_blank() override { inner_->wait_vertical_blank(); }
    void transition_pause(int64_t ms) override { inner_->transition_pause(ms); }
    bool set_gamma(const std::array<std::array<uint16_t, 256>, 3>& ramps) override {
        return inner_->set_gamma(ramps);
    }
    void begin_step(int64_t step) override;
    void process_events(InputSink& sink) override { pump(sink, false); }
    // Input that arrives while a step runs is written for the next step: a replay gives it
    // then.
    void process_events_in_step(InputSink& sink) override { pump(sink, true); }
    // One of our boxes is open: the input it takes is passed on but not written (a replay
    // answers the box from its answer line instead), until `form_closed` writes that line
    // (nullopt: the box took no answer).
    void form_opened() { in_form_ = true; }
    void form_closed(const std::optional<std::string>& answer);
    void mouse_position(int32_t& x, int32_t& y) override { x = mouse_x_, y = mouse_y_; }
    bool key_held(int32_t vk) override;
    // The game sees the joysticks as recorded: their state when events were last read.
    std::optional<RJoystickState> joystick(int32_t id) override {
        return id == 1 || id == 2 ? joysticks_[size_t(id - 1)] : std::nullopt;
    }
    // Nor is the focus: a recorded game counts its window as active, as a replay does.
    bool has_focus() override { return true; }
    void set_zoom(int32_t zoom) override { inner_->set_zoom(zoom); }
    int32_t zoom() override { return inner_->zoom(); }

    Display& inner() { return *inner_; }

  private:
    class Sink;
    explicit RecordingDisplay(std::unique_ptr<Display> inner) : inner_(std::move(inner)) {}
    void record(const RScriptedEvent& event);
    // An event of input arriving now: input between steps is read by the next step.
    RScriptedEvent next(RScriptedEvent::Kind kind, int32_t a = 0, int32_t b = 0) const {
        RScriptedEvent ev;
        ev.step = step_ + 1;
        ev.kind = kind;
        ev.a = a;
        ev.b = b;
        return ev;
    }
    void pump(InputSink& sink, bool in_step);

    std::unique_ptr<Display> inner_;
    int64_t step_ = 0;
    int32_t mouse_x_ = 0, mouse_y_ = 0;
    std::set<int32_t> held_;
    bool in_form_ = false;
    std::array<std::optional<RJoystickState>, 2> joysticks_;
};

} // namespace kelvane
