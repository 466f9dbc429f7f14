// The SDL game window: window shape, presentation, gamma, events and joysticks.
#include "platform/sdl/Sdl_Display.h"

#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <cmath>

#include "platform/Data_Folder.h"
#include "platform/Key_Map.h"
#include "platform/Text_Encoding.h"

namespace kelvane {

// The key table is written in scancode numbers; they are SDL's (the USB usage numbers).
static_assert(SDL_SCANCODE_A == 4 && SDL_SCANCODE_1 == 30 && SDL_SCANCODE_RETURN == 40 &&
              SDL_SCANCODE_F1 == 58 && SDL_SCANCODE_KP_1 == 89 && SDL_SCANCODE_F13 == 104 &&
              SDL_SCANCODE_LCTRL == 224 && SDL_SCANCODE_RGUI == 231);

namespace {

int32_t rounded(double v) {
    if (!(v == v)) return 0;
    return int32_t(std::nearbyint(std::fmax(-1e9, std::fmin(1e9, v))));
}

int32_t button_of(uint8_t sdl_button) {
    switch (sdl_button) {
    case SDL_BUTTON_LEFT:
        return 1;
    case SDL_BUTTON_RIGHT:
        return 2;
    case SDL_BUTTON_MIDDLE:
        return 3;
    default:
        return 0;
    }
}

// True when the window lives on an X display that no window manager looks after. SDL's
// full screen then only tells itself the window covers the screen; the window stays as it
// was (the picture lands in a corner of it), so the runner covers the screen itself.
bool x11_without_window_manager(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return false;
    ::Display* x = info.info.x11.display;
    const Atom check = XInternAtom(x, "_NET_SUPPORTING_WM_CHECK", True);
    if (check == None) return true;
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const int got = XGetWindowProperty(x, DefaultRootWindow(x), check, 0, 1, False, XA_WINDOW,
                                       &type, &format, &count, &after, &data);
    if (data) XFree(data);
    return got != Success || type != XA_WINDOW || count == 0;
}

} // namespace

SdlDisplay::SdlDisplay(SdlSessionRef session, std::string frames_dir)
    : session_(std::move(session)), frames_(std::move(frames_dir)) {
    open_joysticks();
}

SdlDisplay::~SdlDisplay() {
    for (auto*& j : joysticks_)
        if (j) SDL_JoystickClose(j), j = nullptr;
    if (texture_) SDL_DestroyTexture(texture_);
    if (renderer_) SDL_DestroyRenderer(renderer_);
    if (window_) SDL_DestroyWindow(window_);
}

void SdlDisplay::open_joysticks() {
    for (int i = 0, slot = 0; i < SDL_NumJoysticks() && slot < 2; ++i) {
        if (joysticks_[slot]) {
            ++slot;
            continue;
        }
        if ((joysticks_[slot] = SDL_JoystickOpen(i))) ++slot;
    }
}

namespace {

// The runner's icon from the data folder; magenta marks its transparent corners.
void set_window_icon(SDL_Window* window) {
    std::filesystem::path file = data_file("kelvane.bmp");
    if (file.empty()) return;
    SDL_Surface* icon = SDL_LoadBMP(file.c_str());
    if (!icon) return;
    SDL_SetColorKey(icon, SDL_TRUE, SDL_MapRGB(icon->format, 255, 0, 255));
    SDL_SetWindowIcon(window, icon);
    SDL_FreeSurface(icon);
}

} // namespace

bool SdlDisplay::open(const RWindowSetup& setup) {
    setup_ = setup;
    const std::string title = cp1252_to_utf8(setup.caption);
    if (!window_) {
        // Resizable: the player may make the window larger; the picture keeps whole
        // pixels and gets black bars.
        Uint32 flags = SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE;
        if (setup.no_border) flags |= SDL_WINDOW_BORDERLESS;
        if (setup.on_top) flags |= SDL_WINDOW_ALWAYS_ON_TOP;
        window_ = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                   std::max(1, setup.client_width * zoom_),
                                   std::max(1, setup.client_height * zoom_), flags);
        if (!window_) return false;
        set_window_icon(window_);
        renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_ACCELERATED);
        if (!renderer_) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
        if (!renderer_) {
            SDL_DestroyWindow(window_);
            window_ = nullptr;
            return false;
        }
    } else {
        SDL_SetWindowTitle(window_, title.c_str());
        SDL_SetWindowBordered(window_, setup.no_border ? SDL_FALSE : SDL_TRUE);
        SDL_SetWindowAlwaysOnTop(window_, setup.on_top ? SDL_TRUE : SDL_FALSE);
    }
    SDL_ShowWindow(window_);
    apply_full_screen();
    // Typed characters come as text input events.
    SDL_StartTextInput();
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderClear(renderer_);
    SDL_RenderPresent(renderer_);
    return true;
}

void SdlDisplay::close() {
    if (window_) SDL_HideWindow(window_);
}

void SdlDisplay::centre_window() {
    SDL_SetWindowPosition(window_, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
}

void SdlDisplay::fit_window() {
    SDL_SetWindowSize(window_, std::max(1, setup_.client_width * zoom_),
                      std::max(1, setup_.client_height * zoom_));
    centre_window();
}

void SdlDisplay::apply_full_screen() {
    if (!setup_.full_screen) {
        if (covering_) {
            covering_ = false;
            SDL_SetWindowBordered(window_, setup_.no_border ? SDL_FALSE : SDL_TRUE);
        } else {
            SDL_SetWindowFullscreen(window_, 0);
        }
        fit_window();
        return;
    }
    if (!x11_without_window_manager(window_)) {
        SDL_SetWindowFullscreen(window_, SDL_WINDOW_FULLSCREEN_DESKTOP);
        return;
    }
    SDL_Rect bounds;
    const int index = SDL_GetWindowDisplayIndex(window_);
    if (SDL_GetDisplayBounds(index < 0 ? 0 : index, &bounds) != 0) return;
    covering_ = true;
    SDL_SetWindowBordered(window_, SDL_FALSE);
    SDL_SetWindowPosition(window_, bounds.x, bounds.y);
    SDL_SetWindowSize(window_, bounds.w, bounds.h);
}

void SdlDisplay::set_zoom(int32_t zoom) {
    zoom_ = std::clamp(zoom, 1, 16);
    if (window_ && !setup_.full_screen) fit_window();
}

void SdlDisplay::output_size(int& width, int& height) {
    width = height = 0;
    // The renderer's output: the pixels the picture is placed in (more than the window's
    // size on a high-density screen).
    if (!renderer_ || SDL_GetRendererOutputSize(renderer_, &width, &height) != 0)
        SDL_GetWindowSize(window_, &width, &height);
}

SdlDisplay::View SdlDisplay::view() {
    View v;
    if (!window_ || setup_.full_screen) return v; // the game places itself on the screen
    int w = 0, h = 0;
    output_size(w, h);
    const int32_t cw = std::max(1, setup_.client_width), ch = std::max(1, setup_.client_height);
    const double fit = std::min(double(w) / cw, double(h) / ch);
    // Whole pixels while the window holds the client area at least once; a smaller window
    // shrinks it to fit.
    v.k = fit >= 1 ? std::floor(fit) : fit > 0 ? fit : 1;
    v.x = rounded((w - cw * v.k) / 2);
    v.y = rounded((h - ch * v.k) / 2);
    return v;
}

void SdlDisplay::desktop_size(int32_t& width, int32_t& height) {
    SDL_DisplayMode mode;
    int index = window_ ? SDL_GetWindowDisplayIndex(window_) : 0;
    if (SDL_GetDesktopDisplayMode(index < 0 ? 0 : index, &mode) != 0) {
        width = 640, height = 480;
        return;
    }
    width = mode.w, height = mode.h;
}

void SdlDisplay::client_size(int32_t& width, int32_t& height) {
    if (!window_) {
        width = setup_.client_width, height = setup_.client_height;
        return;
    }
    if (!setup_.full_screen) {
        // The game's own client area; the window shows it magnified.
        width = setup_.client_width, height = setup_.client_height;
        return;
    }
    int w = 0, h = 0;
    output_size(w, h);
    width = w, height = h;
}

void SdlDisplay::set_client_size(int32_t width, int32_t height) {
    setup_.client_width = width;
    setup_.client_height = height;
    if (!window_ || setup_.full_screen) return;
    fit_window();
}

void SdlDisplay::set_full_screen(bool on) {
    setup_.full_screen = on;
    if (!window_) return;
    apply_full_screen();
    // The next picture is placed on the new size; the game asks for it by the size it
    // reads back, so the events of the change are handled first.
    SDL_PumpEvents();
    show_last();
}

void SdlDisplay::set_caption(const std::string& cp1252) {
    setup_.caption = cp1252;
    if (window_) SDL_SetWindowTitle(window_, cp1252_to_utf8(cp1252).c_str());
}

void SdlDisplay::set_cursor_visible(bool visible) {
    SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
}

void SdlDisplay::present(const Image32& picture, const RPlacement& placement) {
    frames_.write(step_, picture);
    show_picture(picture, placement);
}

void SdlDisplay::present_box(const Image32& picture, const RPlacement& placement) {
    frames_.write_box(step_, picture);
    show_picture(picture, placement);
}

void SdlDisplay::show_picture(const Image32& picture, const RPlacement& placement) {
    placement_ = placement;
    // The texture keeps the picture for repainting; the pixels go straight into it.
    if (renderer_ && picture.width > 0 && picture.height > 0) {
        if (!texture_ || texture_w_ != picture.width || texture_h_ != picture.height) {
            if (texture_) SDL_DestroyTexture(texture_);
            // Nearest-neighbour scaling, as a stretching blit.
            SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
            texture_ =
                SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING,
                                  picture.width, picture.height);
            texture_w_ = texture_ ? picture.width : 0;
            texture_h_ = texture_ ? picture.height : 0;
        }
        if (texture_)
            SDL_UpdateTexture(texture_, nullptr, picture.pixels.data(), picture.width * 4);
    }
    show_last();
}

std::string SdlDisplay::clipboard_text() {
    char* text = SDL_GetClipboardText();
    if (!text) return {};
    std::string out = typed_text_to_cp1252(text);
    SDL_free(text);
    return out;
}

void SdlDisplay::set_clipboard_text(const std::string& cp1252) {
    SDL_SetClipboardText(cp1252_to_utf8(cp1252).c_str());
}

void SdlDisplay::show_last() {
    if (!renderer_) return;
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderClear(renderer_);
    if (texture_) {
        const View v = view();
        SDL_Rect to{v.x + rounded(placement_.x * v.k), v.y + rounded(placement_.y * v.k),
                    rounded(texture_w_ * placement_.scale * v.k),
                    rounded(texture_h_ * placement_.scale * v.k)};
        SDL_RenderCopy(renderer_, texture_, nullptr, &to);
    }
    SDL_RenderPresent(renderer_);
}

void SdlDisplay::wait_vertical_blank() {
    // SDL offers no wait without presenting: wait for the next refresh tick of the
    // display's rate, counted from the performance counter's start.
    SDL_DisplayMode mode;
    int rate = 60;
    if (window_ && SDL_GetWindowDisplayMode(window_, &mode) == 0 && mode.refresh_rate > 0)
        rate = mode.refresh_rate;
    const Uint64 freq = SDL_GetPerformanceFrequency();
    const Uint64 now = SDL_GetPerformanceCounter();
    const Uint64 period = freq / Uint64(rate);
    if (period == 0) return;
    const Uint64 wait = period - now % period;
    SDL_Delay(Uint32(wait * 1000 / freq));
}

void SdlDisplay::transition_pause(int64_t ms) {
    if (ms > 0) SDL_Delay(Uint32(std::min<int64_t>(ms, 60000)));
}

bool SdlDisplay::set_gamma(const std::array<std::array<uint16_t, 256>, 3>& ramps) {
    if (!window_) return false;
    return SDL_SetWindowGammaRamp(window_, ramps[0].data(), ramps[1].data(), ramps[2].data()) == 0;
}

void SdlDisplay::process_events(InputSink& sink) {
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
        switch (e.type) {
        case SDL_QUIT:
            sink.close_request();
            break;
        case SDL_WINDOWEVENT:
            if (e.window.event == SDL_WINDOWEVENT_CLOSE)
                sink.close_request();
            else if (e.window.event == SDL_WINDOWEVENT_EXPOSED)
                show_last();
            else if (e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
                // A window the player resized keeps the magnification that fits it.
                if (!setup_.full_screen) zoom_ = std::max(1, int32_t(view().k));
                show_last();
            }
            break;
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            const SDL_Keysym& k = e.key.keysym;
            const int32_t vk = vk_from_key(k.sym, k.scancode, (k.mod & KMOD_NUM) != 0);
            if (vk == 0) break;
            if (e.type == SDL_KEYUP) {
                sink.key_up(vk);
                break;
            }
            sink.key_down(vk);
            // Keys that type a control character, which SDL's text input leaves out.
            const bool ctrl = (k.mod & KMOD_CTRL) && !(k.mod & KMOD_ALT);
            if (int32_t ch = control_char_for_key(vk, ctrl)) sink.key_press(uint8_t(ch));
            break;
        }
        case SDL_TEXTINPUT:
            for (char c : typed_text_to_cp1252(e.text.text)) sink.key_press(uint8_t(c));
            break;
        case SDL_MOUSEBUTTONDOWN:
            if (int32_t b = button_of(e.button.button)) sink.mouse_down(b);
            break;
        case SDL_MOUSEWHEEL: {
            int32_t notches = e.wheel.y;
            if (e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) notches = -notches;
            if (notches != 0) sink.mouse_wheel(notches);
            break;
        }
        case SDL_MOUSEBUTTONUP:
            if (int32_t b = button_of(e.button.button)) sink.mouse_up(b);
            break;
        case SDL_JOYDEVICEADDED:
            open_joysticks();
            break;
        case SDL_JOYDEVICEREMOVED:
            for (auto*& j : joysticks_)
                if (j && SDL_JoystickInstanceID(j) == e.jdevice.which)
                    SDL_JoystickClose(j), j = nullptr;
            break;
        default:
            break;
        }
    }
}

bool SdlDisplay::has_focus() {
    return window_ && (SDL_GetWindowFlags(window_) & SDL_WINDOW_INPUT_FOCUS) != 0;
}

void SdlDisplay::mouse_position(int32_t& x, int32_t& y) {
    int mx = 0, my = 0, ww = 1, wh = 1, ow = 0, oh = 0;
    SDL_GetMouseState(&mx, &my);
    if (!window_) {
        x = mx, y = my;
        return;
    }
    // Window points to drawable pixels, then back into the game's client area.
    SDL_GetWindowSize(window_, &ww, &wh);
    output_size(ow, oh);
    const double px = ww > 0 && ow > 0 ? double(mx) * ow / ww : mx;
    const double py = wh > 0 && oh > 0 ? double(my) * oh / wh : my;
    const View v = view();
    x = rounded(std::floor((px - v.x) / v.k));
    y = rounded(std::floor((py - v.y) / v.k));
}

bool SdlDisplay::key_held(int32_t vk) {
    // The mouse buttons have key codes too: 1 left, 2 right, 4 middle.
    if (vk == 1 || vk == 2 || vk == 4) {
        const Uint32 b = SDL_GetMouseState(nullptr, nullptr);
        const Uint32 mask = vk == 1   ? SDL_BUTTON_LMASK
                            : vk == 2 ? SDL_BUTTON_RMASK
                                      : SDL_BUTTON_MMASK;
        return (b & mask) != 0;
    }
    int count = 0;
    const Uint8* state = SDL_GetKeyboardState(&count);
    const bool numlock = (SDL_GetModState() & KMOD_NUM) != 0;
    for (int sc = 0; sc < count; ++sc) {
        if (!state[sc]) continue;
        const auto code = SDL_Scancode(sc);
        if (vk_from_key(SDL_GetKeyFromScancode(code), sc, numlock) == vk ||
            vk_side_from_scancode(sc) == vk)
            return true;
    }
    return false;
}

std::optional<RJoystickState> SdlDisplay::joystick(int32_t id) {
    SDL_Joystick* j = joysticks_[id == 2 ? 1 : 0];
    if (!j) return std::nullopt;
    SDL_JoystickUpdate();
    // SDL's axes run -32768 ... 32767; the game's 0 ... 65535.
    auto axis = [&](int n) {
        return n < SDL_JoystickNumAxes(j) ? uint32_t(int32_t(SDL_JoystickGetAxis(j, n)) + 32768)
                                          : 32767u;
    };
    RJoystickState s;
    s.x = axis(0);
    s.y = axis(1);
    s.z = axis(2);
    for (int b = 0; b < SDL_JoystickNumButtons(j) && b < 32; ++b)
        if (SDL_JoystickGetButton(j, b)) s.buttons |= 1u << b;
    return s;
}

} // namespace kelvane
