// The display: the drawing buffer that rooms are drawn into, the port table with the
// selected port and its drawing offsets, the window and full-screen scales with the
// placement of the picture in the window, presentation (plain or through a transition),
// the mouse in room coordinates, saving the buffer, gamma, caption and cursor.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "graphics/Graphics_DDraw.h"
#include "platform/Platform.h"

namespace kelvane {

struct GameOptions;
struct Runtime;

// One entry of the port table: where on the buffer a part of the room is shown.
struct RPort {
    bool in_use = false;
    RRect dest;                         // on the buffer
    int32_t source_x = 0, source_y = 0; // room position shown at the destination corner
};

// The values the display is initialised with.
struct RDisplaySetup {
    bool exclusive = false;
    int32_t display_width = 800; // the display mode's width (exclusive mode)
    int32_t colour_depth = 16;
    int32_t refresh_rate = 0;
    bool start_full_screen = false;
    double window_scale = 1;
    double full_screen_scale = 1; // 0 or less: fit the screen
    int32_t buffer_width = 640, buffer_height = 480;
    // Window options of the game.
    bool no_border = false;
    bool caption_in_full_screen = true;
};

// The display setup a game's options ask for, with the desktop's width standing for
// "the current screen size".
RDisplaySetup display_setup_for(const GameOptions& options, int32_t desktop_width);

// The mode an exclusive display takes for a display width: 320, 640, 1024 and 1280 have
// their own, anything else gives 800 x 600.
void exclusive_mode_size(int32_t display_width, int32_t& width, int32_t& height);

// Scale and origin of the buffer in the window's client area: windowed at the window
// scale from the corner; full screen at the full-screen scale when that fits, else as
// large as fits, centred.
RPlacement placement_for(bool full_screen, int32_t client_width, int32_t client_height,
                         int32_t buffer_width, int32_t buffer_height, double window_scale,
                         double full_screen_scale);

// One channel's gamma ramp for a value in [-1, 1] (clamped).
std::array<uint16_t, 256> gamma_ramp(double g);

class CDisplay {
  public:
    static constexpr int32_t first_port = -1, last_port = 32;

    // Opens the window and makes the buffer (640 x 480 unless the setup says otherwise),
    // black, with port -1 selected. False (window hidden) when either fails.
    bool initialise(Display& window, const RDisplaySetup& setup);
    void shut_down();
    bool initialised() const { return initialised_; }
    bool exclusive() const { return exclusive_; }

    // The buffer is re-created (black) when the size changes; the windowed client area
    // follows at the window scale. Sizes that cannot be made, or of more than
    // max_buffer_pixels, keep the old buffer (false then).
    bool set_buffer_size(int32_t width, int32_t height);
    // The largest drawing buffer: 4096 x 4096 pixels or the same number in another shape,
    // 64 MB for the buffer and as much for the screen copy.
    static constexpr int64_t max_buffer_pixels = int64_t(1) << 24;
    static bool buffer_size_allowed(int32_t width, int32_t height) {
        return width > 0 && height > 0 && int64_t(width) * height <= max_buffer_pixels;
    }
    int32_t buffer_width() const { return buffer_.width; }
    int32_t buffer_height() const { return buffer_.height; }
    DDSurface& buffer() { return buffer_; }

    // Ignored in exclusive mode.
    void set_full_screen(bool on);
    bool is_full_screen() const { return full_screen_; }
    void set_window_scale(double scale);
    void set_full_screen_scale(double scale);
    double window_scale() const { return window_scale_; }
    double full_screen_scale() const { return full_screen_scale_; }

    // Ports -1 ... 32; other indices are ignored.
    void set_port(int32_t i, int32_t x, int32_t y, int32_t w, int32_t h, int32_t source_x,
                  int32_t source_y);
    void clear_port(int32_t i);
    // Only a port in use can be selected: the buffer's clip rectangle becomes its
    // destination, and the drawing layers draw into the buffer with its offsets.
    void select_port(int32_t i);
    const RPort* port(int32_t i) const;
    int32_t selected_port() const { return selected_; }
    int32_t x_offset() const { return x_offset_; }
    int32_t y_offset() const { return y_offset_; }
    // A drawing layer that follows the selected port (the image store, the shapes layer).
    void add_layer(DrawingLayer* layer);

    void clear_buffer(bool flag, uint32_t colour);
    // Shows the buffer: plainly (kind 0) or through a transition.
    void refresh(int32_t kind, int32_t time, int32_t steps);
    // The placement used by the last refresh or mouse query.
    const RPlacement& placement() const { return placement_; }
    // The picture on screen (the buffer's size).
    const DDSurface& screen() const { return buffer_.shown_in(&screen_) ? buffer_ : screen_; }

    // Shows a picture of the buffer's size holding one of our own windows, placed as the
    // game's pictures are.
    void present_box(const Image32& picture);
    // A point of the window's client area on the game's picture (unrounded).
    void window_to_picture(int32_t cx, int32_t cy, double& x, double& y);
    // The mouse in room coordinates through the ports.
    void mouse_position(int32_t& x, int32_t& y);
    // The buffer, or a rectangle of it (parts outside the buffer black), as a Windows
    // bitmap file (host path). False when nothing could be written.
    bool save_buffer(const std::string& path) const;
    bool save_buffer_part(const std::string& path, RRect rect) const;

    // Stores the ramps; they reach the screen only in exclusive mode.
    void set_gamma(double red, double green, double blue);
    const std::array<std::array<uint16_t, 256>, 3>& gamma() const { return gamma_; }
    void wait_vertical_blank();
    void set_caption(const std::string& text);
    const std::string& caption() const { return caption_; }
    void set_cursor_visible(bool visible);

    // Draws the caption at the buffer's top-left corner when the window has no border of
    // its own to show it; text drawing belongs to the drawing layer, which sets this.
    std::function<void(DDSurface& buffer, const std::string& caption)> caption_painter;

  private:
    Display* window_ = nullptr;
    bool initialised_ = false;
    bool exclusive_ = false, full_screen_ = false;
    bool no_border_ = false, caption_in_full_screen_ = true;
    double window_scale_ = 1, full_screen_scale_ = 1;
    DDSurface buffer_, screen_;
    std::array<RPort, 34> ports_{};
    int32_t selected_ = -1, x_offset_ = 0, y_offset_ = 0;
    std::vector<DrawingLayer*> layers_;
    RPlacement placement_;
    std::array<std::array<uint16_t, 256>, 3> gamma_{};
    std::string caption_;

    RPlacement compute_placement();
    void window_setup(RWindowSetup& setup) const;
};

// The display initialisation of a run: the display opens the window with its buffer, the
// drawable records of every sprite and background are built (load-on-use strips going to
// the run's temporary directory) and draw into the buffer. False when the display could
// not be initialised.
bool initialise_display(Runtime& rt, Display& window, const RDisplaySetup& setup);

} // namespace kelvane
