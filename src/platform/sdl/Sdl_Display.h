// The game window on SDL2: a window with a renderer and one streaming texture. The
// finished picture is uploaded and scaled nearest-neighbour to its placement, black
// around it; SDL's events become the game's input.
#pragma once

#include <SDL.h>

#include <vector>

#include "platform/Frame_Files.h"
#include "platform/Platform.h"
#include "platform/sdl/Sdl_Session.h"

namespace kelvane {

class SdlDisplay : public Display {
  public:
    SdlDisplay(SdlSessionRef session, std::string frames_dir);
    ~SdlDisplay() override;

    bool open(const RWindowSetup& setup) override;
    void close() override;
    void desktop_size(int32_t& width, int32_t& height) override;
    void client_size(int32_t& width, int32_t& height) override;
    void set_client_size(int32_t width, int32_t height) override;
    void set_full_screen(bool on) override;
    void set_caption(const std::string& cp1252) override;
    void set_cursor_visible(bool visible) override;
    void present(const Image32& picture, const RPlacement& placement) override;
    void present_box(const Image32& picture, const RPlacement& placement) override;
    std::string clipboard_text() override;
    void set_clipboard_text(const std::string& cp1252) override;
    void wait_vertical_blank() override;
    void transition_pause(int64_t ms) override;
    bool set_gamma(const std::array<std::array<uint16_t, 256>, 3>& ramps) override;
    void begin_step(int64_t step) override { step_ = step; }
    void process_events(InputSink& sink) override;
    void mouse_position(int32_t& x, int32_t& y) override;
    bool key_held(int32_t vk) override;
    std::optional<RJoystickState> joystick(int32_t id) override;
    void set_zoom(int32_t zoom) override;
    int32_t zoom() override { return zoom_; }
    bool has_focus() override;

  private:
    SdlSessionRef session_;
    FrameFiles frames_;
    SDL_Window* window_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* texture_ = nullptr;
    int32_t texture_w_ = 0, texture_h_ = 0;
    RWindowSetup setup_;
    RPlacement placement_;
    int64_t step_ = 0;
    SDL_Joystick* joysticks_[2] = {nullptr, nullptr};
    int32_t zoom_ = 1;
    bool covering_ = false; // full screen done by hand: no window manager to ask

    void show_picture(const Image32& picture, const RPlacement& placement);
    void apply_full_screen();
    // How the client area the game sees lies in the window's drawable pixels: scaled by
    // `k` (whole pixels while the window is large enough) with its corner at (x, y).
    struct View {
        double k = 1;
        int32_t x = 0, y = 0;
    };
    View view();
    void output_size(int& width, int& height);
    void fit_window();
    void show_last();
    void centre_window();
    void open_joysticks();
};

} // namespace kelvane
