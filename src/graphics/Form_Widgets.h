// The widget layer of our own windows (the boxes, the high-score table, the game
// information, the debug window): controls are plain functions over a surface, our fonts
// and one frame's input, in the manner of an immediate-mode interface. Nothing is kept
// per control but what `RUiState` holds for the whole window: which control the mouse is
// over, which one holds the button, which one has the keyboard, and the text caret.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "graphics/Graphics_GDI.h"

namespace kelvane {

// What a window sees of the player during one frame, in its own pixels.
struct RUiInput {
    int32_t mouse_x = -1000000, mouse_y = -1000000;
    bool mouse_held = false;     // the left button
    bool mouse_pressed = false;  // went down during this frame
    bool mouse_released = false; // went up during this frame
    int32_t wheel = 0;           // notches, positive away from the player
    std::vector<int32_t> keys;   // virtual keys that went down, in order (repeats too)
    std::string text;            // typed characters, Windows-1252, 32 and up
    bool shift = false, ctrl = false;
    std::vector<int32_t> ctrl_keys; // keys that went down while Ctrl was held (Ctrl+A ...)
    std::string clipboard;          // what a paste inserts
    int64_t now_ms = 0;             // the clock, for windows that close by themselves

    bool has_key(int32_t vk) const;
};

// What a window keeps between frames.
struct RUiState {
    uint32_t hot = 0;             // the control under the mouse
    uint32_t active = 0;          // the control that holds the mouse button
    uint32_t focus = 0;           // the control that takes the keys
    size_t caret = 0, anchor = 0; // in the focused text field; the selection lies between
    std::string copied;           // text the player copied; the window's host passes it on
};

// Virtual-key codes the controls react to.
enum UiKey : int32_t {
    vk_back = 8,
    vk_tab = 9,
    vk_return = 13,
    vk_escape = 27,
    vk_prior = 33,
    vk_next = 34,
    vk_end = 35,
    vk_home = 36,
    vk_left = 37,
    vk_up = 38,
    vk_right = 39,
    vk_down = 40,
    vk_delete = 46,
};

// The look of a picture button: normal, mouse over, pressed with the mouse over it.
enum ButtonLook : int32_t { look_normal = 0, look_over = 1, look_pressed = 2 };

class CUi {
  public:
    CUi(DDSurface& surface, CFonts& fonts, RUiState& state, const RUiInput& input);

    DDSurface& surface;
    CFonts& fonts;
    RUiState& state;
    const RUiInput& in;

    bool mouse_over(const RRect& r) const;
    // A canvas on the window with a font and a hollow brush (text without a background).
    CCanvas canvas(const RCanvasFont& font);

    // A push button's behaviour: its look this frame, and whether it was clicked (the
    // button released over it after it was pressed on it).
    ButtonLook button(uint32_t id, const RRect& r, bool& clicked);

    // Drawing.
    void fill(const RRect& r, uint32_t colour);
    // A one-pixel frame, light on the top-left and dark on the bottom-right when raised.
    void bevel(const RRect& r, bool raised);
    // Text in the rectangle: one line aligned 0 left, 1 centred, 2 right, vertically
    // centred; or, wrapped, lines from the top (cut at "#", CR and LF) broken at words.
    void text(const RRect& r, std::string_view text, const RCanvasFont& font, int32_t align,
              bool wrap);

    // A one-line text field editing `text`: typing, Backspace, Delete, the arrows, Home
    // and End (with Shift to select), Ctrl+A, Ctrl+C, Ctrl+X and Ctrl+V, clicking to place
    // the caret. It takes the keys while it has the focus; the caret shows as a bar.
    void text_field(uint32_t id, const RRect& r, std::string& text, const RCanvasFont& font,
                    uint32_t back_colour);

    // A vertical scroll bar over a content `range` pixels high of which `page` show;
    // `pos` is kept within 0 ... range - page. Arrows at both ends move by `step`.
    void scroll_bar(uint32_t id, const RRect& r, int32_t& pos, int32_t range, int32_t page,
                    int32_t step);
};

// A control's id from the text it shows and a number, so that ids stay put from frame to
// frame without being stored.
uint32_t ui_id(std::string_view text, int32_t n = 0);

// The caret position in `text` nearest to x pixels from its start.
size_t caret_at(CCanvas& canvas, std::string_view text, int32_t x);

} // namespace kelvane
