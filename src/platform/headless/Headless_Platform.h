// The headless back end's game window, visible to tests: it refers to the last presented
// picture (in place, not copied), counts presentations and records the pauses a windowed
// run would make.
#pragma once

#include <array>
#include <set>

#include "platform/Frame_Files.h"
#include "platform/Platform.h"

namespace kelvane {

class HeadlessDisplay : public Display {
  public:
    explicit HeadlessDisplay(HeadlessOptions options);

    bool open(const RWindowSetup& setup) override;
    void close() override { open_ = false; }
    void desktop_size(int32_t& width, int32_t& height) override;
    void client_size(int32_t& width, int32_t& height) override;
    void set_client_size(int32_t width, int32_t height) override;
    void set_full_screen(bool on) override { setup_.full_screen = on; }
    void set_caption(const std::string& cp1252) override { setup_.caption = cp1252; }
    void set_cursor_visible(bool visible) override { cursor_visible_ = visible; }
    void present(const Image32& picture, const RPlacement& placement) override;
    void present_box(const Image32& picture, const RPlacement& placement) override;
    void wait_vertical_blank() override { ++vertical_blanks_; }
    void transition_pause(int64_t ms) override { pauses_.push_back(ms); }
    bool set_gamma(const std::array<std::array<uint16_t, 256>, 3>&) override { return false; }
    void begin_step(int64_t step) override { step_ = step; }
    void process_events(InputSink& sink) override;
    void process_events_in_step(InputSink&) override {}
    void mouse_position(int32_t& x, int32_t& y) override { x = mouse_x_, y = mouse_y_; }
    bool key_held(int32_t vk) override;
    // The debug window takes the script's debug-click lines, one click a frame.
    std::unique_ptr<SideWindow> open_side_window(const std::string& caption, int32_t width,
                                                 int32_t height) override;
    // Joysticks as the scripted input last set them (none unless it did).
    std::optional<RJoystickState> joystick(int32_t id) override {
        return id == 1 || id == 2 ? joysticks_[size_t(id - 1)] : std::nullopt;
    }

    // For tests and tools.
    bool is_open() const { return open_; }
    const RWindowSetup& setup() const { return setup_; }
    bool cursor_visible() const { return cursor_visible_; }
    // The picture last presented, as its owner holds it now (empty before any).
    const Image32& last_picture() const { return last_ ? *last_ : none_; }
    const RPlacement& last_placement() const { return placement_; }
    int64_t presented() const { return presented_; }
    int64_t vertical_blanks() const { return vertical_blanks_; }
    const std::vector<int64_t>& pauses() const { return pauses_; }
    // Returns once the frames presented so far are written.
    void finish_frames() { frames_.finish(); }
    // Set when a frame file could not be written (reported once on stderr); waits for the
    // frames presented so far.
    bool frame_write_failed() { return frames_.failed(); }

    // The clicks for the debug window that have arrived and are not yet taken.
    std::vector<RScriptedEvent> side_clicks;
    // Whether a click for the debug window can still arrive without a further step.
    bool side_click_due() const;

  private:
    HeadlessOptions options_;
    std::vector<RScriptedEvent> side_script_; // the debug-click lines, in order
    size_t side_next_ = 0;
    std::array<std::optional<RJoystickState>, 2> joysticks_;
    RWindowSetup setup_;
    bool open_ = false;
    bool cursor_visible_ = true;
    const Image32* last_ = nullptr;
    Image32 box_;
    Image32 none_;
    RPlacement placement_;
    int64_t presented_ = 0, vertical_blanks_ = 0;
    std::vector<int64_t> pauses_;
    int64_t step_ = 0;
    size_t next_event_ = 0;
    int32_t mouse_x_ = 0, mouse_y_ = 0;
    std::set<int32_t> held_;
    FrameFiles frames_;
};

} // namespace kelvane
